// Plays the built page (build/web) in headless Chromium through the DevTools protocol, served one
// of two ways: by scripts/serve.mjs with the isolation headers (make serve), or, with --plain, by a
// plain static server that sends none (as most hosting does), where the page's own service worker
// isolates it. Each way it clicks start, looks at the production at 9 s and 12 s, listens for its
// audio, hides and shows the tab (once with the browser stopping the hidden tab's sound), pauses
// (P, Pause) with a screenshot (F12) between, takes the page fullscreen while paused and ends the
// run with Escape there. With the headers it then spoils a picture
// and plays again; plain, it opens the page from the disk, loads it where the worker cannot help,
// and closes the tab mid-run. Prints one "web: N passed, M failed" line (web-plain: plain).
//   node --experimental-websocket tests/platform/host/web/page_test.mjs WEB_DIR ASSET_DIR OUT_DIR [--plain]
// (ASSET_DIR: the asset maker's pictures, for the background and its palette; VADURER_PAGE_SERVER:
// another server script taking the same DIR and PORT and printing the same line, in place of
// scripts/serve.mjs)
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const args = process.argv.slice(2);
const plain = args.includes('--plain');
const [webDir, assetDir, outDir] = args.filter((a) => a !== '--plain');
const label = plain ? 'web-plain' : 'web';
fs.mkdirSync(outDir, { recursive: true });
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const children = [];
const lines = [];  // the page's console, written out however the test ends
let passed = 0, failed = 0;
function check(ok, what, detail = '') {
  if (ok) ++passed; else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${detail ? ': ' + detail : ''}`);
}
function finish(code) {
  for (const c of children) c.kill('SIGKILL');
  fs.writeFileSync(path.join(outDir, 'console.log'), lines.join('\n') + '\n');
  console.log(`${label}: ${passed} passed, ${failed} failed`);
  process.exit(code ?? (failed ? 1 : 0));
}
setTimeout(() => { console.log('the page test took over 150 s'); ++failed; finish(1); }, 150000).unref();

function startProcess(cmd, args, waitFor) {
  const p = spawn(cmd, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  children.push(p);
  let text = '';
  return new Promise((resolve, reject) => {
    const onData = (d) => {
      text += d;
      const m = waitFor.exec(text);
      if (m) resolve(m);
    };
    p.stdout.on('data', onData);
    p.stderr.on('data', onData);
    p.on('exit', (code) => reject(new Error(`${cmd} exited (${code}): ${text.slice(-500)}`)));
  });
}

// The browser's DevTools connection, and one page in it (a flat session).
class Browser {
  constructor(ws) {
    this.ws = ws; this.id = 0; this.pending = new Map(); this.listeners = [];
    ws.onmessage = (e) => {
      const msg = JSON.parse(e.data);
      if (msg.id && this.pending.has(msg.id)) {
        const { resolve, reject } = this.pending.get(msg.id);
        this.pending.delete(msg.id);
        if (msg.error) reject(new Error(JSON.stringify(msg.error))); else resolve(msg.result);
      } else if (msg.method) {
        for (const l of this.listeners) l(msg);
      }
    };
  }
  send(method, params = {}, sessionId = undefined) {
    const id = ++this.id;
    this.ws.send(JSON.stringify({ id, method, params, sessionId }));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }
}
class Page {
  constructor(browser, targetId, sessionId) { this.browser = browser; this.targetId = targetId; this.sessionId = sessionId; }
  send(method, params = {}) { return this.browser.send(method, params, this.sessionId); }
  async eval(expr) {
    const r = await this.send('Runtime.evaluate', { expression: expr, returnByValue: true, awaitPromise: true });
    if (r.exceptionDetails) throw new Error(`${expr}: ${JSON.stringify(r.exceptionDetails)}`);
    return r.result.value;
  }
  stats() { return this.eval('vadurerStats()'); }
  async click(x, y) {
    await this.send('Input.dispatchMouseEvent', { type: 'mousePressed', x, y, button: 'left', clickCount: 1 });
    await this.send('Input.dispatchMouseEvent', { type: 'mouseReleased', x, y, button: 'left', clickCount: 1 });
  }
  async key(code, key, vk) {
    await this.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key, code, windowsVirtualKeyCode: vk });
    await this.send('Input.dispatchKeyEvent', { type: 'keyUp', key, code, windowsVirtualKeyCode: vk });
  }
  async shot(name) {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(path.join(outDir, name), Buffer.from(data, 'base64'));
  }
  async centreOf(id) {
    return this.eval(`(() => { const r = document.getElementById('${id}').getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; })()`);
  }
}

async function until(what, fn, timeoutMs) {
  const t0 = Date.now();
  for (;;) {
    const v = await fn().catch(() => null);
    if (v) return v;
    if (Date.now() - t0 > timeoutMs) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}
const untilEnded = (p, what, ms) => until(what, async () => {
  const v = await p.stats();
  return v.state !== 'running' ? v : null;
}, ms).catch((e) => ({ state: e.message }));
const ready = (p) => until('the start screen', () => p.eval(`window.vadurerStats && vadurerStats().state === 'ready'`), 30000);

// What the canvas shows now, against the background picture (installed in the page beforehand, so
// that a look costs the page a few milliseconds, not a frame): how many pixels differ from it, and
// their colours.
const installBackground = (b) => `window.testBackground = {
  palette: ${JSON.stringify(b.palette)},
  pixels: Uint8Array.from(atob('${Buffer.from(b.pixels).toString('base64')}'), (c) => c.charCodeAt(0)) }; true`;
const kLook = `(() => {
  const c = document.getElementById('screen'), { palette, pixels } = window.testBackground;
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  const near = ${near.toString()};
  const counts = new Map();
  let n = 0;
  for (let i = 0; i < pixels.length; ++i) {
    const rgb = (d[4 * i] << 16) | (d[4 * i + 1] << 8) | d[4 * i + 2];
    if (near(rgb, palette[pixels[i]])) continue;
    counts.set(rgb, (counts.get(rgb) || 0) + 1);
    ++n;
  }
  return { width: c.width, height: c.height, n, counts: [...counts] };
})()`;

// An 8-bit BMP: its palette (0xRRGGBB) and its pixel indices, rows top to bottom.
function readBmp(file) {
  const b = fs.readFileSync(file);
  const offset = b.readUInt32LE(10), dib = b.readUInt32LE(14), w = b.readInt32LE(18), h = b.readInt32LE(22);
  if (b.readUInt16LE(28) !== 8) throw new Error(`${file}: not 8 bits per pixel`);
  const nColours = b.readUInt32LE(46) || 256;
  const palette = [];
  for (let i = 0; i < nColours; ++i) {
    const p = 14 + dib + 4 * i;
    palette.push((b[p + 2] << 16) | (b[p + 1] << 8) | b[p]);
  }
  const stride = (w + 3) & ~3, rows = Math.abs(h), pixels = new Uint8Array(w * rows);
  for (let y = 0; y < rows; ++y) {
    const src = offset + (h > 0 ? rows - 1 - y : y) * stride;
    pixels.set(b.subarray(src, src + w), y * w);
  }
  return { w, h: rows, palette, pixels };
}

// The fade in ends a hair short of the full palette (a channel of 255 shows as 254): colours
// are compared with that much room.
function near(a, b) {
  return Math.abs((a >> 16) - (b >> 16)) <= 2 && Math.abs(((a >> 8) & 255) - ((b >> 8) & 255)) <= 2 &&
    Math.abs((a & 255) - (b & 255)) <= 2;
}

// The cube at 9 s and the mask over it at 12 s, in the background picture's palette (fully faded
// in by 7 s): the cube is filled with its entries 119 to 127, the mask with entry 63.
function checkPictures(looks, background) {
  const cube = new Set(background.palette.slice(119, 128)), mask = background.palette[63];
  const hex = (c) => c.toString(16).padStart(6, '0');
  const describe = (d) => [...d.counts].sort((a, b) => b[1] - a[1]).slice(0, 5).map(([c, k]) => `${hex(c)}×${k}`).join(' ');
  const count = (d, set) => [...d.counts].filter(([c]) => [...set].some((e) => near(c, e))).reduce((a, [, k]) => a + k, 0);
  const drawn = (look) => ({ n: look.n, counts: new Map(look.counts) });
  const at9 = drawn(looks[9000]), at12 = drawn(looks[12000]);
  console.log(`drawn over the background at 9 s: ${at9.n} pixels, ${describe(at9)}`);
  console.log(`drawn over the background at 12 s: ${at12.n} pixels, ${describe(at12)}`);
  check(looks[9000].width === 640 && looks[9000].height === 480, 'the canvas holds the 640 × 480 image');
  const cube9 = count(at9, cube);
  check(cube9 > 3000 && cube9 >= 0.98 * at9.n && count(at9, new Set([mask])) === 0,
    'at 9 s the cube turns over the background in its own colours, no mask yet', `${cube9} of ${at9.n} pixels`);
  const mask12 = count(at12, new Set([mask])), cube12 = count(at12, cube);
  check(mask12 > 2000 && cube12 > 1000 && mask12 + cube12 >= 0.98 * at12.n,
    'at 12 s the mask is over the cube in its colour', `${mask12} mask and ${cube12} cube pixels of ${at12.n}`);
}

// Frames handed to the browser over scene 1, from 7.5 s after the first (the opening fade) to 13.5 s.
function pacingFigures(handedAt) {
  const first = handedAt[0];
  const inScene = handedAt.filter((t) => t >= first + 7500 && t < first + 13500);
  const gaps = inScene.slice(1).map((t, i) => t - inScene[i]).sort((x, y) => x - y);
  const fps = inScene.length > 1 ? (inScene.length - 1) * 1000 / (inScene[inScene.length - 1] - inScene[0]) : 0;
  const median = gaps.length ? gaps[gaps.length >> 1] : 0, longest = gaps.length ? gaps[gaps.length - 1] : 0;
  const over25 = 100 * gaps.filter((g) => g > 25).length / Math.max(1, gaps.length);
  return { frames: inScene.length, fps, median, longest, over25 };
}

// Picture and sound: the production's clock when the frame on the screen was made, against the
// sound the output has played, both since the sound began.
async function inStep(p, what) {
  const v = await p.stats();
  check(v.state === 'running' && Math.abs(v.pictureLeadsMs) < 100, `${what}: the picture shown and the sound heard agree within 100 ms`,
    `${v.state}, the picture ${v.pictureLeadsMs.toFixed(1)} ms ahead; ${v.audioStarved} short quanta (${v.audioMissed} frames), ` +
    `${v.audioSkipped} frames skipped`);
  return v;
}

// The tab hidden behind another for a while and brought back; with suspend, the browser also
// stops the hidden tab's sound meanwhile (as some do), and the page starts it again as it shows.
async function hideAndShow(p, ms, suspend) {
  const before = await p.stats();
  const other = await p.browser.send('Target.createTarget', { url: 'about:blank' });
  const hidden = await p.eval('document.visibilityState');
  if (suspend) await p.eval('window.audioContextsSeen.at(-1).suspend()');
  await sleep(ms);
  const during = await p.stats();
  await p.browser.send('Target.activateTarget', { targetId: p.targetId });
  await p.browser.send('Target.closeTarget', { targetId: other.targetId });
  await sleep(suspend ? 1000 : 500);
  return { hidden, before, during, shown: await p.eval('document.visibilityState') };
}

async function play(p) {
  await ready(p);
  check(await p.eval('window.crossOriginIsolated'), 'the page is cross-origin isolated');
  const background = readBmp(path.join(assetDir, '3Z-ER-AVE.bmp'));
  await p.eval(installBackground(background));
  await p.shot('start.png');
  await p.click(640, 512);
  const clickAt = Date.now();
  await until('the first frame', async () => (await p.stats()).frames > 0, 10000);

  const looks = {};
  for (const at of [9000, 12000]) {
    await sleep(Math.max(0, clickAt + at - Date.now()));
    looks[at] = await p.eval(kLook);
    await p.shot(`at-${at / 1000}s.png`);
  }
  checkPictures(looks, background);
  const mid = await p.stats();
  check(mid.state === 'running', 'the production is running at 12 s', mid.state);
  check(mid.audioState === 'running' && mid.audioRate === 44100, 'the audio context runs at 44100 Hz', `${mid.audioState}, ${mid.audioRate} Hz`);
  check(mid.audioRead > 44100 * 5 && mid.audioPeak > 1000, 'the mixer has produced audio that was played',
    `${mid.audioWritten} frames mixed, ${mid.audioRead} played, peak ${mid.audioPeak}`);

  // Past scene 1's frames, which the pacing figures take.
  await sleep(Math.max(0, clickAt + 14000 - Date.now()));
  await inStep(p, 'before the tab is hidden');
  const quiet = await hideAndShow(p, 2000, false);
  check(quiet.hidden === 'hidden' && quiet.shown === 'visible', 'the tab was hidden and shown again', `${quiet.hidden}, then ${quiet.shown}`);
  await inStep(p, 'the tab shown again');
  const stopped = await hideAndShow(p, 2000, true);
  const after = await inStep(p, 'shown again after the browser stopped its sound');
  const skipped = after.audioSkipped - stopped.before.audioSkipped;
  check(after.audioState === 'running' && skipped > 1.5 * 44100,
    'the sound the browser stopped for 2 s goes on where the clock is, what it held dropped as stale',
    `${after.audioState}, ${(skipped / 44.1).toFixed(0)} ms skipped`);

  // The viewer's keys: P pauses (no frame, the mark shows), F12 saves the canvas, P goes on with
  // picture and sound still in step; then Pause pauses again, and Escape still ends the run.
  await p.key('KeyP', 'p', 80);
  await sleep(300);
  const pausedAt = await p.stats();
  await p.key('F12', 'F12', 123);
  await sleep(700);
  const stillPaused = await p.stats();
  check(pausedAt.paused && stillPaused.frames === pausedAt.frames && await p.eval(`!document.getElementById('paused').hidden`),
    'P pauses: no frame while paused, the mark shows', `${pausedAt.frames} then ${stillPaused.frames} frames`);
  const shots = stillPaused.screenshots;
  check(shots.length === 1 && /^vadurer-\d{4}-\d\d-\d\d-\d{6}\.png$/.test(shots[0].name) && shots[0].bytes > 1000,
    'F12 saves the frame as a PNG named by the time', JSON.stringify(shots));
  await p.key('KeyP', 'p', 80);
  await sleep(500);
  const resumed = await inStep(p, 'after a pause');
  check(!resumed.paused && resumed.frames > stillPaused.frames, 'P again goes on', `${resumed.frames} frames`);
  await p.key('Pause', 'Pause', 19);
  await sleep(200);
  check((await p.stats()).paused, 'Pause pauses too');

  await p.key('KeyF', 'f', 70);
  // Measured once the window has taken the screen's size and the resize has fitted the canvas.
  const fit = await until('fullscreen', () => p.eval('!!document.fullscreenElement && innerWidth === screen.width'), 5000)
    .then(() => sleep(300))
    .then(() => p.eval(`(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return { W: innerWidth, H: innerHeight, x: r.left, y: r.top, w: r.width, h: r.height };
    })()`))
    .catch((e) => ({ error: e.message }));
  await p.shot('fullscreen.png');
  const k = Math.floor(Math.min(fit.W / 640, fit.H / 480));
  check(k >= 1 && fit.w === 640 * k && fit.h === 480 * k && fit.x === Math.floor((fit.W - fit.w) / 2) &&
    fit.y === Math.floor((fit.H - fit.h) / 2), 'F takes the page fullscreen, the picture at the largest whole factor, centred',
    fit.error || `${fit.w} × ${fit.h} at ${fit.x}, ${fit.y} on ${fit.W} × ${fit.H}`);

  await p.key('Escape', 'Escape', 27);
  const end = await untilEnded(p, 'the end screen', 10000);
  check(end.state === 'ended' && end.exitCode === 27, 'Escape in fullscreen, while paused, ends the run with its key code', `${end.state}, ${end.exitCode}`);
  if (end.state !== 'ended') return;
  check(await p.eval(`!document.getElementById('end').hidden && !!document.getElementById('again')`), 'the end screen offers to play again');
  await p.shot('end.png');
  await p.eval('document.fullscreenElement && document.exitFullscreen()');
  fs.writeFileSync(path.join(outDir, 'frame-times.json'), JSON.stringify(end.handedAt));
  const f = pacingFigures(end.handedAt);
  console.log(`figures: ${f.fps.toFixed(2)} frames/s over scene 1 (${f.frames} frames), median interval ${f.median.toFixed(2)} ms, ` +
    `${f.over25.toFixed(2)} % over 25 ms, longest ${f.longest.toFixed(1)} ms; first frame ${end.firstFrameMs.toFixed(0)} ms after the click, ` +
    `${(end.workMs / end.frames).toFixed(2)} ms of work a frame over ${end.frames} frames; ` +
    `handing the page its turn: ${(1000 * end.unwindMs / end.frames).toFixed(0)} µs to unwind, ` +
    `${(1000 * end.rewindMs / Math.max(1, end.waits)).toFixed(0)} µs to rewind, a frame`);
  // The aim is at most 1 % over 25 ms, which a quiet machine meets (the figures line says); the
  // test allows 3 %, since the browser shares this machine's two cores with the test, and a
  // schedule kept by a timer that drifts against the display misses more than that.
  check(Math.abs(f.median - 1000 / 60) <= 0.3 && f.over25 <= 3,
    'scene 1 is handed to the browser at the display\'s refreshes: median interval 16.7 ms, at most 3 % over 25 ms',
    `${f.median.toFixed(2)} ms, ${f.over25.toFixed(2)} %`);
}

// A second load whose packaged mask picture arrives spoilt: the production names it in a message
// box (the page's dialog) before it starts, and Cancel stops the run in order. Then played again
// and ended by a left click on the picture.
async function missingPicture(p, url) {
  const packager = await (await fetch(new URL('vadurer.js', url))).text();
  const m = /"filename":"\/SS\.bmp","start":(\d+)/.exec(packager);
  if (!m) { check(false, 'the mask picture is in the package'); return; }
  const data = Buffer.from(await (await fetch(new URL('vadurer.data', url))).arrayBuffer());
  data.writeUInt16LE(24, Number(m[1]) + 28);  // a picture of 24 bits per pixel now
  await p.send('Fetch.enable', { patterns: [{ urlPattern: '*vadurer.data' }] });
  const spoil = (msg) => {
    if (msg.method !== 'Fetch.requestPaused' || msg.sessionId !== p.sessionId) return;
    p.send('Fetch.fulfillRequest', {
      requestId: msg.params.requestId, responseCode: 200, body: data.toString('base64'),
      responseHeaders: [
        { name: 'Content-Type', value: 'application/octet-stream' },
        { name: 'Cross-Origin-Resource-Policy', value: 'same-origin' },
      ],
    });
  };
  p.browser.listeners.push(spoil);
  await p.send('Page.navigate', { url });
  await ready(p);
  await p.send('Fetch.disable');
  p.browser.listeners.splice(p.browser.listeners.indexOf(spoil), 1);
  await p.click(640, 512);
  const shown = await until('the message box', () => p.eval(`(() => {
    if (document.getElementById('dialog').hidden) return null;
    const b = [...document.querySelectorAll('#dialog-buttons button')];
    const cancel = b.find((e) => e.textContent === 'Cancel');
    const r = cancel && cancel.getBoundingClientRect();
    return { text: document.getElementById('dialog-text').textContent, buttons: b.map((e) => e.textContent),
      x: r && r.left + r.width / 2, y: r && r.top + r.height / 2 };
  })()`), 10000).catch((e) => { check(false, 'a missing picture is named in a message box', e.message); return null; });
  if (!shown) return;
  await p.shot('missing-picture.png');
  check(/"SS\.bmp"/.test(shown.text) && shown.buttons.join() === 'OK,Cancel',
    'a missing picture is named in the page\'s message box with OK and Cancel', shown.text.split('\n').filter(Boolean).slice(0, 2).join(' / '));
  const framesBefore = (await p.stats()).frames;
  await p.click(shown.x, shown.y);
  const end = await untilEnded(p, 'the end after Cancel', 15000);
  check(end.state === 'ended' && !(end.frames > framesBefore + 30),
    'Cancel stops the run before the production plays', `${end.state}, ${end.frames} frames, exit code ${end.exitCode}`);
  if (end.state !== 'ended') return;

  const replay = await playAgain(p);
  if (replay.state !== 'running') return;
  await p.click(640, 440);
  const clicked = await untilEnded(p, 'the end after a left click', 10000);
  check(clicked.state === 'ended', 'a left click on the picture ends the run', `${clicked.state}, exit code ${clicked.exitCode}`);
}

// Play it again (the visitor has clicked already, so it starts at once).
async function playAgain(p) {
  const again = await p.centreOf('again');
  await p.click(again.x, again.y);
  const replay = await until('the production played again', async () => {
    const v = await p.eval('window.vadurerStats && vadurerStats()');
    return v && v.state === 'running' && v.frames > 60 ? v : null;
  }, 30000).catch((e) => ({ state: e.message }));
  check(replay.state === 'running', 'play it again starts the production anew', replay.state);
  return replay;
}

// Opened from the disk, the page says how to serve it instead of loading for ever.
async function fromFiles(p) {
  await p.send('Page.navigate', { url: 'file://' + path.resolve(webDir, 'index.html') });
  const v = await until('the page\'s word from the disk', () => p.eval(`window.vadurerStats && vadurerStats().state === 'unisolated' &&
    document.getElementById('cover-text').textContent`), 10000).catch((e) => e.message);
  check(/make serve/.test(v), 'opened from the disk, the page names make serve', v);
  await p.shot('from-files.png');
}

// Where the worker's answers do not reach the page (here the browser is told to pass it by), the
// page loads itself once more at most and then says what the host must send.
async function noLoop(p, url, navigations) {
  await p.send('Network.enable');
  await p.send('Network.setBypassServiceWorker', { bypass: true });
  const before = navigations.length;
  await p.send('Page.navigate', { url });
  const v = await until('the page\'s word on isolation', () => p.eval(`window.vadurerStats && vadurerStats().state === 'unisolated' &&
    document.getElementById('cover-text').textContent`), 15000).catch((e) => e.message);
  await sleep(1500);
  const loads = navigations.length - before;
  check(loads === 2 && /Cross-Origin-Opener-Policy: same-origin/.test(v) && /Cross-Origin-Embedder-Policy: require-corp/.test(v),
    'where the worker cannot isolate it, the page loads once more and then names the headers the host must send',
    `${loads} loads; ${v}`);
  await p.send('Network.setBypassServiceWorker', { bypass: false });
  await p.send('Network.disable');
}

// Closed mid-run, the tab takes the production with it and leaves no error.
async function closeMidRun(p, url, errors) {
  await p.send('Page.navigate', { url });
  await ready(p);
  await p.click(640, 512);
  const running = await until('the production running', async () => (await p.stats()).frames > 60, 10000).catch(() => false);
  if (!running) { check(false, 'the production runs again before the tab is closed'); return; }
  const before = errors.length;
  const gone = new Promise((resolve) => p.browser.listeners.push((m) => {
    if (m.method === 'Target.targetDestroyed' && m.params.targetId === p.targetId) resolve(true);
  }));
  await p.browser.send('Target.closeTarget', { targetId: p.targetId });
  const closed = await Promise.race([gone, sleep(5000).then(() => false)]);
  await sleep(500);
  check(closed && errors.length === before, 'a tab closed mid-run leaves no error', `${closed ? 'closed' : 'still open'}; ${errors.slice(before).join(' | ')}`);
}

async function serve() {
  if (!plain) {
    const server = process.env.VADURER_PAGE_SERVER || 'scripts/serve.mjs';
    const [, url] = await startProcess('node', [server, webDir, '0'], /serving .* at (http:\S+)/);
    return url;
  }
  const [, port] = await startProcess('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', webDir],
    /Serving HTTP on \S+ port (\d+)/);
  const url = `http://127.0.0.1:${port}/`;
  const head = await fetch(url, { method: 'HEAD' });
  check(!head.headers.has('cross-origin-opener-policy') && !head.headers.has('cross-origin-embedder-policy'),
    'the plain server sends no isolation headers');
  return url;
}

