#!/usr/bin/env bash
# Runs the whole test suite: once on the release build, once on a build with AddressSanitizer and
# UndefinedBehaviorSanitizer; then fuzzes the readers of outside files for about a minute each.
# Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

echo "== release build"
cmake --build "$root/build" -j "$jobs" >/dev/null
ctest --test-dir "$root/build" -j "$jobs" --output-on-failure

echo "== sanitizer build (address, undefined)"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON >/dev/null
cmake --build "$root/build-asan" -j "$jobs" >/dev/null
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-asan" -j "$jobs" --output-on-failure

echo "== fuzzing (clang, address, undefined)"
"$root/scripts/fuzz.sh"
