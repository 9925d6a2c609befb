# shellcheck shell=bash
# Shared by test.sh and fuzz.sh (sourced, not run): the checked build in build-check/, made by clang
# under AddressSanitizer and UndefinedBehaviorSanitizer with the fuzzers' coverage instrumentation,
# so that one build serves both the tests and the fuzzers. Expects $root, the checkout.

checked=$root/build-check

# build_checked [TARGET...]: configures build-check/ and builds the targets (everything when none
# are named).
build_checked() {
  local targets=()
  (($# == 0)) || targets=(--target "$@")
  CC=clang CXX=clang++ cmake -S "$root" -B "$checked" -DCMAKE_BUILD_TYPE=Sanitize -DSANITIZE=ON -DFUZZ=ON >/dev/null
  cmake --build "$checked" -j "$(nproc)" "${targets[@]}" >/dev/null
}
