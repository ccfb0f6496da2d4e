#!/usr/bin/env bash
# Builds everything and runs every test: the full build (window included) and a second
# build of the libraries and their tests under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DXAVOLINE_SANITIZE=ON -DXAVOLINE_GUI=OFF -DXAVOLINE_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The fast search against the plain loops on fresh random texts and patterns, for a bounded
# time, under the sanitizers (a failure prints its seed: XAVOLINE_FUZZ_SEED repeats it).
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  XAVOLINE_FUZZ_SECONDS="${XAVOLINE_FUZZ_SECONDS:-60}" \
  build-asan/tests/regex/regex_tests --gtest_filter=GrepDifferential.FuzzForAWhile --gtest_brief=1

# The threaded parts, the window's GREP runner and the command line's parallel search,
# under ThreadSanitizer. A report anywhere (child processes included) fails the run.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXAVOLINE_TSAN=ON -DXAVOLINE_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target greprunner_test grep_cli_tests xavoline-grep
rm -f build-tsan/tsan-report.*
# The sanitizer maps its shadow memory at fixed places, which some kernels' address
# randomisation collides with: run without it where we may.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
# Under the sanitizer's allocator a failed allocation must still raise std::bad_alloc (the
# runner's out-of-memory test), not end the program.
tsan_options="halt_on_error=1 second_deadlock_stack=1 allocator_may_return_null=1 suppressions=$PWD/tools/tsan-qt.supp log_path=$PWD/build-tsan/tsan-report"
# The runner's own tests: the tag-jump ones drive the text view, whose Qt internals use a
# thread pool that the sanitizer cannot see into (Qt is not built with it).
runner=build-tsan/tests/mainwindow/greprunner_test
runner_tests=$(QT_QPA_PLATFORM=offscreen "$runner" -functions | sed -n 's/()$//p' | grep -v '^TagJump')
tsan_failed=0
# shellcheck disable=SC2086 # one test function a word
TSAN_OPTIONS="$tsan_options" QT_QPA_PLATFORM=offscreen "${norandom[@]}" "$runner" $runner_tests || tsan_failed=1
TSAN_OPTIONS="$tsan_options" "${norandom[@]}" build-tsan/tests/app/grep_cli_tests --gtest_brief=1 || tsan_failed=1
if compgen -G 'build-tsan/tsan-report.*' >/dev/null; then
  cat build-tsan/tsan-report.*
  tsan_failed=1
fi
[ "$tsan_failed" = 0 ]
