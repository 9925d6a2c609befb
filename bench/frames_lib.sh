# Shared by the benchmarks (sourced, not run): making a folder of 1280x720 frames from one
# picture or from the webcam clip, printing one measured run as a table row, finding a program in
# another build, measuring one run that must succeed, and the median and largest of figures.

# make_frames PICTURE FOLDER COUNT: FOLDER/all holds COUNT frames (the picture scaled to the frame
# height and centred; a little noise keeps the frames from being identical) and FOLDER/first100
# links to the first 100 of them. Made once; kept while the count matches.
make_frames() {
  local picture=$1 folder=$2 count=$3
  if [ "$(find "$folder/all" -name '*.jpg' 2>/dev/null | wc -l)" -eq "$count" ]; then return; fi
  rm -rf "$folder" && mkdir -p "$folder/all" "$folder/first100"
  ffmpeg -v error -loop 1 -i "$picture" \
    -vf "scale=-2:720,pad=1280:720:(ow-iw)/2:0,noise=alls=6:allf=t" -frames:v "$count" -q:v 3 "$folder/all/%05d.jpg"
  local f
  for f in $(ls "$folder/all" | head -n 100); do ln -s "../all/$f" "$folder/first100/$f"; done
}

# make_clip_frames CLIP FOLDER COUNT [START]: FOLDER holds COUNT 1280x720 frames of the clip from
# START seconds into it (default 0; looped when more frames are asked for than it holds), its
# picture scaled to the frame height and centred. Made once; kept while the count matches.
make_clip_frames() {
  local clip=$1 folder=$2 count=$3 start=${4:-0}
  if [ "$(find "$folder" -name '*.jpg' 2>/dev/null | wc -l)" -eq "$count" ]; then return; fi
  rm -rf "$folder" && mkdir -p "$folder"
  ffmpeg -nostdin -v error -stream_loop -1 -ss "$start" -i "$clip" -an -vf "scale=-2:720,pad=1280:720:(ow-iw)/2:0" \
    -frames:v "$count" -q:v 3 "$folder/%05d.jpg"
}

# make_webcam_frames CLIP FOLDER COUNT: the webcam sample's frames from 20 s into it (its 4:3
# picture 960 pixels wide in the frame).
make_webcam_frames() { make_clip_frames "$1" "$2" "$3" 20; }

# report LABEL FRAMES MEASURE-LINE: one row of frames per second, processor milliseconds per frame
# (user and system; steadier than the clock on a shared machine) and peak memory from a line of
# bench/measure.
report() {
  local seconds kib cpu
  seconds=$(echo "$3" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
  kib=$(echo "$3" | sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p')
  cpu=$(echo "$3" | sed -n 's/.*cpu=\([0-9.]*\).*/\1/p')
  awk -v l="$1" -v n="$2" -v s="$seconds" -v k="$kib" -v c="$cpu" \
    'BEGIN { printf "%-34s %6d frames %8.2f s %9.1f frames/s %6.2f cpu ms/frame %8.1f MiB peak\n", l, n, s, n / s, 1000 * c / n, k / 1024 }'
}

# program FOLDER NAME: the path of program NAME in a build tree or an install prefix.
program() {
  local folder=$1 name=$2
  case $name in
    vision) [ -x "$folder/frame_analysis/vision" ] && echo "$folder/frame_analysis/vision" && return ;;
    look) [ -x "$folder/text_reading/look" ] && echo "$folder/text_reading/look" && return ;;
    matte) [ -x "$folder/person_cutout/matte" ] && echo "$folder/person_cutout/matte" && return ;;
  esac
  [ -x "$folder/bin/$name" ] || { echo "$(basename "$0" .sh): no $name in $folder" >&2; exit 2; }
  echo "$folder/bin/$name"
}

# measured_line NAME COMMAND...: bench/measure's line for one run of COMMAND (with `measure` and
# `work` set by the caller). A run that fails prints its errors and the command, and stops the
# bench (the caller runs under set -e).
measured_line() {
  local name=$1 line
  shift
  line=$("$measure" "$@" 2>"$work/err")
  if [[ $line != *" status=0" ]]; then
    cat "$work/err" >&2
    echo "$name: failed: $*" >&2
    exit 1
  fi
  echo "$line"
}

# median FIGURES / largest FIGURES: of space-separated numbers.
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { tr ' ' '\n' <<<"$1" | grep . | sort -g | tail -n 1; }
