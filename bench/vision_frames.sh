#!/usr/bin/env bash
# vision over many 1280x720 frames of one person: frames per second and peak resident memory at
# 100 and at all frames, in full and in faces-only mode, beside the floor of decoding the same
# frames with ffmpeg.
# Usage: bench/vision_frames.sh [FRAMES]   (default 5000; the frames are made once, in build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
count=${1:-5000}
vision=$root/build/frame_analysis/vision
measure=$root/build/bench/measure
work=$root/build/bench/frames-720p
make_frames "$root/tests/fixtures/dancer_frames/frame001.jpg" "$work" "$count"

echo "vision on $count frames of 1280x720 ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
report "vision, first 100 frames" 100 "$("$measure" "$vision" "$work/first100" 30)"
report "vision faces, first 100 frames" 100 "$("$measure" "$vision" "$work/first100" 30 faces)"
report "vision, all frames" "$count" "$("$measure" "$vision" "$work/all" 30)"
report "vision faces, all frames" "$count" "$("$measure" "$vision" "$work/all" 30 faces)"
report "peer: ffmpeg decoding the frames" "$count" \
  "$("$measure" ffmpeg -v error -threads 1 -f image2 -i "$work/all/%05d.jpg" -f null -)"
