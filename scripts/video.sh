#!/usr/bin/env bash
# Renders the production with its sound to a video file, from the folder that holds its assets (a
# video already there is replaced once the new one is whole); any further arguments go to the
# recorder (--scale N).
#   scripts/video.sh PROGRAM ASSET_DIR OUT.mp4 [ARGS...]
set -eu
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
mkdir -p "$(dirname "$3")"
video=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
cd "$2"
"$program" --record "$video" --force "${@:4}"
echo "the video is $video"
