#!/usr/bin/env bash
# look against the tesseract command on the text set, per kind of picture: character error
# rate, lines that match no true line, seconds. Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmake --build "$root/build" --target look_bench -j 2 >/dev/null
"$root/build/bench/look_bench" "$@"
