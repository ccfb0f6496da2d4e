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
