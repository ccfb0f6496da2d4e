#!/usr/bin/env bash
# The text view with large files: a 1 GB Shift-JIS file (the corpus ten times) and its
# first 50 MB, made in /tmp and removed afterwards, with `wc -l` on the same cached file
# for scale, then build/bench/bigfile_bench (open, Ctrl+End, jumps, FindText, Page Down,
# a 5 MB line).
#
#   bash bench/textview_big.sh [CORPUS_FILE] [benchmark options]   (default /work/corpus/big.txt)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/work/corpus/big.txt}"
bench="$root/build/bench/bigfile_bench"
[ -x "$bench" ] || { echo "build first: cmake --build build --target bigfile_bench" >&2; exit 1; }
big=/tmp/xavoline-view-1g.txt
fifty=/tmp/xavoline-view-50mb.txt
trap 'rm -f "$big" "$big.part" "$fifty" /tmp/xavoline-bench-5mb-line.txt' EXIT
for _ in $(seq 10); do cat "$corpus"; done > "$big.part" && mv "$big.part" "$big"
head -c $((50 << 20)) "$corpus" > "$fifty" && head -n -1 "$fifty" > "$fifty.part" && mv "$fifty.part" "$fifty"
cat "$big" > /dev/null
for f in "$big" "$fifty"; do
  start=$(date +%s.%N); lines=$(wc -l < "$f"); end=$(date +%s.%N)
  printf 'wc -l %-32s %10d lines %8.0f ms\n' "$(basename "$f")" "$lines" "$(echo "($end - $start) * 1000" | bc)"
done
XAVOLINE_BIG_FILE="$big" XAVOLINE_50MB_FILE="$fifty" "$bench" "${@:2}" --benchmark_counters_tabular=false
