#!/usr/bin/env bash
# look against the tesseract command: seconds per image and character error rate on the
# committed pictures with known text. Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmake --build "$root/build" --target look_bench -j 2 >/dev/null
"$root/build/bench/look_bench" "${1:-3}"
