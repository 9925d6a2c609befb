#!/usr/bin/env bash
# vision over many 1280x720 frames of one person: frames per second and peak resident memory at
# 100 and at 5,000 frames, beside the floor of decoding the same frames with ffmpeg.
# Usage: bench/vision_frames.sh [FRAMES]   (default 5000; the frames are made once, in build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-5000}
vision=$root/build/frame_analysis/vision
measure=$root/build/bench/measure
work=$root/build/bench/frames-720p
source_picture=$root/tests/fixtures/dancer_frames/frame001.jpg

if [ "$(find "$work/all" -name '*.jpg' 2>/dev/null | wc -l)" -ne "$count" ]; then
  rm -rf "$work" && mkdir -p "$work/all" "$work/first100"
  # One person, scaled to the frame height and centred on a 1280x720 frame; a little noise keeps
  # the frames from being identical.
  ffmpeg -v error -loop 1 -i "$source_picture" \
    -vf "scale=-2:720,pad=1280:720:(ow-iw)/2:0,noise=alls=6:allf=t" -frames:v "$count" -q:v 3 "$work/all/%05d.jpg"
  for f in $(ls "$work/all" | head -n 100); do ln -s "../all/$f" "$work/first100/$f"; done
fi

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
report() {  # label frames measure-line
  local seconds kib
  seconds=$(echo "$3" | field seconds)
  kib=$(echo "$3" | field peak_kib)
  awk -v l="$1" -v n="$2" -v s="$seconds" -v k="$kib" \
    'BEGIN { printf "%-34s %6d frames %8.2f s %9.1f frames/s %8.1f MiB peak\n", l, n, s, n / s, k / 1024 }'
}

echo "vision on $count frames of 1280x720 ($(nproc) cores)"
report "vision, first 100 frames" 100 "$("$measure" "$vision" "$work/first100" 30)"
report "vision faces, first 100 frames" 100 "$("$measure" "$vision" "$work/first100" 30 faces)"
report "vision, all frames" "$count" "$("$measure" "$vision" "$work/all" 30)"
report "vision faces, all frames" "$count" "$("$measure" "$vision" "$work/all" 30 faces)"
report "peer: ffmpeg decoding the frames" "$count" \
  "$("$measure" ffmpeg -v error -threads 1 -f image2 -i "$work/all/%05d.jpg" -f null -)"
