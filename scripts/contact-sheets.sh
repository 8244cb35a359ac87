#!/usr/bin/env bash
# Contact sheets of the production's pictures and of frames composed as its script draws them.
#   scripts/contact-sheets.sh NATIVE_BUILD_DIR OUT_DIR
# Writes OUT_DIR/pictures.png (the ten files as they are) and OUT_DIR/frames.png (the opening,
# scenes 1 to 3 in the background's palette), with the PNG of every single picture and frame.
set -eu
build=$1 out=$2
for tool in assetmaker contactframes; do
  if [ ! -x "$build/tools/$tool" ]; then
    echo "contact-sheets: $build/tools/$tool has not been built" >&2
    exit 1
  fi
done
rm -rf "$out"
mkdir -p "$out/assets" "$out/frames" "$out/pictures"
"$build/tools/assetmaker" "$out/assets"
"$build/tools/contactframes" "$out/assets" "$out/frames"
for f in "$out"/frames/*.ppm; do
  convert "$f" "${f%.ppm}.png" && rm "$f"
done
for f in "$out"/assets/*.bmp; do
  convert "$f" "$out/pictures/$(basename "${f%.bmp}").png"
done
montage -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -label '%t %wx%h' -background '#202020' -fill white -pointsize 14 \
  -geometry '320x240>+6+6' -tile 4x "$out"/pictures/*.png "$out/pictures.png"
montage -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -label '%t' -background '#202020' -fill white -pointsize 14 \
  -geometry 320x240+6+6 -tile 4x "$out"/frames/*.png "$out/frames.png"
echo "contact sheets: $out/pictures.png $out/frames.png"