async function main() {
  const t0 = Date.now();
  const url = await serve();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vadurer-chromium-'));
  const [, wsUrl] = await startProcess('chromium', [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--autoplay-policy=no-user-gesture-required', '--window-size=1280,1024', '--screen-info={1600x1200}',
    `--user-data-dir=${profile}`, '--remote-debugging-port=0', 'about:blank',
  ], /DevTools listening on (ws:\S+)/);
  const ws = new WebSocket(wsUrl);
  await new Promise((r, j) => { ws.onopen = r; ws.onerror = j; });
  const browser = new Browser(ws);
  await browser.send('Target.setDiscoverTargets', { discover: true });
  const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
  const p = new Page(browser, targetId, sessionId);
  const errors = [], navigations = [];
  browser.listeners.push((m) => {
    if (m.sessionId !== sessionId) return;
    if (m.method === 'Runtime.exceptionThrown') errors.push(JSON.stringify(m.params.exceptionDetails).slice(0, 400));
    if (m.method === 'Runtime.consoleAPICalled') {
      const text = m.params.args.map((a) => a.value ?? a.description ?? '').join(' ');
      lines.push(`[${m.params.type}] ${text}`);
      if (m.params.type === 'error') errors.push(text);
    }
    if (m.method === 'Page.frameNavigated' && !m.params.frame.parentId) navigations.push(m.params.frame.url);
  });
  await p.send('Runtime.enable');
  await p.send('Page.enable');
  // The audio contexts the page makes, so that the test can stop one's sound as a browser may.
  await p.send('Page.addScriptToEvaluateOnNewDocument', { source: `window.audioContextsSeen = [];
    window.AudioContext = new Proxy(window.AudioContext, {
      construct(Target, args) { const c = new Target(...args); window.audioContextsSeen.push(c); return c; } });` });

  if (plain) await fromFiles(p);
  const loadsBefore = navigations.length;
  await p.send('Page.navigate', { url });
  await ready(p);
  const loads = navigations.length - loadsBefore;
  const workers = await p.eval('navigator.serviceWorker.getRegistrations().then((r) => r.length)');
  if (plain)
    check(loads === 2 && workers === 1, 'without the headers the page isolates itself through its service worker, loading once more', `${loads} loads`);
  else
    check(loads === 1 && workers === 0, 'with the headers the page loads once, without a service worker', `${loads} loads, ${workers} workers`);
  await play(p);
  if (plain) await noLoop(p, url, navigations);
  else await missingPicture(p, url);
  check(errors.length === 0, 'no uncaught exception and no error on the console', errors.join('\n'));
  if (plain) await closeMidRun(p, url, errors);
  console.log(`(${((Date.now() - t0) / 1000).toFixed(0)} s; screenshots and the console in ${outDir})`);
  ws.close();
}

main().then(() => finish(), (e) => { console.log(`FAIL ${e.message}`); ++failed; finish(1); });
