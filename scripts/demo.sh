#!/usr/bin/env bash
# Runs the programs on the bundled sample inputs. Expects scripts/setup.sh to have run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

echo "== vision tests/fixtures/dancer_frames 8"
"$root/build/frame_analysis/vision" "$root/tests/fixtures/dancer_frames" 8

echo "== vision tests/fixtures/faces 1 faces"
"$root/build/frame_analysis/vision" "$root/tests/fixtures/faces" 1 faces

echo "== look tests/fixtures/text"
"$root/build/text_reading/look" "$root/tests/fixtures/text"

echo "== matte tests/fixtures/video/person.mp4 (cut-out written to a temporary folder)"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$root/build/person_cutout/matte" "$root/tests/fixtures/video/person.mp4" "$out/person_cutout.mp4" fast
