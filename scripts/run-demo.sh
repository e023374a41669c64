#!/usr/bin/env bash
# Runs the demo game from the build folder. Without a display it runs
# headless on the virtual clock and writes the title screen (shown after the
# opening movie, while the welcome is spoken) to build/demo-title.png.
set -euo pipefail
build=${1:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot="$(cd "$build" && pwd)/demo-title.png"
  # The title menu waits for the player: the run takes its picture and ends.
  scenario="$(mktemp)"
  printf 'wait-event\nwait 500\nscreenshot %s\nquit\n' "$shot" > "$scenario"
  "$build/velmora" --headless --virtual-clock --input "$scenario" "$build/demo"
  rm -f "$scenario"
  echo "demo: the title screen is in $shot"
else
  exec "$build/velmora" "$build/demo"
fi
