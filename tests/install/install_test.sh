#!/usr/bin/env bash
# install_test.sh BUILD gui|nogui: installs BUILD into a temporary prefix (as
# `cmake --install BUILD --prefix PREFIX` does for a user), then checks the tree: programs,
# help file, desktop entry, icons and manual pages, and runs the installed programs.
set -euo pipefail
build=$1
gui=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log" >&2; exit 1; }

expected=(bin/xavoline-grep share/man/man1/xavoline-grep.1)
if [ "$gui" = gui ]; then
  expected+=(bin/xavoline share/xavoline/xavoline.hlp share/applications/xavoline.desktop share/man/man1/xavoline.1
             share/icons/hicolor/scalable/apps/xavoline.svg share/icons/hicolor/48x48/apps/xavoline.png
             share/icons/hicolor/128x128/apps/xavoline.png)
fi
for f in "${expected[@]}"; do [ -f "$prefix/$f" ] || fail "not installed: $f"; done
# Nothing of the build's own (tests, libraries, headers) goes along; further programs of
# ours (bin/xavoline-*) may, with their manual pages.
unexpected=$(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -v -x -F "$(printf '%s\n' "${expected[@]}")" |
             grep -v -E '^(bin/xavoline-[a-z0-9]+|share/man/man1/xavoline-[a-z0-9]+\.1)$' || true)
[ -z "$unexpected" ] || fail "installed but not expected: $unexpected"

# The installed grep runs and finds a double-byte word (日本 in Shift-JIS).
printf 'x\r\n\x93\xfa\x96\x7b\x8c\xea\r\n' >"$tmp/a.txt"
out=$("$prefix/bin/xavoline-grep" 日本 "$tmp/a.txt") || fail "installed grep failed"
[ "$out" = "$tmp/a.txt 2:日本語" ] || fail "installed grep printed: $out"

# Each manual page names every option its program's --help lists.
check_manual() {  # program page
  local option text
  text=$(sed 's/\\-/-/g' "$2")  # the page's \- are plain hyphens
  for option in $("$1" --help | grep -o -e '--[a-z][a-z-]*' | sort -u); do
    grep -q -e "$option" <<<"$text" || fail "$(basename "$2") does not describe $option (add it to data/man/$(basename "$2"))"
  done
}
for program in "$prefix"/bin/xavoline-*; do
  "$program" --help >/dev/null || fail "$(basename "$program") --help failed"
  page="$prefix/share/man/man1/$(basename "$program").1"
  [ ! -f "$page" ] || check_manual "$program" "$page"
done

if [ "$gui" = gui ]; then
  check_manual "$prefix/bin/xavoline" "$prefix/share/man/man1/xavoline.1"
  desktop-file-validate "$prefix/share/applications/xavoline.desktop" || fail "desktop entry not valid"
  for size in 48 128; do
    grep -q "PNG image data, $size x $size" <<<"$(file "$prefix/share/icons/hicolor/${size}x${size}/apps/xavoline.png")" ||
      fail "icon of ${size}x${size} has another size"
  done
  # The installed window starts (without a display) and keeps running until stopped.
  mkdir -p "$tmp/home"
  env -u XDG_CONFIG_HOME HOME="$tmp/home" QT_QPA_PLATFORM=offscreen "$prefix/bin/xavoline" "$tmp/a.txt" \
    >"$tmp/window.log" 2>&1 &
  window=$!
  sleep 3
  if kill -0 "$window" 2>/dev/null; then
    kill "$window"
    wait "$window" 2>/dev/null || true
  else
    wait "$window" || true
    fail "installed window did not stay up: $(cat "$tmp/window.log")"
  fi
  [ ! -e "$prefix/bin/Xavoline.ini" ] || fail "the installed window wrote its settings beside the program"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install tree and installed programs: ok"
