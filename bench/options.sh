#!/usr/bin/env bash
# What grep's output options cost xavoline-grep, and how it compares with GNU grep given
# the same options: median wall time of RUNS runs, one thread, output to a file, and the
# ratio of each option's time to the plain search of the same tool.
#
#   bash bench/options.sh [CORPUS_FILE]     (default /work/corpus/big.txt)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-/work/corpus/big.txt}"
runs="${RUNS:-5}"
xgrep="$root/build/app/xavoline-grep"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
[ -x "$xgrep" ] || { echo "build first: cmake --build build --target xavoline-grep" >&2; exit 1; }
if ! locale -a 2>/dev/null | grep -qx 'ja_JP.cp932'; then
  localedef --no-warnings=ascii -i ja_JP -f WINDOWS-31J ja_JP.CP932
fi

median() {  # CMD...: median wall time in ms
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >"$out/o" 2>/dev/null || true
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

printf '| pattern, options | xavoline-grep | ratio | grep (CP932 locale) | ratio |\n|---|---|---|---|---|\n'
for word in 日本 error; do
  sjis_word=$(printf '%s' "$word" | iconv -f UTF-8 -t CP932)
  base_x=$(median "$xgrep" -j1 "$word" "$corpus")
  base_g=$(median env LC_ALL=ja_JP.CP932 grep -n "$sjis_word" "$corpus")
  for opts in "" "--color=always" "-c" "-v -c" "-v" "-C 2" "-i" "-l"; do
    # shellcheck disable=SC2086
    x=$(median "$xgrep" -j1 $opts "$word" "$corpus")
    # shellcheck disable=SC2086
    g=$(median env LC_ALL=ja_JP.CP932 grep -n $opts "$sjis_word" "$corpus")
    printf '| %s `%s` | %s ms | %s | %s ms | %s |\n' "$word" "${opts:-(none)}" "$x" \
      "$(awk -v a="$x" -v b="$base_x" 'BEGIN { printf "%.2f", a / b }')" "$g" \
      "$(awk -v a="$g" -v b="$base_g" 'BEGIN { printf "%.2f", a / b }')"
  done
done
