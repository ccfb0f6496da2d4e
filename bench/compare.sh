#!/usr/bin/env bash
# Compares xavoline-grep with other grep tools on the Shift-JIS corpus, one thread each,
# the same patterns for all: times (median of RUNS runs), ratios to xavoline-grep, and the
# number of matching lines, which must agree wherever the tools' semantics agree.
#
#   bash bench/compare.sh [CORPUS_FILE]        (default /tmp/corpus/big.txt)
#   RUNS=5 bash bench/compare.sh               more runs per figure
#   MEMORY=1 bash bench/compare.sh             also peak memory on a 1 GB file
#
# Needs: a release build (build/app/xavoline-grep), ripgrep, GNU grep, the ja_JP Shift-JIS
# locales (made here with localedef when missing) and the corpus (made with
# ../shared/corpus/make-corpus.sh when missing).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/tmp/corpus/big.txt}"
runs="${RUNS:-3}"
xgrep="$root/build/app/xavoline-grep"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

if [ ! -f "$corpus" ]; then
  sh "$root/../shared/corpus/make-corpus.sh" "$(dirname "$corpus")" >/dev/null
fi
command -v rg >/dev/null || { echo "needs ripgrep (apt-get install ripgrep)" >&2; exit 1; }
if ! locale -a 2>/dev/null | grep -qx 'ja_JP.sjis'; then
  localedef --no-warnings=ascii -i ja_JP -f SHIFT_JIS ja_JP.SJIS
  localedef --no-warnings=ascii -i ja_JP -f WINDOWS-31J ja_JP.CP932
fi
[ -x "$xgrep" ] || { echo "build first: cmake --build build --target xavoline-grep" >&2; exit 1; }

sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
cr=$'\r'

# time_cmd NAME CMD...: median wall time of $runs runs (output to a file, as a user would
# redirect it; GNU grep stops at the first match when its output is /dev/null), and the
# number of output lines.
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
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$median $(wc -l < "$out/$name")"
}

printf '%-22s %-18s %9s %8s %10s\n' pattern tool "ms" "ratio" "lines"
row() {  # row LABEL TOOL "ms lines" XMS
  local label=$1 tool=$2 ms=${3% *} lines=${3#* } xms=$4
  printf '%-22s %-18s %9s %8s %10s\n' "$label" "$tool" "$ms" \
    "$(awk -v a="$ms" -v b="$xms" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / (b > 0 ? b : 1) }')" "$lines"
}

# bench LABEL XAVO_ARGS XAVO_PATTERN RG_PATTERN GREP_PATTERN(utf8) FLOOR_PATTERN(utf8 or empty)
bench() {
  local label=$1 xargs=$2 xpat=$3 rgpat=$4 gpat=$5 fpat=$6
  local x
  x=$(time_cmd xavo "$xgrep" -j1 $xargs "$xpat" "$corpus")
  local xms=${x% *}
  row "$label" "xavoline-grep" "$x" "$xms"
  row "" "reference loop" "$(time_cmd ref "$xgrep" --reference-loops $xargs "$xpat" "$corpus")" "$xms"
  row "" "rg -E shift_jis" "$(time_cmd rg rg -j1 --crlf -n -E shift_jis "$rgpat" "$corpus")" "$xms"
  local gs; gs=$(sjis "$gpat")
  row "" "grep ja_JP.SJIS" "$(time_cmd sjis env LC_ALL=ja_JP.sjis grep -nHE "$gs" "$corpus")" "$xms"
  row "" "grep ja_JP.CP932" "$(time_cmd cp932 env LC_ALL=ja_JP.cp932 grep -nHE "$gs" "$corpus")" "$xms"
  if [ -n "$fpat" ]; then
    row "" "LC_ALL=C grep -F" "$(time_cmd floor env LC_ALL=C grep -nHF "$(sjis "$fpat")" "$corpus")" "$xms"
  fi
}

echo "corpus: $corpus ($(stat -c %s "$corpus") bytes), $runs runs each, median"
bench "日本 (2 chars)" "" "日本" "日本" "日本" "日本"
bench "設定ファイル (6 chars)" "" "設定ファイル" "設定ファイル" "設定ファイル" "設定ファイル"
bench "error (ASCII)" "" "error" "error" "error" "error"
bench "データ" "" "データ" "データ" "データ" "データ"
widened=$("$xgrep" --fuzzy --print-widened "データ")
# ripgrep decodes 0x8160 as U+301C (WAVE DASH) where CP932 has U+FF5E.
bench "データ --fuzzy" "--fuzzy" "データ" "${widened//～/〜}" "$widened" ""
bench "[ァ-ヶ]+[をがに][ぁ-ん]+る" "" "[ァ-ヶ]+[をがに][ぁ-ん]+る" "[ァ-ヶ]+[をがに][ぁ-ん]+る" "[ァ-ヶ]+[をがに][ぁ-ん]+る" ""
bench "^第 (line start)" "" "^第" "^第" "^第" ""
bench "。\$ (line end)" "" "。\$" "。\$" "。${cr}\$" ""
bench "nothing matches" "" "ゐゑゐゑ" "ゐゑゐゑ" "ゐゑゐゑ" "ゐゑゐゑ"

if [ "${MEMORY:-0}" = 1 ]; then
  big="$out/1g.txt"
  for _ in $(seq 10); do cat "$corpus"; done > "$big"
  for p in 日本 "。\$"; do
    /usr/bin/time -f "%M" -o "$out/mem" "$xgrep" -j1 "$p" "$big" > /dev/null || true
    echo "peak memory, 1 GB file, pattern $p: $(cat "$out/mem") KB"
  done
  long="$out/longline.txt"
  head -c 300000000 /dev/zero | tr '\0' 'x' > "$long"; echo >> "$long"
  /usr/bin/time -f "%M" -o "$out/mem" "$xgrep" -j1 "y" "$long" > /dev/null || true
  echo "peak memory, one line of 300 MB: $(cat "$out/mem") KB"
fi
