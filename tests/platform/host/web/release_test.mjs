// scripts/web-release.mjs on a folder of its own: the release stamped into the page and its
// worker, the same id when nothing changed (a second run included), a new one when any file's
// content does, each file's size, the .br and .gz copies that restore to the very bytes, and a
// folder it cannot stamp refused. Prints "web-release: N passed, M failed".
//   node tests/platform/host/web/release_test.mjs OUT_DIR
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';
import { Report } from './common.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../..');
const [outDir] = process.argv.slice(2);
const report = new Report('web-release', outDir, 30000);
const check = report.check.bind(report);
const dir = path.join(outDir, 'page');
const line = 'const kRelease = null; // the release (scripts/web-release.mjs)';
const stampOf = (f) => JSON.parse(/const kRelease = (.*); \/\/ the release/.exec(fs.readFileSync(path.join(dir, f), 'utf8'))[1]);
const stamp = (version = '9.9.9') => spawnSync('node', [path.join(root, 'scripts/web-release.mjs'), dir, version], { encoding: 'utf8' });

fs.rmSync(dir, { recursive: true, force: true });
fs.mkdirSync(dir, { recursive: true });
fs.writeFileSync(path.join(dir, 'page.js'), `'use strict';\n(() => {\n  ${line}\n})();\n`);
fs.writeFileSync(path.join(dir, 'service-worker.js'), `${line}\nself.addEventListener('fetch', () => {});\n`);
fs.writeFileSync(path.join(dir, 'index.html'), '<!doctype html><title>x</title>' + 'words '.repeat(500));
fs.writeFileSync(path.join(dir, 'pictures.lzma'), Buffer.alloc(3000, 7));
fs.writeFileSync(path.join(dir, 'preview.png'), Buffer.alloc(100, 1));

let r = stamp();
check(r.status === 0, 'a page is stamped', r.stderr.trim());
const first = stampOf('page.js');
check(JSON.stringify(first) === JSON.stringify(stampOf('service-worker.js')) && first.version === '9.9.9' && /^[0-9a-f]{16}$/.test(first.id),
  'the page and its worker carry the same release: the version and an id', JSON.stringify(first));
check(first.files['pictures.lzma'] === 3000 && first.files['index.html'] > 0 && first.files['page.js'] === null &&
  !('preview.png' in first.files) && !('service-worker.js' in first.files),
'the release names what the page loads with its size (not the page itself, the worker or the preview)', JSON.stringify(first.files));
const html = fs.readFileSync(path.join(dir, 'index.html'));
check(zlib.gunzipSync(fs.readFileSync(path.join(dir, 'index.html.gz'))).equals(html) &&
  zlib.brotliDecompressSync(fs.readFileSync(path.join(dir, 'index.html.br'))).equals(html) &&
  !fs.existsSync(path.join(dir, 'pictures.lzma.gz')),
'what compresses lies beside itself as .gz and .br, the same bytes once restored; what does not is left alone');

r = stamp();
check(r.status === 0 && stampOf('page.js').id === first.id, 'stamped again with nothing changed, the same id', stampOf('page.js').id);
fs.appendFileSync(path.join(dir, 'index.html'), 'more');
stamp();
const second = stampOf('service-worker.js');
check(second.id !== first.id && stampOf('page.js').id === second.id, 'a file changed, a new id in both', `${first.id} → ${second.id}`);
fs.writeFileSync(path.join(dir, 'page.js'), fs.readFileSync(path.join(dir, 'page.js'), 'utf8') + '// a change of the page\n');
stamp();
check(stampOf('page.js').id !== second.id, 'the page\'s own code changed, a new id too');

fs.writeFileSync(path.join(dir, 'service-worker.js'), 'no release line here\n');
r = stamp();
check(r.status !== 0 && /service-worker\.js has no release line/.test(r.stderr), 'a worker without its release line is refused', r.stderr.trim());
report.finish();
