#!/usr/bin/env bash
# vision in faces-only mode over 1280x720 frames with one face: frames per second and peak
# resident memory at 100 frames and at all of them, beside ffmpeg decoding the same frames; then
# where the time of one frame goes (bench/face_stages).
# Usage: bench/vision_faces.sh [FRAMES]   (default 2000; the frames are made once, in build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-2000}
vision=$root/build/frame_analysis/vision
measure=$root/build/bench/measure
work=$root/build/bench/faces-720p
source_picture=$root/tests/fixtures/faces/astronaut.jpg

if [ "$(find "$work/all" -name '*.jpg' 2>/dev/null | wc -l)" -ne "$count" ]; then
  rm -rf "$work" && mkdir -p "$work/all" "$work/first100"
  # One face, the picture scaled to the frame height and centred on a 1280x720 frame; a little
  # noise keeps the frames from being identical.
  ffmpeg -v error -loop 1 -i "$source_picture" \
    -vf "scale=720:720,pad=1280:720:(ow-iw)/2:0,noise=alls=6:allf=t" -frames:v "$count" -q:v 3 "$work/all/%05d.jpg"
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

echo "vision faces-only on $count frames of 1280x720 with one face ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
report "vision faces, first 100 frames" 100 "$("$measure" "$vision" "$work/first100" 30 faces)"
report "vision faces, all frames" "$count" "$("$measure" "$vision" "$work/all" 30 faces)"
report "peer: ffmpeg decoding the frames" "$count" \
  "$("$measure" ffmpeg -v error -threads 1 -f image2 -i "$work/all/%05d.jpg" -f null -)"
echo
"$root/build/bench/face_stages" "$work/all/00001.jpg" "$work/all/00002.jpg" 30
