#!/usr/bin/env bash
# Builds the production as a page into OUT_DIR (build/web): index.html and its scripts, the
# module (vadurer.js, .wasm, .worker.js), the pictures in one LZMA pack (pictures.lzma) that the
# module restores to the very files the asset maker wrote, the sounds Opus-coded with what the page
# needs to restore their WAVE files (sounds.json), the icons, the web app manifest, the preview
# picture for where the page's link is posted and the licence (LICENSE.txt), which goes wherever the
# folder goes; then the release stamped on the page and its service worker, and each file that
# compresses beside itself as .br and .gz (scripts/web-release.mjs).
#   scripts/web.sh NATIVE_BUILD_DIR OUT_DIR
# VADURER_HOMEPAGE is the address the page will be put up at, from the environment or else from the
# native tree's CMake setting of that name: the preview's tags name absolute addresses there, as
# the sites that show them ask.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native=$1 out=$2
jobs=${JOBS:-2}
# Everything this writes besides the page goes beside OUT_DIR: OUT_DIR-stage (the assets as made,
# the pictures' pack, the preview's frame) and OUT_DIR-cmake (the emscripten tree).
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out-stage" tree="$out-cmake"
export NODE_PATH=/usr/share/nodejs  # emscripten's tools find Debian's acorn there
rm -rf "${out:?}"/*

"$root/scripts/assets.sh" "$native" "$stage/assets"
mapfile -t pictures < <("$native/tools/assetmaker" --list | awk '$1 == "picture" { print $2 }')
mapfile -t sounds < <("$native/tools/assetmaker" --list | awk '$1 == "music" || $1 == "effect" { print $2 }')

# The pictures: one pack, compressed with LZMA, which suits them best of what was measured (the
# ten take 682 KB gzipped, 581 KB with brotli at its best, 564 KB so): "VPK1", the number of
# files, each file's name and size, then their bytes (platform/host/web/pack.h).
python3 - "$stage/assets" "$stage/pictures.pack" "${pictures[@]}" <<'PY'
import os, struct, sys
folder, dst, names = sys.argv[1], sys.argv[2], sys.argv[3:]
data = [open(os.path.join(folder, n), 'rb').read() for n in names]
with open(dst, 'wb') as f:
    f.write(b'VPK1' + struct.pack('<I', len(names)))
    for n, d in zip(names, data):
        f.write(struct.pack('<H', len(n)) + n.encode() + struct.pack('<I', len(d)))
    for d in data:
        f.write(d)
PY
# (Compressed again only where the pictures changed since.)
if ! cmp -s "$stage/pictures.pack" "$stage/pictures.packed" || [ ! -f "$stage/pictures.lzma" ]; then
  xz --format=lzma --lzma1=preset=9e,lc=4,lp=0,pb=0 -c "$stage/pictures.pack" >"$stage/pictures.lzma"
  cp "$stage/pictures.pack" "$stage/pictures.packed"
fi
cp "$stage/pictures.lzma" "$out/"

# The sounds: no general compressor shrinks them much; each travels as Opus at 128 kbit/s (the
# music's difference from its source measures -35 dB against -37 at 160), and the page decodes it
# back into the same WAVE layout (the header and any bytes after the samples travel as they are).
# The music, the longest, travels in parts the page decodes as each arrives, so that the last to
# come is a short decode: each part is coded with a quarter of a second of what comes before it,
# which the page drops, so that the decoder has settled at the seam (measured: the difference from
# the source near each seam is that of the whole decoded at once, within 2 dB).
# (bitexact: the Ogg stream's serial number fixed, not random, so that the same sound gives the
# same file. Coded again only where the sound changed since: OUT_DIR-stage/coded keeps the parts
# with the digest of what they were made from.)
python3 - "$stage/assets" "$out" "$stage/coded" "${sounds[@]}" <<'PY'
import base64, hashlib, json, os, shutil, subprocess, sys, wave
folder, out, coded_dir, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
os.makedirs(coded_dir, exist_ok=True)
kParts, kPreroll = 8, 11025  # the music's parts; the frames each is coded with before its start
sounds = []
for i, name in enumerate(names):
    src = os.path.join(folder, name)
    with open(src, 'rb') as f:
        w = wave.open(f)
        if (w.getnchannels(), w.getsampwidth()) != (2, 2):
            sys.exit(f'{name}: expected 16-bit stereo PCM')
        # wave reads the chunks up to the samples and stops there: the file is at their first byte.
        start = f.tell()
        rate, frames = w.getframerate(), min(w.getnframes(), (os.path.getsize(src) - start) // 4)
        f.seek(0)
        data = f.read()
    stem, count = os.path.splitext(name)[0], kParts if i == 0 else 1
    digest = hashlib.sha256(data + f'{kParts} {kPreroll} 128k'.encode()).hexdigest()
    stamp = os.path.join(coded_dir, stem + '.digest')
    fresh = not (os.path.exists(stamp) and open(stamp).read() == digest)
    parts = []
    for k in range(count):
        first, end = frames * k // count, frames * (k + 1) // count
        begin = max(0, first - kPreroll)
        coded = f'{stem}-{k + 1}.opus' if count > 1 else f'{stem}.opus'
        if fresh or not os.path.exists(os.path.join(coded_dir, coded)):
            subprocess.run(['ffmpeg', '-v', 'error', '-y', '-i', src, '-af', f'atrim=start_sample={begin}:end_sample={end}',
                            '-c:a', 'libopus', '-b:a', '128k', '-fflags', '+bitexact', '-flags:a', '+bitexact',
                            os.path.join(coded_dir, coded)], check=True)
        shutil.copy(os.path.join(coded_dir, coded), os.path.join(out, coded))
        parts.append({'coded': coded, 'at': first, 'skip': first - begin, 'frames': end - first})
    open(stamp, 'w').write(digest)
    sounds.append({'name': name, 'rate': rate, 'frames': frames, 'parts': parts,
                   'head': base64.b64encode(data[:start]).decode(),
                   'tail': base64.b64encode(data[start + 4 * frames:]).decode()})
json.dump(sounds, open(os.path.join(out, 'sounds.json'), 'w'), indent=1)
PY

emcmake cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DVADURER_TESTS=OFF >/dev/null
cmake --build "$tree" -j"$jobs" --target vadurer
cp "$tree"/vadurer.js "$tree"/vadurer.wasm "$tree"/vadurer.worker.js "$out/"
cp "$root"/platform/host/web/page/* "$out/"
cp "$root/LICENSE" "$out/LICENSE.txt"

# The emblem as the tab's icon and the home screen's; the preview where the link is posted: the
# cube inside the emblem as it zooms away, at twice its size, 1200 x 630 as the sites ask.
"$native/tools/assetmaker" --web-icons "$out"
"$native/tools/frameshot" "$stage/assets" 10700 "$stage/frame.png"
convert "$stage/frame.png" -filter point -resize 200% -crop 1200x630+40+155 +repage -strip "$out/preview.png"
homepage=${VADURER_HOMEPAGE:-$(sed -n 's/^VADURER_HOMEPAGE=//p' "$native/release.env" 2>/dev/null)}
[ -z "$homepage" ] || homepage="${homepage%/}/"
sed -i -e "s|__HOMEPAGE__|$homepage|g" "$out/index.html"
[ -n "$homepage" ] || sed -i -e '/property="og:url"/d' "$out/index.html"

node "$root/scripts/web-release.mjs" "$out" "$(sed -nE 's/^project\(vadurer VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")"
