#!/usr/bin/env bash
# The text view's document core on the 100 MB corpus file and on a 1 GB file made of it
# (in /tmp, never committed), side by side with `wc -l` on the same cached files.
#
#   bash bench/textbuf.sh [CORPUS_FILE]        (default /tmp/corpus/big.txt)
#
# Needs a build with benchmarks (build/bench/textbuf_bench).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/tmp/corpus/big.txt}"
big="${BIG_FILE:-/tmp/xavoline-corpus-1g.txt}"
bench="$root/build/bench/textbuf_bench"
[ -x "$bench" ] || { echo "build first: cmake --build build --target textbuf_bench" >&2; exit 1; }
[ -f "$corpus" ] || sh "$root/../shared/corpus/make-corpus.sh" "$(dirname "$corpus")" >/dev/null
if [ ! -f "$big" ]; then
  for _ in $(seq 10); do cat "$corpus"; done > "$big.part"
  mv "$big.part" "$big"
fi
cat "$corpus" "$big" > /dev/null  # both cached, as for wc -l
XAVOLINE_CORPUS="$corpus" XAVOLINE_CORPUS_1G="$big" "$bench" "${@:2}" --benchmark_counters_tabular=false
