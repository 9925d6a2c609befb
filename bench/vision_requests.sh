#!/usr/bin/env bash
# Full-mode vision on 1280x720 frames of one person whose hand shows: the time of each request
# beside the total (bench/vision_requests.cc), then the whole program over the same frames with
# ffmpeg decoding them as the floor.
# Usage: bench/vision_requests.sh [FRAMES]   (default 100; the frames are made once, in build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-100}
work=$root/build/bench/frames-720p-hand
measure=$root/build/bench/measure
source_picture=$root/tests/fixtures/pose/person_hand_raised.jpg

if [ "$(find "$work" -name '*.jpg' 2>/dev/null | wc -l)" -ne "$count" ]; then
  rm -rf "$work" && mkdir -p "$work"
  # The person scaled to the frame height and centred; a little noise keeps the frames apart.
  ffmpeg -v error -loop 1 -i "$source_picture" \
    -vf "scale=-2:720,pad=1280:720:(ow-iw)/2:0,noise=alls=6:allf=t" -frames:v "$count" -q:v 3 "$work/%05d.jpg"
fi

echo "== each request, $(nproc) cores"
"$root/build/bench/vision_requests" "$work"

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
report() {  # label measure-line
  local seconds kib
  seconds=$(echo "$2" | field seconds)
  kib=$(echo "$2" | field peak_kib)
  awk -v l="$1" -v n="$count" -v s="$seconds" -v k="$kib" \
    'BEGIN { printf "%-34s %6d frames %8.2f s %9.1f frames/s %8.1f MiB peak\n", l, n, s, n / s, k / 1024 }'
}
echo "== the whole program"
report "vision (loading the models too)" "$("$measure" "$root/build/frame_analysis/vision" "$work" 30)"
report "peer: ffmpeg decoding the frames" \
  "$("$measure" ffmpeg -v error -threads 1 -f image2 -i "$work/%05d.jpg" -f null -)"
