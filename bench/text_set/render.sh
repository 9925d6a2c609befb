#!/usr/bin/env bash
# Renders the made pictures of the text set, each beside its true text (NAME.txt). Needs
# ImageMagick and the DejaVu and Liberation fonts (Debian: imagemagick fonts-dejavu-core
# fonts-liberation2). The pictures are committed; run this only to change them.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=/usr/bin/convert  # ImageMagick's own, whatever else is on the path
fonts=/usr/share/fonts/truetype
sans=$fonts/dejavu/DejaVuSans.ttf
sans_bold=$fonts/dejavu/DejaVuSans-Bold.ttf
serif=$fonts/liberation2/LiberationSerif-Regular.ttf
mono=$fonts/liberation2/LiberationMono-Regular.ttf
arial=$fonts/liberation2/LiberationSans-Regular.ttf
arial_bold=$fonts/liberation2/LiberationSans-Bold.ttf

# card CATEGORY NAME SIZE BACKGROUND FILL FONT POINTS TEXT [EXTRA...]: TEXT centred on a plain
# card; the true text is TEXT itself.
card() {
  local category=$1 name=$2 size=$3 background=$4 fill=$5 font=$6 points=$7 text=$8
  shift 8
  mkdir -p "$here/$category"
  "$convert" -size "$size" "xc:$background" -font "$font" -pointsize "$points" -fill "$fill" \
    -gravity center -annotate +0+0 "$text" "$@" -quality 92 "$here/$category/$name.jpg"
  printf '%s\n' "$text" >"$here/$category/$name.txt"
}

card dark_on_light hours 720x200 white black "$sans" 34 $'Opening hours 9:00 to 17:30\nMonday to Friday'
card dark_on_light fox 900x160 '#f4eedc' '#333333' "$serif" 40 $'The quick brown fox jumps over the lazy dog.'
card dark_on_light receipt 420x260 white black "$mono" 30 $'Milk      1.20\nBread     2.35\nTotal     3.55'

card light_on_dark blue_sign 640x260 '#1f4e9c' white "$arial_bold" 52 $'City Centre\nRailway Station'
card light_on_dark exit_sign 600x240 '#137a3b' white "$sans_bold" 56 $'EXIT\nEmergency exit only'
card light_on_dark caution 700x150 black '#f5d000' "$arial_bold" 54 $'Caution wet floor'
card light_on_dark red_label 520x200 '#b3122a' '#fff4e0' "$serif" 44 $'No entry\nStaff only'

card signs coffee 560x300 '#2b2b2b' '#f0f0f0' "$sans" 40 $'Fresh coffee 2.40\nTea 1.80\nCake 3.10'
card signs open 480x280 '#fffbe6' '#8a1c1c' "$arial_bold" 46 $'Open\nMon to Sat\n8 am to 6 pm'
card signs gate 620x200 white '#c00000' "$sans_bold" 44 $'Do not park\nin front of gate' \
  -bordercolor '#c00000' -border 12

card small_text label 560x140 white black "$arial" 13 \
  $'Ingredients: water, sugar, lemon juice, salt.\nStore in a cool dry place. Best before 03/2027.\nMade in the United Kingdom for Acme Foods Ltd.'
card small_text footnote 620x110 '#fafafa' '#202020' "$serif" 14 \
  $'Prices include tax. Offer valid while stocks last.\nSee our website for the full terms and conditions.'
card small_text timetable 420x150 white black "$mono" 12 \
  $'Platform 2   10:15   Norwich\nPlatform 4   10:22   Cambridge\nPlatform 1   10:40   London'

card accented french 720x200 white black "$sans" 38 $'Café crème et thé glacé\nOù est la gare ? À gauche.'
card accented german 720x200 '#f7f7f7' '#111111' "$serif" 40 $'Schöne Grüße aus München\nGröße der Brücke: 12 Meter'
card accented spanish 720x200 white '#102040' "$arial" 38 $'Mañana es sábado\n¿Dónde está la estación?'
card accented french_sign 640x220 '#1f4e9c' white "$arial_bold" 44 $'Entrée libre\nFermé le lundi'

# A page of two paragraphs, as a printed page.
mkdir -p "$here/page"
page_text=$'Reading machines have come a long way. The first of them\nread a single typeface, printed on clean paper, one letter at\na time. Today a telephone reads a menu in a dim restaurant.\n\nWhat changed is not only the speed of the computers. Readers\nnow learn from millions of examples, and they see whole lines\ninstead of single letters, so that a smudge or a fold in the\npaper rarely stops them.'
"$convert" -size 1000x620 xc:white -font "$serif" -pointsize 30 -fill black -annotate +60+80 "$page_text" \
  -quality 92 "$here/page/essay.jpg"
printf '%s\n' "$page_text" >"$here/page/essay.txt"

# A sign in a photo-like scene: a street sign, turned a little, on a noisy textured ground.
mkdir -p "$here/photos"
"$convert" -size 520x150 xc:'#1f4e9c' -font "$arial_bold" -pointsize 58 -fill white -gravity center \
  -annotate +0+0 'Station Road' -bordercolor white -border 6 -background none -rotate -4 "$work/sign.png"
"$convert" -size 960x720 plasma:'#5a6a3a-#8a7a6a' -blur 0x2 "$work/sign.png" -gravity center \
  -geometry +40-60 -composite -attenuate 0.3 +noise Gaussian -quality 88 "$here/photos/street.jpg"
printf 'Station Road\n' >"$here/photos/street.txt"
