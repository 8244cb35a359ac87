// Serves a built page (build/web) on 127.0.0.1 with the two headers that give the page shared
// memory, and so threads (cross-origin isolation), gzipping what compresses.
//   node scripts/serve.mjs DIR [PORT]     PORT 0: any free port; the address is printed
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

const dir = path.resolve(process.argv[2] || 'build/web');
const port = Number(process.argv[3] ?? 8015);
const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.json': 'application/json', '.wasm': 'application/wasm', '.data': 'application/octet-stream',
  '.opus': 'audio/ogg',
};
const compressible = new Set(['.html', '.js', '.css', '.json', '.wasm', '.data']);
const gzipped = new Map();  // path -> { mtimeMs, body }

if (!fs.existsSync(path.join(dir, 'index.html'))) {
  console.error(`serve: no index.html in ${dir}; build it first (make web)`);
  process.exit(1);
}

const server = http.createServer((req, res) => {
  const url = new URL(req.url, 'http://localhost');
  let file = path.join(dir, decodeURIComponent(url.pathname));
  if (file !== dir && !file.startsWith(dir + path.sep)) { res.writeHead(403).end(); return; }
  if (url.pathname.endsWith('/')) file = path.join(file, 'index.html');
  fs.stat(file, (err, st) => {
    if (err || !st.isFile()) { res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n'); return; }
    const ext = path.extname(file);
    const headers = {
      'Content-Type': types[ext] || 'application/octet-stream',
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cross-Origin-Resource-Policy': 'same-origin',
      'Cache-Control': 'no-cache',
    };
    let body = fs.readFileSync(file);
    if (compressible.has(ext) && /\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
      let g = gzipped.get(file);
      if (!g || g.mtimeMs !== st.mtimeMs) gzipped.set(file, g = { mtimeMs: st.mtimeMs, body: zlib.gzipSync(body) });
      body = g.body;
      headers['Content-Encoding'] = 'gzip';
    }
    headers['Content-Length'] = body.length;
    res.writeHead(200, headers);
    res.end(req.method === 'HEAD' ? undefined : body);
  });
});
server.listen(port, '127.0.0.1', () => {
  console.log(`serving ${dir} at http://127.0.0.1:${server.address().port}/`);
});
