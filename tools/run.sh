#!/usr/bin/env bash
# Builds what is needed and runs Xavoline. Arguments go to the program.
# Until the window exists this runs the command-line grep, xavoline-grep.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target xavoline-grep
exec "$root/build/app/xavoline-grep" "$@"
