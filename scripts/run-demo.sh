#!/usr/bin/env bash
# Runs the demo game from the build folder. Without a display it runs
# headless on the virtual clock and writes the title screen (shown after the
# opening movie, while the welcome is spoken) to build/demo-title.png.
set -euo pipefail
build=${1:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot="$(cd "$build" && pwd)/demo-title.png"
  # The opening runs first: the title has faded in at 5.87 s of virtual time.
  "$build/velmora" --headless --virtual-clock --screenshot-at 5870 "$shot" "$build/demo"
  echo "demo: the title screen is in $shot"
else
  exec "$build/velmora" "$build/demo"
fi
