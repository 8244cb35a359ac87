#!/usr/bin/env bash
# Builds the production as a page into OUT_DIR (build/web): index.html and its scripts, the
# module (vadurer.js, .wasm, .worker.js), the pictures and effects packaged for preloading
# (vadurer.data), the music, Opus-coded, with what the page needs to restore its WAVE file, and the
# licence (LICENSE.txt), which goes wherever the folder goes.
#   scripts/web.sh NATIVE_BUILD_DIR OUT_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native=$1 out=$2
jobs=${JOBS:-2}
# Everything this writes besides the page goes beside OUT_DIR: OUT_DIR-stage (the assets as made,
# and those preloaded) and OUT_DIR-cmake (the emscripten tree).
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out-stage" tree="$out-cmake"
export NODE_PATH=/usr/share/nodejs  # emscripten's tools find Debian's acorn there

"$root/scripts/assets.sh" "$native" "$stage/assets"
music=$("$native/tools/assetmaker" --list | awk '$1 == "music" { print $2 }')
# Everything but the music is preloaded as it is.
rm -rf "$stage/preload" && mkdir -p "$stage/preload"
find "$stage/assets" -maxdepth 1 -type f ! -name "$music" -exec cp {} "$stage/preload/" \;
# The music alone is twelve of the sixteen megabytes and no general compressor shrinks it: it
# travels as Opus and the page decodes it back into the same WAVE layout (its header and any
# bytes after the samples travel as they are).
# (bitexact: the Ogg stream's serial number fixed, not random, so that the same music gives the
# same file)
ffmpeg -v error -y -i "$stage/assets/$music" -c:a libopus -b:a 160k -fflags +bitexact -flags:a +bitexact "$out/music.opus"
python3 - "$stage/assets/$music" "$out/music.json" <<'PY'
import base64, json, os, sys, wave
src, dst = sys.argv[1], sys.argv[2]
with open(src, 'rb') as f:
    w = wave.open(f)
    if (w.getnchannels(), w.getsampwidth()) != (2, 2):
        sys.exit('music: expected 16-bit stereo PCM')
    # wave reads the chunks up to the samples and stops there: the file is at their first byte.
    start = f.tell()
    rate, frames = w.getframerate(), min(w.getnframes(), (os.path.getsize(src) - start) // 4)
    f.seek(0)
    data = f.read()
json.dump({'name': os.path.basename(src), 'coded': 'music.opus', 'rate': rate, 'frames': frames,
           'head': base64.b64encode(data[:start]).decode(),
           'tail': base64.b64encode(data[start + 4 * frames:]).decode()}, open(dst, 'w'))
PY

emcmake cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DVADURER_TESTS=OFF \
  -DVADURER_WEB_ASSETS="$stage/preload" >/dev/null
cmake --build "$tree" -j"$jobs" --target vadurer
for f in vadurer.js vadurer.wasm vadurer.worker.js vadurer.data; do
  cp "$tree/$f" "$out/"
done
# The packager names its package with a random id, which only its cache in the browser's storage
# reads (not used here): named after what the package holds instead, the same build gives the same
# bytes.
uuid=$(sha256sum "$out/vadurer.data" | sed -E 's/^(.{8})(.{4})(.{4})(.{4})(.{12}).*/\1-\2-\3-\4-\5/')
sed -i -E "s/\"package_uuid\":\"[0-9a-f-]+\"/\"package_uuid\":\"$uuid\"/" "$out/vadurer.js"
grep -q "\"package_uuid\":\"$uuid\"" "$out/vadurer.js" || { echo "web: the packager's id was not found in vadurer.js" >&2; exit 1; }
cp "$root"/platform/host/web/page/* "$out/"
cp "$root/LICENSE" "$out/LICENSE.txt"
echo "$out:"
( cd "$out" && for f in *; do printf '  %-20s %9d bytes, %9d gzipped\n' "$f" "$(stat -c %s "$f")" "$(gzip -9c "$f" | wc -c)"; done )
