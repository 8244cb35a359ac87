#!/usr/bin/env bash
# Writes the production's pictures and sounds into OUT_DIR (made if it is not there), with the asset
# maker of a native build tree.
#   scripts/assets.sh NATIVE_BUILD_DIR OUT_DIR
set -eu
build=$1 out=$2
mkdir -p "$out"
maker="$build/tools/assetmaker"
if [ ! -x "$maker" ]; then
  echo "assets: $maker has not been built (it is built natively, with the native tree)" >&2
  exit 1
fi
# Made beside OUT_DIR, then only what changed replaces what is there: a file the same as before
# keeps its time, so that nothing built from it (the page's package) is built again.
made=$(mktemp -d "$(dirname "$out")/.assets.XXXXXX")
trap 'rm -rf "$made"' EXIT
"$maker" "$made"
for f in "$made"/*; do
  cmp -s "$f" "$out/${f##*/}" || mv -f "$f" "$out/${f##*/}"
done
