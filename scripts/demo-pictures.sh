#!/usr/bin/env bash
# Rewrites the opening's pictures in docs/images from a headless run of the
# built demo on the virtual clock: the same frames every time, whatever the
# machine's speed. Usage: scripts/demo-pictures.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
images=$(cd "$(dirname "$0")/../docs/images" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Milliseconds since the run began: the opening movie takes the first 3.2 s.
shots=(
  "3600 opening-curtain"      # the dusk scene halfway down its blinds
  "4400 opening-glide"        # the heroine easing in from the left
  "6200 opening-motion-blur"  # her dash off the screen under motion blur
  "6900 opening-mask"         # the night arriving through the star mask
  "8400 title-fade"           # the title screen fading in
)
for shot in "${shots[@]}"; do
  set -- $shot
  echo "at $1 screenshot $images/$2.png"
done > "$work/scenario.txt"
echo "at 8500 quit" >> "$work/scenario.txt"

mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" "$build/velmora" --headless --virtual-clock --input "$work/scenario.txt" "$build/demo"
echo "demo-pictures: ${#shots[@]} pictures written to $images"
