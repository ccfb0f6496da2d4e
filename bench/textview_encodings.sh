#!/usr/bin/env bash
# The text view with large files in every encoding: the corpus five times over (Shift-JIS,
# about 500 MB) converted with iconv to UTF-8 (about 650 MB), EUC-JP (the vendor-extended
# form iconv calls EUC-JP-MS, since the corpus holds NEC and IBM characters) and UTF-16LE
# (with its byte-order mark: without one no program can tell it), and the corpus ten times
# over in Shift-JIS (1 GB). For each: `wc -l` on the same cached file (wall and CPU), then
# build/bench/bigfile_bench opening it (first screen painted: wall, the whole process's
# CPU, resident and peak memory) and Ctrl+End. The files are made in /tmp and removed.
#
#   bash bench/textview_encodings.sh [CORPUS_FILE]   (default /work/corpus/big.txt)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/work/corpus/big.txt}"
bench="$root/build/bench/bigfile_bench"
[ -x "$bench" ] || { echo "build first: cmake --build build --target bigfile_bench" >&2; exit 1; }
dir=$(mktemp -d /tmp/xavoline-encodings-XXXXXX)
trap 'rm -rf "$dir"' EXIT
for _ in 1 2 3 4 5; do cat "$corpus"; done > "$dir/five.sjis"
iconv -f CP932 -t UTF-8 "$dir/five.sjis" > "$dir/utf8.txt"
iconv -f CP932 -t EUC-JP-MS "$dir/five.sjis" > "$dir/eucjp.txt"
{ printf '\xff\xfe'; iconv -f CP932 -t UTF-16LE "$dir/five.sjis"; } > "$dir/utf16le.txt"
cat "$dir/five.sjis" "$dir/five.sjis" > "$dir/sjis-1g.txt"
rm "$dir/five.sjis"
for f in sjis-1g.txt utf8.txt eucjp.txt utf16le.txt; do
  file="$dir/$f"
  cat "$file" > /dev/null
  printf '== %s, %d MB\n' "$f" $(( $(stat -c %s "$file") / 1000000 ))
  /usr/bin/time -f 'wc -l: %e s wall, %U s user + %S s sys' wc -l "$file" > /dev/null
  XAVOLINE_BIG_FILE="$file" "$bench" --benchmark_filter='OpenFirstScreen/0|CtrlEnd' --benchmark_counters_tabular=false 2>&1 | grep BM_
done
