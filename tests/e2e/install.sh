#!/usr/bin/env bash
# An installed copy under a fresh prefix holds the program and its fourteen files side by side,
# and its launcher runs it from any folder, naming a video to record from the caller's folder.
#   tests/e2e/install.sh BUILD_DIR PREFIX
set -eu
build=$1 prefix=$2
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
# The program's own list of its files (app/Assets.h), as the asset maker says it.
mapfile -t files < <("$build/tools/assetmaker" --list | awk '{ print $2 }')
[ ${#files[@]} = 14 ] || { echo "the asset maker lists ${#files[@]} files, not fourteen"; exit 1; }
files+=(vadurer)
for f in "${files[@]}"; do
  [ -s "$prefix/lib/vadurer/$f" ] || { echo "the installed copy has no $f"; exit 1; }
done
# From another folder the launcher still finds the program, which lists its options.
(cd / && "$prefix/bin/vadurer" --help) | grep -q -- "--window" || { echo "the launcher did not run the program"; exit 1; }
# A relative video file is written where the caller is, though the program runs in its own folder.
caller=$(mktemp -d)
(cd "$caller" && "$prefix/bin/vadurer" --record clip.mp4 >/dev/null 2>&1) || { echo "the launcher's --record failed"; exit 1; }
[ -s "$caller/clip.mp4" ] || { echo "--record clip.mp4 did not write the caller's clip.mp4"; exit 1; }
rm -rf "$caller"
echo "installed: ${#files[@]} files under $prefix/lib/vadurer, launcher $prefix/bin/vadurer"
