#!/usr/bin/env bash
# Romaji search on the corpus: `xavoline-grep --romaji WORD` (dictionary read, expansion,
# compile, search) against the same search of its expansion given as a plain pattern, and
# against the input searched as it is typed; one thread, median of RUNS runs, ratios to the
# plain expansion, and the number of matching lines (equal for the first two).
#
#   bash bench/romaji.sh [CORPUS_FILE]        (default /tmp/corpus/big.txt)
#   RUNS=5 bash bench/romaji.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/tmp/corpus/big.txt}"
runs="${RUNS:-3}"
xgrep="$root/build/app/xavoline-grep"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
[ -x "$xgrep" ] || { echo "build first: cmake --build build --target xavoline-grep" >&2; exit 1; }
[ -f "$corpus" ] || { echo "no corpus at $corpus (../shared/corpus/make-corpus.sh makes it)" >&2; exit 1; }

# time_cmd NAME CMD...: "median-ms lines".
time_cmd() {
  local name=$1; shift
  local times=()
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" > "$out/$name" 2>/dev/null || true
    t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000000 )))
  done
  echo "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p") $(wc -l < "$out/$name")"
}

printf '%-10s %-26s %9s %8s %10s\n' input run ms ratio lines
row() {  # row INPUT RUN "ms lines" BASE_MS
  local ms=${3% *} lines=${3#* }
  printf '%-10s %-26s %9s %8s %10s\n' "$1" "$2" "$ms" "$(awk -v a="$ms" -v b="$4" 'BEGIN { printf "%.2f", a / b }')" "$lines"
}

for word in kan kanji setsumei; do
  expansion="$("$xgrep" --romaji --print-widened "$word")"
  plain=$(time_cmd plain "$xgrep" -j1 "$expansion" "$corpus")
  romaji=$(time_cmd romaji "$xgrep" -j1 --romaji "$word" "$corpus")
  typed=$(time_cmd typed "$xgrep" -j1 "$word" "$corpus")
  base=${plain% *}
  row "$word" "expansion as a pattern" "$plain" "$base"
  row "$word" "--romaji" "$romaji" "$base"
  row "$word" "the input as typed" "$typed" "$base"
done
