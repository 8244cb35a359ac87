#!/usr/bin/env bash
# Writes the production's pictures and sounds into the folder it runs from.
#   scripts/assets.sh NATIVE_BUILD_DIR OUT_DIR
set -eu
build=$1 out=$2
mkdir -p "$out"
maker="$build/tools/assetmaker"
if [ ! -x "$maker" ]; then
  echo "assets: $maker has not been built (it is built natively, with the native tree)" >&2
  exit 1
fi
"$maker" "$out"
