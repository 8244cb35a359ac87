// Serves a built page (build/web) on 127.0.0.1 with the two headers that give the page shared
// memory, and so threads (cross-origin isolation). A file that has its brotli or gzip copy beside
// it (scripts/web-release.mjs writes them) goes as that, where the browser takes it; each answer
// carries its validator, so that a browser that has the file already gets a 304.
//   node scripts/serve.mjs DIR [PORT]     PORT 0: any free port; the address is printed
// With VADURER_SERVE_LOG set, one line a response: "served PATH STATUS BYTES" (the bytes sent).
const log = !!process.env.VADURER_SERVE_LOG;
import crypto from 'node:crypto';
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const dir = path.resolve(process.argv[2] || 'build/web');
const port = Number(process.argv[3] ?? 8015);
const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.json': 'application/json', '.wasm': 'application/wasm', '.opus': 'audio/ogg',
  '.lzma': 'application/octet-stream', '.png': 'image/png', '.ico': 'image/vnd.microsoft.icon',
  '.webmanifest': 'application/manifest+json',
};
const kCodings = [['br', '.br'], ['gzip', '.gz']];

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
    if (err || !st.isFile()) {
      res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
      if (log) console.log(`served ${url.pathname} 404 0`);
      return;
    }
    const accepted = req.headers['accept-encoding'] || '';
    const [coding, suffix] = kCodings.find(([c, s]) => new RegExp(`\\b${c}\\b`).test(accepted) && fs.existsSync(file + s)) || [];
    const body = fs.readFileSync(coding ? file + suffix : file);
    const etag = `"${crypto.createHash('sha1').update(body).digest('base64url')}"`;
    const headers = {
      'Content-Type': types[path.extname(file)] || 'application/octet-stream',
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cross-Origin-Resource-Policy': 'same-origin',
      'Cache-Control': 'no-cache',
      'ETag': etag,
      'Vary': 'Accept-Encoding',
    };
    const sent = (status, bytes) => log && console.log(`served ${url.pathname} ${status} ${bytes}`);
    if (req.headers['if-none-match'] === etag) { res.writeHead(304, headers).end(); sent(304, 0); return; }
    if (coding) headers['Content-Encoding'] = coding;
    headers['Content-Length'] = body.length;
    res.writeHead(200, headers);
    res.end(req.method === 'HEAD' ? undefined : body);
    sent(200, req.method === 'HEAD' ? 0 : body.length);
  });
});
server.listen(port, '127.0.0.1', () => {
  console.log(`serving ${dir} at http://127.0.0.1:${server.address().port}/`);
});
