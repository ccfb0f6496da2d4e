#!/usr/bin/env bash
# Builds what is needed and opens the Xavoline window; arguments go to the program
# (xavoline [--ini PATH] [FILE]). "--grep ARGS..." runs the command-line grep instead.
# Without a display the window cannot open: the script says so and shows the grep.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
jobs=$(nproc)

if [ "${1:-}" = "--grep" ]; then
  shift
  cmake --build "$root/build" -j "$jobs" --target xavoline-grep >&2  # stdout is the grep's
  exec "$root/build/app/xavoline-grep" "$@"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cmake --build "$root/build" -j "$jobs" --target xavoline-grep >/dev/null
  cat >&2 <<EOF
No display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the Xavoline window cannot open.
Run this command in a desktop session (or under a virtual X server: xvfb-run bash tools/run.sh).

To search Shift-JIS files from this terminal, use the command-line grep instead:
  bash tools/run.sh --grep [OPTION]... PATTERN [PATH]...
for example
  bash tools/run.sh --grep -r --mask='*.txt' 漢字 .
It is built at $root/build/app/xavoline-grep; see its --help for every option.
EOF
  exit 1
fi

cmake --build "$root/build" -j "$jobs" --target xavoline xavoline-grep
exec "$root/build/app/xavoline" "$@"
