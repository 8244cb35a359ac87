// Plays the built page (build/web) in headless Chromium through the DevTools protocol: serves it
// with the isolation headers, clicks start, looks at the production at 9 s and 12 s, listens for
// its audio, pauses (P, Pause) with a screenshot (F12) between, presses Escape while paused and
// checks the end screen. Prints one "web: N passed, M failed" line.
//   node --experimental-websocket tests/platform/host/web/page_test.mjs WEB_DIR ASSET_DIR OUT_DIR
// (ASSET_DIR: the asset maker's pictures, for the background and its palette)
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const [webDir, assetDir, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, { recursive: true });
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const children = [];
let passed = 0, failed = 0;
function check(ok, what, detail = '') {
  if (ok) ++passed; else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${detail ? ': ' + detail : ''}`);
}
function finish(code) {
  for (const c of children) c.kill('SIGKILL');
  console.log(`web: ${passed} passed, ${failed} failed`);
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

// One DevTools session over the page target.
class Session {
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
  send(method, params = {}) {
    const id = ++this.id;
    this.ws.send(JSON.stringify({ id, method, params }));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }
  async eval(expr) {
    const r = await this.send('Runtime.evaluate', { expression: expr, returnByValue: true, awaitPromise: true });
    if (r.exceptionDetails) throw new Error(`${expr}: ${JSON.stringify(r.exceptionDetails)}`);
    return r.result.value;
  }
}

async function until(what, fn, timeoutMs) {
  const t0 = Date.now();
  for (;;) {
    const v = await fn();
    if (v) return v;
    if (Date.now() - t0 > timeoutMs) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}

// What the canvas shows now, as RGBA bytes.
const kCanvasBytes = `(() => {
  const c = document.getElementById('screen');
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let s = '';
  for (let i = 0; i < d.length; i += 32768) s += String.fromCharCode.apply(null, d.subarray(i, i + 32768));
  return { width: c.width, height: c.height, rgba: btoa(s) };
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

// The pixels that differ from the background picture, by colour.
function drawnOver(look, background) {
  const rgba = Buffer.from(look.rgba, 'base64'), counts = new Map();
  let n = 0;
  for (let i = 0; i < background.w * background.h; ++i) {
    const c = (rgba[4 * i] << 16) | (rgba[4 * i + 1] << 8) | rgba[4 * i + 2];
    if (near(c, background.palette[background.pixels[i]])) continue;
    counts.set(c, (counts.get(c) || 0) + 1);
    ++n;
  }
  return { n, counts };
}

// A second load whose packaged mask picture arrives spoilt: the production names it in a message
// box (the page's dialog) before it starts, and Cancel stops the run in order.
async function missingPicture(s, url, shot) {
  const packager = await (await fetch(new URL('vadurer.js', url))).text();
  const m = /"filename":"\/SS\.bmp","start":(\d+)/.exec(packager);
  if (!m) { check(false, 'the mask picture is in the package'); return; }
  const data = Buffer.from(await (await fetch(new URL('vadurer.data', url))).arrayBuffer());
  data.writeUInt16LE(24, Number(m[1]) + 28);  // a picture of 24 bits per pixel now
  await s.send('Fetch.enable', { patterns: [{ urlPattern: '*vadurer.data' }] });
  const spoil = (msg) => {
    if (msg.method !== 'Fetch.requestPaused') return;
    s.send('Fetch.fulfillRequest', {
      requestId: msg.params.requestId, responseCode: 200, body: data.toString('base64'),
      responseHeaders: [
        { name: 'Content-Type', value: 'application/octet-stream' },
        { name: 'Cross-Origin-Resource-Policy', value: 'same-origin' },
      ],
    });
  };
  s.listeners.push(spoil);
  await s.send('Page.navigate', { url });
  await until('the start screen again', () => s.eval(`window.vadurerStats && vadurerStats().state === 'ready'`), 30000);
  await s.send('Fetch.disable');
  s.listeners.splice(s.listeners.indexOf(spoil), 1);
  const click = async (x, y) => {
    await s.send('Input.dispatchMouseEvent', { type: 'mousePressed', x, y, button: 'left', clickCount: 1 });
    await s.send('Input.dispatchMouseEvent', { type: 'mouseReleased', x, y, button: 'left', clickCount: 1 });
  };
  await click(640, 512);
  const shown = await until('the message box', () => s.eval(`(() => {
    if (document.getElementById('dialog').hidden) return null;
    const b = [...document.querySelectorAll('#dialog-buttons button')];
    const cancel = b.find((e) => e.textContent === 'Cancel');
    const r = cancel && cancel.getBoundingClientRect();
    return { text: document.getElementById('dialog-text').textContent, buttons: b.map((e) => e.textContent),
      x: r && r.left + r.width / 2, y: r && r.top + r.height / 2 };
  })()`), 10000).catch((e) => { check(false, 'a missing picture is named in a message box', e.message); return null; });
  if (!shown) return;
  await shot('missing-picture.png');
  check(/"SS\.bmp"/.test(shown.text) && shown.buttons.join() === 'OK,Cancel',
    'a missing picture is named in the page\'s message box with OK and Cancel', shown.text.split('\n').filter(Boolean).slice(0, 2).join(' / '));
  const framesBefore = await s.eval('vadurerStats().frames');
  await click(shown.x, shown.y);
  const end = await until('the end after Cancel', async () => {
    const v = await s.eval('vadurerStats()');
    return v.state !== 'running' ? v : null;
  }, 15000).catch((e) => ({ state: e.message }));
  check(end.state === 'ended' && !(end.frames > framesBefore + 30),
    'Cancel stops the run before the production plays', `${end.state}, ${end.frames} frames, exit code ${end.exitCode}`);
  if (end.state !== 'ended') return;

  // Played again (the visitor has clicked already, so it starts at once), and ended by a left
  // click on the picture.
  const again = await s.eval(`(() => { const r = document.getElementById('again').getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; })()`);
  await click(again.x, again.y);
  const replay = await until('the production played again', async () => {
    const v = await s.eval('window.vadurerStats && vadurerStats()');
    return v && v.state === 'running' && v.frames > 60 ? v : null;
  }, 30000).catch((e) => ({ state: e.message }));
  check(replay.state === 'running', 'play it again starts the production anew', replay.state);
  if (replay.state !== 'running') return;
  await click(640, 440);
  const clicked = await until('the end after a left click', async () => {
    const v = await s.eval('vadurerStats()');
    return v.state !== 'running' ? v : null;
  }, 10000).catch((e) => ({ state: e.message }));
  check(clicked.state === 'ended', 'a left click on the picture ends the run', `${clicked.state}, exit code ${clicked.exitCode}`);
}

async function main() {
  const t0 = Date.now();
  const [, url] = await startProcess('node', ['scripts/serve.mjs', webDir, '0'], /serving .* at (http:\S+)/);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vadurer-chromium-'));
  const [, wsUrl] = await startProcess('chromium', [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--autoplay-policy=no-user-gesture-required', '--window-size=1280,1024',
    `--user-data-dir=${profile}`, '--remote-debugging-port=0', 'about:blank',
  ], /DevTools listening on (ws:\S+)/);
  const port = new URL(wsUrl).port;
  const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
  const page = targets.find((t) => t.type === 'page');
  const ws = new WebSocket(page.webSocketDebuggerUrl);
  await new Promise((r, j) => { ws.onopen = r; ws.onerror = j; });
  const s = new Session(ws);
  const exceptions = [], consoleErrors = [], lines = [];
  s.listeners.push((m) => {
    if (m.method === 'Runtime.exceptionThrown') exceptions.push(JSON.stringify(m.params.exceptionDetails).slice(0, 400));
    if (m.method === 'Runtime.consoleAPICalled') {
      const text = m.params.args.map((a) => a.value ?? a.description ?? '').join(' ');
      lines.push(`[${m.params.type}] ${text}`);
      if (m.params.type === 'error') consoleErrors.push(text);
    }
  });
  await s.send('Runtime.enable');
  await s.send('Page.enable');
  await s.send('Page.navigate', { url });

  await until('the start screen', () => s.eval(`window.vadurerStats && vadurerStats().state === 'ready'`), 30000);
  check(await s.eval('window.crossOriginIsolated'), 'the page is cross-origin isolated');
  const shot = async (name) => {
    const { data } = await s.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(path.join(outDir, name), Buffer.from(data, 'base64'));
  };
  await shot('start.png');

  await s.send('Input.dispatchMouseEvent', { type: 'mousePressed', x: 640, y: 512, button: 'left', clickCount: 1 });
  await s.send('Input.dispatchMouseEvent', { type: 'mouseReleased', x: 640, y: 512, button: 'left', clickCount: 1 });
  const clickAt = Date.now();
  await until('the first frame', () => s.eval('vadurerStats().frames > 0'), 10000);

  const looks = {};
  for (const at of [9000, 12000]) {
    await sleep(Math.max(0, clickAt + at - Date.now()));
    await shot(`at-${at / 1000}s.png`);
    looks[at] = await s.eval(kCanvasBytes);
  }
  // The cube is filled with the screen palette's entries 119 to 127, the mask with entry 63; the
  // screen's palette is the background picture's, fully faded in by 7 s.
  const background = readBmp(path.join(assetDir, '3Z-ER-AVE.bmp'));
  const cube = new Set(background.palette.slice(119, 128)), mask = background.palette[63];
  const hex = (c) => c.toString(16).padStart(6, '0');
  const describe = (d) => [...d.counts].sort((a, b) => b[1] - a[1]).slice(0, 5).map(([c, k]) => `${hex(c)}×${k}`).join(' ');
  const count = (d, set) => [...d.counts].filter(([c]) => [...set].some((e) => near(c, e))).reduce((a, [, k]) => a + k, 0);
  const at9 = drawnOver(looks[9000], background), at12 = drawnOver(looks[12000], background);
  console.log(`drawn over the background at 9 s: ${at9.n} pixels, ${describe(at9)}`);
  console.log(`drawn over the background at 12 s: ${at12.n} pixels, ${describe(at12)}`);
  check(looks[9000].width === 640 && looks[9000].height === 480, 'the canvas holds the 640 × 480 image');
  const cube9 = count(at9, cube);
  check(cube9 > 3000 && cube9 >= 0.98 * at9.n && count(at9, new Set([mask])) === 0,
    'at 9 s the cube turns over the background in its own colours, no mask yet', `${cube9} of ${at9.n} pixels`);
  const mask12 = count(at12, new Set([mask])), cube12 = count(at12, cube);
  check(mask12 > 2000 && cube12 > 1000 && mask12 + cube12 >= 0.98 * at12.n,
    'at 12 s the mask is over the cube in its colour', `${mask12} mask and ${cube12} cube pixels of ${at12.n}`);

  const mid = await s.eval('vadurerStats()');
  check(mid.state === 'running', 'the production is running at 12 s', mid.state);
  check(mid.audioState === 'running' && mid.audioRate === 44100, 'the audio context runs at 44100 Hz', `${mid.audioState}, ${mid.audioRate} Hz`);
  check(mid.audioRead > 44100 * 5 && mid.audioPeak > 1000, 'the mixer has produced audio that was played',
    `${mid.audioWritten} frames mixed, ${mid.audioRead} played, peak ${mid.audioPeak}, ${mid.audioStarved} short quanta`);

  // The viewer's keys, after scene 1 (whose frame rate is measured below): P pauses (no frame, the
  // mark shows), F12 saves the canvas, P goes on; then paused again, Escape still ends the run.
  const press = async (key, code, vk) => {
    await s.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key, code, windowsVirtualKeyCode: vk });
    await s.send('Input.dispatchKeyEvent', { type: 'keyUp', key, code, windowsVirtualKeyCode: vk });
  };
  await sleep(Math.max(0, clickAt + 13700 - Date.now()));
  await press('p', 'KeyP', 80);
  await sleep(300);
  const pausedAt = await s.eval('vadurerStats()');
  await press('F12', 'F12', 123);
  await sleep(700);
  const stillPaused = await s.eval('vadurerStats()');
  check(pausedAt.paused && stillPaused.frames === pausedAt.frames &&
    await s.eval(`!document.getElementById('paused').hidden`),
    'P pauses: no frame while paused, the mark shows', `${pausedAt.frames} then ${stillPaused.frames} frames`);
  const shots = stillPaused.screenshots;
  check(shots.length === 1 && /^vadurer-\d{4}-\d\d-\d\d-\d{6}\.png$/.test(shots[0].name) && shots[0].bytes > 1000,
    'F12 saves the frame as a PNG named by the time', JSON.stringify(shots));
  await press('p', 'KeyP', 80);
  await sleep(300);
  const resumed = await s.eval('vadurerStats()');
  check(!resumed.paused && resumed.frames > stillPaused.frames, 'P again goes on', `${resumed.frames} frames`);
  await press('Pause', 'Pause', 19);
  await sleep(200);
  check(await s.eval('vadurerStats().paused'), 'Pause pauses too');

  await s.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key: 'Escape', code: 'Escape', windowsVirtualKeyCode: 27 });
  await s.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Escape', code: 'Escape', windowsVirtualKeyCode: 27 });
  let end = null;
  try {
    end = await until('the end screen', async () => {
      const v = await s.eval('vadurerStats()');
      return v.state !== 'running' ? v : null;
    }, 10000);
  } catch (e) { check(false, 'Escape ends the run, also while paused', e.message); }
  if (end) {
    check(end.state === 'ended' && end.exitCode === 27, 'Escape ends the run with its key code', `${end.state}, ${end.exitCode}`);
    check(await s.eval(`!document.getElementById('end').hidden && !!document.getElementById('again')`), 'the end screen offers to play again');
    await shot('end.png');
    // Over scene 1: from 7 s after the first frame (the opening fade) to 13.5 s.
    fs.writeFileSync(path.join(outDir, 'frame-times.json'), JSON.stringify(end.frameTimes));
    const first = end.frameTimes[0];
    const inScene = end.frameTimes.filter((t) => t >= first + 7500 && t < first + 13500);
    const fps = inScene.length > 1 ? (inScene.length - 1) * 1000 / (inScene[inScene.length - 1] - inScene[0]) : 0;
    console.log(`figures: ${fps.toFixed(1)} frames/s over scene 1 (${inScene.length} frames), first frame ${end.firstFrameMs.toFixed(0)} ms after the click, ` +
      `${(end.workMs / end.frames).toFixed(2)} ms of work a frame over ${end.frames} frames; ` +
      `handing the page its turn: ${(1000 * end.unwindMs / end.frames).toFixed(0)} µs to unwind, ` +
      `${(1000 * end.rewindMs / Math.max(1, end.waits)).toFixed(0)} µs to rewind, a frame`);
    check(fps > 50 && fps < 62, 'scene 1 plays at about 60 frames a second', fps.toFixed(1));
  }
  await missingPicture(s, url, shot);
  check(exceptions.length === 0, 'no uncaught exception', exceptions.join('\n'));
  check(consoleErrors.length === 0, 'no error on the console', consoleErrors.join('\n'));
  fs.writeFileSync(path.join(outDir, 'console.log'), lines.join('\n') + '\n');
  console.log(`(${((Date.now() - t0) / 1000).toFixed(0)} s; screenshots and the console in ${outDir})`);
  ws.close();
}

main().then(() => finish(), (e) => { console.log(`FAIL ${e.message}`); ++failed; finish(1); });
