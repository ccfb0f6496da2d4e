#!/usr/bin/env bash
# The command line against ripgrep where a user feels it: a tree of small files in UTF-8, the
# same tree in Shift-JIS, one big Shift-JIS file, and the gain of the default jobs. CPU time
# (user + system, from `perf stat`) is the median of RUNS runs, the tools alternating, so a
# busy machine moves both alike; ratios are xavoline-grep over the peer (below 1: faster).
# Every row also gives both tools' numbers of output lines, which must agree.
#
#   bash bench/trees.sh [CORPUS_DIR]     (default /work/corpus: prose/ and big.txt)
#   RUNS=7 bash bench/trees.sh
#
# Needs a release build (build/app/xavoline-grep), ripgrep and perf (linux-perf). The UTF-8
# copy of prose/ is made with iconv in a temporary directory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/work/corpus}"
runs="${RUNS:-7}"
xgrep="$root/build/app/xavoline-grep"
[ -x "$xgrep" ] || { echo "build first: cmake --build build --target xavoline-grep" >&2; exit 1; }
command -v rg >/dev/null || { echo "needs ripgrep" >&2; exit 1; }
command -v perf >/dev/null || { echo "needs perf (apt-get install linux-perf)" >&2; exit 1; }
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

utf8="$out/prose-utf8"
mkdir -p "$utf8"
for f in "$corpus"/prose/*; do iconv -f CP932 -t UTF-8 "$f" > "$utf8/$(basename "$f")"; done

# cpu_ms OUTFILE CMD...: CPU milliseconds of one run, its output kept in OUTFILE.
cpu_ms() {
  local file=$1; shift
  perf stat -x, -e task-clock -o "$out/stat" -- "$@" > "$file" 2>/dev/null || true
  awk -F, '/task-clock/ { printf "%.1f", $1 }' "$out/stat"
}

# wall_ms OUTFILE CMD...: wall milliseconds of one run (for the gain of threads).
wall_ms() {
  local file=$1; shift
  local t0 t1
  t0=$(date +%s%N)
  "$@" > "$file" 2>/dev/null || true
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
}

median() { sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }

# pair LABEL "XAVO CMD" "PEER CMD" [MEASURE]: medians of alternate runs (MEASURE cpu_ms
# or wall_ms), the ratio, the line counts.
pair() {
  local label=$1 xcmd=$2 pcmd=$3 measure=${4:-cpu_ms} xs=() ps=()
  for _ in $(seq "$runs"); do
    xs+=("$(eval "$measure $out/x $xcmd")")
    ps+=("$(eval "$measure $out/p $pcmd")")
  done
  local xm pm
  xm=$(printf '%s\n' "${xs[@]}" | median)
  pm=$(printf '%s\n' "${ps[@]}" | median)
  printf '%-34s %9s %9s %7s %9s %9s\n' "$label" "$xm" "$pm" \
    "$(awk -v a="$xm" -v b="$pm" 'BEGIN { printf "%.2f", a / b }')" "$(wc -l < "$out/x")" "$(wc -l < "$out/p")"
}

sjis_escapes() {  # the pattern's Shift-JIS bytes as (?-u) escapes for ripgrep
  printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -s ' \n' ' ' | sed 's/ *$//; s/ /\\x/g'
}

echo "CPU ms, median of $runs alternate runs; ratio = xavoline-grep / peer"
printf '%-34s %9s %9s %7s %9s %9s\n' "case" "xavoline" "peer" "ratio" "lines" "peer"
for p in 日本 設定ファイル error 'デ.タ'; do
  pair "UTF-8 tree, $p" "\"$xgrep\" -j1 -r '$p' '$utf8'" "rg -j1 -n '$p' '$utf8'"
done
for p in 日本 設定ファイル error 'デ.タ'; do
  pair "Shift-JIS tree, $p (rg on UTF-8)" "\"$xgrep\" -j1 -r '$p' '$corpus/prose'" "rg -j1 -n '$p' '$utf8'"
done
for p in 日本 設定ファイル error 'デ.タ'; do
  pair "Shift-JIS tree, $p (rg shift_jis)" "\"$xgrep\" -j1 -r '$p' '$corpus/prose'" \
    "rg -j1 -n --crlf -E shift_jis '$p' '$corpus/prose'"
done
for p in 表示 日本語の文字 the データ zzqqxx; do
  pair "big.txt, $p (raw-byte floor)" "\"$xgrep\" -j1 --output=sjis '$p' '$corpus/big.txt'" \
    "rg -j1 -n -E none '(?-u)$(sjis_escapes "$p")' '$corpus/big.txt'"
done
echo "wall ms: the default jobs against one ($(nproc) cores)"
for p in 日本 'デ.タ'; do
  pair "UTF-8 tree, $p" "\"$xgrep\" -r '$p' '$utf8'" "\"$xgrep\" -j1 -r '$p' '$utf8'" wall_ms
  pair "Shift-JIS tree, $p" "\"$xgrep\" -r '$p' '$corpus/prose'" "\"$xgrep\" -j1 -r '$p' '$corpus/prose'" wall_ms
done
