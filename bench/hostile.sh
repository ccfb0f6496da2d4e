#!/usr/bin/env bash
# Hostile inputs for xavoline-grep: how long a refusal takes and what it holds, and the
# output held when the reader is slow. Wall time and peak memory (/usr/bin/time) per case;
# with BEFORE=/path/to/an/older/xavoline-grep the same cases for it, in the same run.
#
#   bash bench/hostile.sh                 (needs a release build: build/app/xavoline-grep)
#   BEFORE=/tmp/old-grep bash bench/hostile.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - <<'PY'
words = ["a"] + ["w%dxyz" % i for i in range(1, 5600)]   # a group of 55 KB holding "a"
open("syn.txt", "w").write("\r\n".join(words) + "\r\n")
open("s.txt", "w").write("aaa\n")
open("m1.txt", "w").write("hit\n" * (50 * 1024 * 1024 // 4))   # 50 MB of short matching lines
# One line of 12 MB and one of 48 MB (minified JSON) in UTF-8 and EUC-JP, the literal absent.
piece = '{"なまえ":"あたい","x":[1,2,3]},'
for mb in (12, 48):
    line = piece * (mb * 1024 * 1024 // len(piece.encode("utf-8")))
    open("long%d.u8" % mb, "wb").write(line.encode("utf-8") + b"\n")
    open("long%d.euc" % mb, "wb").write(line.encode("euc_jp") + b"\n")
PY
cp m1.txt m2.txt
head -c 20971520 m1.txt > m20.txt
a2000="$(printf 'a%.0s' $(seq 2000))"
brackets="$(printf '[%.0s' $(seq 40000))"
klass="[$(printf '\xe3\x81\x82%.0s' $(seq 20000))]"

# At most 60 s and 4 GB of address space per case (an older build may need more: it then
# shows the time until it was stopped or ran out of memory).
measure() {  # label, then the command
  local label="$1"; shift
  (ulimit -v 4000000; timeout 60 /usr/bin/time -f "%e s %M KB" -o time.txt "$@" > /dev/null 2>&1) || true
  [ -s time.txt ] || echo "stopped at 60 s" > time.txt
  printf '%-44s %s\n' "$label" "$(tail -1 time.txt)"
}

for grep in "$root/build/app/xavoline-grep" ${BEFORE:+"$BEFORE"}; do
  echo "== $grep"
  measure "2,000 a, 55 KB synonym group" "$grep" --synonyms=syn.txt "$a2000" s.txt
  measure "2,000 a, 55 KB synonym group, --fuzzy" "$grep" --fuzzy --synonyms=syn.txt "$a2000" s.txt
  measure "40,000 [" "$grep" "$brackets" s.txt
  measure "a class of 20,000 characters" "$grep" "$klass" s.txt
  measure "-j1, 20 MB of matches into /dev/null" "$grep" -j1 hit m20.txt
  for enc in u8 euc; do
    for mb in 12 48; do measure "one line of $mb MB, $enc, literal absent" "$grep" 目印 "long$mb.$enc"; done
  done
  /usr/bin/time -f "%e s %M KB" -o time.txt "$grep" -j2 hit m1.txt m2.txt | (sleep 10; cat > /dev/null)
  printf '%-44s %s\n' "-j2, 2 x 50 MB of matches, reader waits 10 s" "$(tail -1 time.txt)"
done
