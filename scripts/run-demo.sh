#!/usr/bin/env bash
# Runs the demo game from the build folder, headless when there is no display.
set -euo pipefail
build=${1:-build}
args=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  args+=(--headless)
fi
exec "$build/velmora" "${args[@]}" "$build/demo"
