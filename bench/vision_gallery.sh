#!/usr/bin/env bash
# What a frame costs with one person in it and with sixteen, beside another build of the project
# (the peer, e.g. main's) measured in the same run: bench/vision_requests of each build in turn on
# the same 1280x720 frames, TURNS times, alternating so that both see the same load. Processor time
# is the figure to compare on a shared machine; the wall clock includes waiting for a core.
#   one person:  tests/fixtures/pose/person_hand_raised.jpg filling the frame's height
#   4x4 gallery: sixteen one-person fixture pictures, each fitted in a 320x180 cell
# Usage: bench/vision_gallery.sh PEER_BUILD_DIR [FRAMES] [TURNS]   (defaults 30 and 3)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
peer=${1:?usage: vision_gallery.sh PEER_BUILD_DIR [FRAMES] [TURNS]}
count=${2:-30}
turns=${3:-3}
ours=$root/build/bench/vision_requests
theirs=$peer/bench/vision_requests
[ -x "$theirs" ] || { echo "vision_gallery: no $theirs" >&2; exit 1; }
work=$root/build/bench/gallery

# The gallery picture, made once: cells in row order, cycling through the pictures.
gallery=$work/gallery_4x4.png
if [ ! -f "$gallery" ]; then
  mkdir -p "$work/cells"
  f=$root/tests/fixtures
  pictures=("$f/people/webcam_400x300.jpg" "$f/faces/astronaut.jpg" "$f/pose/person_hand_raised.jpg"
    "$f/people/eyes_turned.jpg" "$f/pose/one_person.jpg" "$f/dancer_frames/frame001.jpg"
    "$f/faces/turned.jpg" "$f/pose/webcam_hand_at_edge.jpg")
  for i in $(seq 0 15); do
    ffmpeg -v error -y -i "${pictures[i % ${#pictures[@]}]}" \
      -vf "scale=320:180:force_original_aspect_ratio=decrease,pad=320:180:(ow-iw)/2:(oh-ih)/2:gray" \
      "$(printf '%s/cells/%02d.png' "$work" "$i")"
  done
  ffmpeg -v error -y -i "$work/cells/%02d.png" -vf tile=4x4 -frames:v 1 "$gallery"
fi

make_frames "$root/tests/fixtures/pose/person_hand_raised.jpg" "$work/one" "$count"
make_frames "$gallery" "$work/sixteen" "$count"

# The processor milliseconds per frame of one request line of vision_requests' output.
cpu_of() { sed -n "s/^$1 .* \([0-9.]*\) ms cpu.*/\1/p"; }

echo "vision_requests, $count frames a run, $turns turns ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
printf '%-12s %-6s %5s %8s %8s %8s %8s   %s\n' frames build turn face body hand total "found per frame"
for set in one sixteen; do
  for turn in $(seq "$turns"); do
    for build in ours peer; do
      binary=$ours
      [ "$build" = peer ] && binary=$theirs
      out=$("$binary" "$work/$set/all")
      found=$(echo "$out" | sed -n 's/.*ms cpu *\([0-9.]* [a-z]*\) per frame/\1/p' | paste -sd' ')
      printf '%-12s %-6s %5d %8s %8s %8s %8s   %s\n' "$set" "$build" "$turn" \
        "$(echo "$out" | cpu_of 'face request')" "$(echo "$out" | cpu_of 'body request')" \
        "$(echo "$out" | cpu_of 'hand request')" "$(echo "$out" | cpu_of total)" "$found"
    done
  done
done
echo "(figures: processor milliseconds per frame)"
