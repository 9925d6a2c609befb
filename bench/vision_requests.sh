#!/usr/bin/env bash
# Full-mode vision on 1280x720 frames of one person whose hand shows: the time of each request
# beside the total (bench/vision_requests.cc), then the whole program over the same frames with
# ffmpeg decoding them as the floor.
# Usage: bench/vision_requests.sh [FRAMES]   (default 100; the frames are made once, in build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
count=${1:-100}
work=$root/build/bench/frames-720p-hand
measure=$root/build/bench/measure
source_picture=$root/tests/fixtures/pose/person_hand_raised.jpg

make_frames "$source_picture" "$work" "$count"

echo "== each request, $(nproc) cores"
"$root/build/bench/vision_requests" "$work/all"

echo "== the whole program"
report "vision (loading the models too)" "$count" "$("$measure" "$root/build/frame_analysis/vision" "$work/all" 30)"
report "peer: ffmpeg decoding the frames" "$count" \
  "$("$measure" ffmpeg -v error -threads 1 -f image2 -i "$work/all/%05d.jpg" -f null -)"
