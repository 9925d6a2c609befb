#!/usr/bin/env bash
# vision in faces-only mode over 1280x720 frames with one face: frames per second, processor time
# per frame and peak resident memory at 100 frames and at all of them, beside ffmpeg decoding the
# same frames; then where the time of one frame goes (bench/face_stages).
# Usage: bench/vision_faces.sh [FRAMES] [OTHER_VISION]   (default 2000 frames; the frames are made
# once, in build/bench). OTHER_VISION, say a build of an earlier commit, is measured in the same
# run, taking turns with this build's vision three times, so that both meet the same load.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
count=${1:-2000}
other=${2:-}
vision=$root/build/frame_analysis/vision
measure=$root/build/bench/measure
work=$root/build/bench/faces-720p
make_frames "$root/tests/fixtures/faces/astronaut.jpg" "$work" "$count"

echo "vision faces-only on $count frames of 1280x720 with one face ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
report "vision faces, first 100 frames" 100 "$("$measure" "$vision" "$work/first100" 30 faces)"
if [ -z "$other" ]; then
  report "vision faces, all frames" "$count" "$("$measure" "$vision" "$work/all" 30 faces)"
else
  for turn in 1 2 3; do
    report "vision faces, all frames ($turn)" "$count" "$("$measure" "$vision" "$work/all" 30 faces)"
    report "peer: other vision, all ($turn)" "$count" "$("$measure" "$other" "$work/all" 30 faces)"
  done
fi
report "peer: ffmpeg decoding the frames" "$count" \
  "$("$measure" ffmpeg -v error -threads 1 -f image2 -i "$work/all/%05d.jpg" -f null -)"
echo
"$root/build/bench/face_stages" "$work/all/00001.jpg" "$work/all/00002.jpg" 30
