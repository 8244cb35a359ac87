#!/usr/bin/env bash
# Runs the production from the folder that holds its assets.
#   scripts/demo.sh PROGRAM ASSET_DIR
set -eu
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "make demo: there is no display here (DISPLAY is not set), so the production has nowhere to show; run it on a desktop or under xvfb-run" >&2
  exit 1
fi
cd "$2"
exec "$program"
