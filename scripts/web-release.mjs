// Stamps a built page (build/web) with its release: the version and an id drawn from the content
// of every file the page loads, with each file's size. The service worker (service-worker.js) keeps
// the release's files in a cache named by both, and a new release, whose worker differs by its
// stamp, replaces that cache; the page (page.js) counts its loading against the sizes. Then each
// file that compresses is written beside itself as .br and .gz, for hosts that serve those.
// Running it again over a stamped folder (a file changed since) stamps it anew.
//   node scripts/web-release.mjs DIR VERSION
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

const [dir, version] = process.argv.slice(2);
if (!dir || !version) {
  console.error('usage: node scripts/web-release.mjs DIR VERSION');
  process.exit(2);
}

// The line each stamped file holds; the release in it is replaced.
const kStamp = /^( *)const kRelease = .*; \/\/ the release \(scripts\/web-release\.mjs\)$/m;
const stamped = ['page.js', 'service-worker.js'];
// Not loaded by the page: the worker itself (the browser fetches it apart), the preview that only
// the sites where the link is posted fetch, and the icons a browser fetches for its home screen.
const kNotLoaded = new Set(['service-worker.js', 'preview.png', 'release.json', 'icon-180.png', 'icon-192.png', 'icon-512.png']);
const kCompresses = new Set(['.html', '.js', '.css', '.json', '.wasm', '.webmanifest', '.ico', '.svg', '.txt']);

for (const f of fs.readdirSync(dir)) {
  if (/\.(br|gz)$/.test(f)) fs.rmSync(path.join(dir, f));
}
const names = fs.readdirSync(dir).filter((f) => fs.statSync(path.join(dir, f)).isFile()).sort();
for (const f of stamped) {
  if (!names.includes(f) || !kStamp.test(fs.readFileSync(path.join(dir, f), 'utf8'))) {
    console.error(`web-release: ${f} has no release line to stamp`);
    process.exit(1);
  }
}
const unstamped = (f) => {
  const bytes = fs.readFileSync(path.join(dir, f));
  return stamped.includes(f) ? Buffer.from(bytes.toString('utf8').replace(kStamp, '$1const kRelease = null;')) : bytes;
};
const hash = crypto.createHash('sha256');
for (const f of names.filter((n) => n !== 'release.json')) hash.update(`${f}\0`).update(unstamped(f)).update('\0');
// Each file the page loads with its size; a stamped file's is left out (null), since the stamp
// changes it, and the page never counts itself.
const files = {};
for (const f of names.filter((n) => !kNotLoaded.has(n))) files[f] = stamped.includes(f) ? null : fs.statSync(path.join(dir, f)).size;
const release = { version, id: hash.digest('hex').slice(0, 16), files };
const line = `const kRelease = ${JSON.stringify(release)}; // the release (scripts/web-release.mjs)`;
for (const f of stamped) {
  const p = path.join(dir, f);
  fs.writeFileSync(p, fs.readFileSync(p, 'utf8').replace(kStamp, (m, indent) => indent + line));
}
fs.writeFileSync(path.join(dir, 'release.json'), JSON.stringify(release, null, 1) + '\n');

console.log(`${dir}: release ${version} ${release.id}`);
const kb = (n) => `${(n / 1024).toFixed(1).padStart(8)} KB`;
let total = 0, totalGz = 0, totalBr = 0;
for (const f of fs.readdirSync(dir).sort()) {
  const p = path.join(dir, f);
  const bytes = fs.readFileSync(p);
  let gz = bytes.length, br = bytes.length;
  if (kCompresses.has(path.extname(f))) {
    const g = zlib.gzipSync(bytes, { level: 9 });
    const b = zlib.brotliCompressSync(bytes, { params: { [zlib.constants.BROTLI_PARAM_QUALITY]: 11,
      [zlib.constants.BROTLI_PARAM_SIZE_HINT]: bytes.length } });
    fs.writeFileSync(`${p}.gz`, g);
    fs.writeFileSync(`${p}.br`, b);
    gz = g.length; br = b.length;
  }
  if (f in files) { total += bytes.length; totalGz += gz; totalBr += br; }
  console.log(`  ${f.padEnd(20)} ${kb(bytes.length)} ${kb(gz)} gzipped ${kb(br)} brotli${f in files ? '' : '  (not loaded by the page)'}`);
}
console.log(`  ${'what the page loads'.padEnd(20)} ${kb(total)} ${kb(totalGz)} gzipped ${kb(totalBr)} brotli`);
