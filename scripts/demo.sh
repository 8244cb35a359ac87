#!/usr/bin/env bash
# Runs the production from the folder that holds its assets; where there is no display, renders
# it to a video instead.
#   scripts/demo.sh PROGRAM ASSET_DIR VIDEO.mp4
set -eu
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "make demo: there is no display here, so the production is recorded to $3 instead"
  "$(dirname "$0")/deps.sh" video
  exec "$(dirname "$0")/video.sh" "$1" "$2" "$3"
fi
cd "$2"
exec "$program"
