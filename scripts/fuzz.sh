#!/usr/bin/env bash
# Builds the libFuzzer targets in the checked build (build-check/: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer; after scripts/test.sh they are built already) and runs each for a
# bounded time from its seeds. Fails on any report; the input that caused it is kept in
# build-check/findings/ (add it to the target's seeds once mended). FUZZ_SECONDS sets the time per
# target (60 by default).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
source "$root/scripts/checked_build.sh"
findings="$checked/findings"

build_checked still_image_fuzzer video_reader_fuzzer tflite_reader_fuzzer onnx_reader_fuzzer text_path_fuzzer
mkdir -p "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run_target <target> <max input bytes> <seed folder>...: new inputs go to a scratch corpus, so the
# committed seeds stay as they are.
run_target() {
  local target=$1 max_len=$2
  shift 2
  local binary
  binary=$(find "$checked/fuzz" -maxdepth 1 -name "$target" -type f)
  mkdir -p "$work/$target"
  echo "== fuzzing $target for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=25 -rss_limit_mb=3072 \
    -artifact_prefix="$findings/$target-" -print_final_stats=1 "$work/$target" "$@" >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log" >&2
    echo "fuzz: $target reported a fault; the input is in $findings" >&2
    return 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$work/$target.log" || true
}

run_target still_image_fuzzer 65536 "$root/fuzz/seeds/still_image"
run_target video_reader_fuzzer 65536 "$root/fuzz/seeds/video"
# The model files are fetched, not committed: the smallest ones seed the model reader.
mkdir -p "$work/models"
cp "$root/.cache/models/face_detection_short_range.tflite" "$root/.cache/models/selfie_segmentation.tflite" "$work/models/"
run_target tflite_reader_fuzzer 300000 "$work/models"
# The text models are megabytes; the ONNX reader starts from nothing and builds its own corpus.
run_target onnx_reader_fuzzer 100000
# The text path from small pictures with text (one a tall strip of small print, searched in tiles)
# and the picture decoder's seeds.
mkdir -p "$work/text_seeds"
cp "$root/tests/fixtures/text/date.jpg" "$root/tests/fixtures/text/page.jpg" "$root/tests/fixtures/text/blank.jpg" "$work/text_seeds/"
run_target text_path_fuzzer 65536 "$work/text_seeds" "$root/fuzz/seeds/text" "$root/fuzz/seeds/still_image"
