#!/usr/bin/env bash
# Builds the production as a page into OUT_DIR (build/web): index.html and its scripts, the
# module (vadurer.js, .wasm, .worker.js), the pictures and effects packaged for preloading
# (vadurer.data) and the music, Opus-coded, with what the page needs to restore its WAVE file.
#   scripts/web.sh NATIVE_BUILD_DIR OUT_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native=$1 out=$2
jobs=${JOBS:-2}
stage="$root/build/web-stage"
export NODE_PATH=/usr/share/nodejs  # emscripten's tools find Debian's acorn there

"$root/scripts/assets.sh" "$native" "$stage/assets"
# Everything but the music is preloaded as it is.
rm -rf "$stage/preload" && mkdir -p "$stage/preload" "$out"
find "$stage/assets" -maxdepth 1 -type f ! -name Ruzuzireve.wav -exec cp {} "$stage/preload/" \;
# The music alone is twelve of the sixteen megabytes and no general compressor shrinks it: it
# travels as Opus and the page decodes it back into the same WAVE layout (its header and any
# bytes after the samples travel as they are).
ffmpeg -v error -y -i "$stage/assets/Ruzuzireve.wav" -c:a libopus -b:a 160k "$out/music.opus"
python3 - "$stage/assets/Ruzuzireve.wav" "$out/music.json" <<'PY'
import base64, json, struct, sys
src, dst = sys.argv[1], sys.argv[2]
data = open(src, 'rb').read()
pos, start, size, rate = 12, None, None, None
while pos + 8 <= len(data):
    tag, n = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
    if tag == b'fmt ':
        fmt, ch, rate, _, _, bits = struct.unpack('<HHIIHH', data[pos + 8:pos + 24])
        if (fmt, ch, bits) != (1, 2, 16):
            sys.exit('music: expected 16-bit stereo PCM')
    if tag == b'data':
        start, size = pos + 8, min(n, len(data) - pos - 8)
        break
    pos += 8 + n + (n & 1)
if start is None or rate is None:
    sys.exit('music: no fmt or data chunk')
json.dump({'name': 'Ruzuzireve.wav', 'coded': 'music.opus', 'rate': rate, 'frames': size // 4,
           'head': base64.b64encode(data[:start]).decode(),
           'tail': base64.b64encode(data[start + size - size % 4:]).decode()}, open(dst, 'w'))
PY

emcmake cmake -S "$root" -B "$root/build/web-cmake" -DCMAKE_BUILD_TYPE=Release -DVADURER_TESTS=OFF \
  -DVADURER_WEB_ASSETS="$stage/preload" >/dev/null
cmake --build "$root/build/web-cmake" -j"$jobs" --target vadurer
for f in vadurer.js vadurer.wasm vadurer.worker.js vadurer.data; do
  cp "$root/build/web-cmake/$f" "$out/"
done
cp "$root"/platform/host/web/page/* "$out/"
echo "$out:"
( cd "$out" && for f in *; do printf '  %-20s %9d bytes, %9d gzipped\n' "$f" "$(stat -c %s "$f")" "$(gzip -9c "$f" | wc -c)"; done )
