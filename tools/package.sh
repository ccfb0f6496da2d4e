#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) from build/; its dependencies come from the
# shared-library scan of the programs (dpkg-shlibdeps). With --install (as root, as CI
# runs it) the package is then installed with apt-get, the installed programs are run,
# and the package is removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
rm -f build/xavoline_*.deb
(cd build && cpack -G DEB)
deb=$(ls "$PWD"/build/xavoline_*.deb)
dpkg-deb --field "$deb" Package Version Depends

[ "${1:-}" = --install ] || exit 0
export DEBIAN_FRONTEND=noninteractive
apt-get install -y "$deb"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; apt-get remove -y xavoline >/dev/null' EXIT
printf '\x93\xfa\x96\x7b\x8c\xea\n' >"$tmp/a.txt"  # 日本語 in Shift-JIS
[ "$(xavoline-grep 日本 "$tmp/a.txt")" = "$tmp/a.txt 1:日本語" ] || { echo "installed grep failed" >&2; exit 1; }
HOME="$tmp" QT_QPA_PLATFORM=offscreen xavoline "$tmp/a.txt" &
window=$!
sleep 3
kill -0 "$window" || { echo "installed window did not start" >&2; exit 1; }
kill "$window"
wait "$window" 2>/dev/null || true
echo "package installed and its programs ran: ok"
