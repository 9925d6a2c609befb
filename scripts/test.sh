#!/usr/bin/env bash
# Runs the whole test suite: once on the release build, once on the checked build (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-check/); then fuzzes the readers of
# outside files with that same build for about a minute each. Prints how long each stage took.
# Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
source "$root/scripts/checked_build.sh"

# stage NAME COMMAND...: one stage of the suite, then its time.
stage() {
  local name=$1 started=$SECONDS
  shift
  echo "== $name"
  "$@"
  echo "== $name: $((SECONDS - started)) s"
}

release_build() { cmake --build "$root/build" -j "$jobs" >/dev/null; }
release_tests() { ctest --test-dir "$root/build" -j "$jobs" --output-on-failure; }
checked_tests() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$checked" -j "$jobs" --output-on-failure
}

stage "release build" release_build
stage "release tests" release_tests
stage "sanitizer build (clang; address, undefined; fuzzer coverage)" build_checked
stage "sanitizer tests" checked_tests
stage "fuzzing (the sanitizer build's fuzzers)" "$root/scripts/fuzz.sh"
echo "== all stages: $SECONDS s"
