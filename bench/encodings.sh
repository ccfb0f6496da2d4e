#!/usr/bin/env bash
# Per-file encodings, end to end: xavoline-grep on the Shift-JIS corpus against a build
# from before the encodings (BASE), and on the corpus converted to UTF-8 and to EUC-JP;
# on the UTF-8 copy also rg and GNU grep in a UTF-8 locale. One thread each, the same
# patterns; CPU time (perf stat's task clock, mean of RUNS runs: the machine may be
# shared, so wall time is not comparable); ratios to our time on the Shift-JIS corpus, and the number of output lines, which
# must agree.
#
#   BASE=/path/to/old/xavoline-grep bash bench/encodings.sh [CORPUS_DIR] [WORK_DIR]
#
# CORPUS_DIR is the Shift-JIS corpus (default /work/corpus: prose/ and big.txt); the
# copies are made in WORK_DIR (default /tmp/xavoline-encodings) with iconv when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/work/corpus}"
work="${2:-/tmp/xavoline-encodings}"
runs="${RUNS:-3}"
xgrep="$root/build/app/xavoline-grep"
base="${BASE:-}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
command -v rg >/dev/null || { echo "needs ripgrep (apt-get install ripgrep)" >&2; exit 1; }
command -v perf >/dev/null || { echo "needs perf (apt-get install linux-perf)" >&2; exit 1; }
[ -x "$xgrep" ] || { echo "build first: cmake --build build --target xavoline-grep" >&2; exit 1; }

# The copies: iconv -c drops the few characters an encoding lacks (none in practice).
for enc in UTF-8 EUC-JP-MS; do
  d="$work/$enc"
  [ -f "$d/big.txt" ] && continue
  mkdir -p "$d/prose"
  for f in "$corpus"/prose/*.txt; do iconv -c -f CP932 -t "$enc" "$f" > "$d/prose/$(basename "$f")" 2>/dev/null || true; done
  iconv -c -f CP932 -t "$enc" "$corpus/big.txt" > "$d/big.txt" 2>/dev/null || true
done
u8="$work/UTF-8"
euc="$work/EUC-JP-MS"

time_cmd() {  # time_cmd NAME CMD...: "CPU ms (task clock, mean of RUNS runs) lines"
  local name=$1; shift
  perf stat -r "$runs" -x, -e task-clock -o "$out/stat" "$@" > "$out/$name" 2>/dev/null || true
  echo "$(awk -F, '/task-clock/ { printf "%.1f", $1 }' "$out/stat") $(( $(wc -l < "$out/$name") / runs ))"
}
row() {  # row LABEL TOOL "ms lines" XMS
  local label=$1 tool=$2 ms=${3% *} lines=${3#* } xms=$4
  printf '%-26s %-28s %8s %7s %9s\n' "$label" "$tool" "$ms" \
    "$(awk -v a="$ms" -v b="$xms" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / (b > 0 ? b : 1) }')" "$lines"
}

# bench LABEL WHAT(prose|big) XAVO_ARGS PATTERN(utf8)
bench() {
  local label=$1 what=$2 xargs=$3 pat=$4
  local sj="$corpus/$what" u="$u8/$what" e="$euc/$what" r=""
  [ "$what" = prose ] && r="-r"
  local x
  x=$(time_cmd sjis "$xgrep" -j1 $r $xargs "$pat" "$sj")
  local xms=${x% *}
  row "$label" "xavoline-grep Shift-JIS" "$x" "$xms"
  [ -n "$base" ] && row "" "before encodings, Shift-JIS" "$(time_cmd base "$base" -j1 $r $xargs "$pat" "$sj")" "$xms"
  row "" "xavoline-grep UTF-8" "$(time_cmd utf8 "$xgrep" -j1 $r $xargs "$pat" "$u")" "$xms"
  row "" "xavoline-grep EUC-JP" "$(time_cmd euc "$xgrep" -j1 $r $xargs "$pat" "$e")" "$xms"
  if [ -z "$xargs" ]; then
    row "" "rg UTF-8" "$(time_cmd rg rg -j1 -n --no-heading "$pat" "$u")" "$xms"
    row "" "grep -r C.UTF-8" "$(time_cmd grep env LC_ALL=C.UTF-8 grep -rn "$pat" "$u")" "$xms"
  fi
}

echo "corpus: $corpus (prose/: $(ls "$corpus/prose" | wc -l) files; big.txt $(stat -c %s "$corpus/big.txt") bytes), CPU ms (task clock), mean of $runs runs"
printf '%-26s %-28s %8s %7s %9s\n' pattern tool ms ratio lines
for what in prose big.txt; do
  bench "日本 $what" "$what" "" "日本"
  bench "設定ファイル $what" "$what" "" "設定ファイル"
  bench "error $what" "$what" "" "error"
  bench "デ.タ $what" "$what" "" "デ.タ"
  bench "データ --fuzzy $what" "$what" "--fuzzy" "データ"
done
