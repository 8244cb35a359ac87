// What the page's tests share: the servers, the processes they start, the count of checks, and
// the looks at the canvas that tell the production's scenes apart.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer, { PredefinedNetworkConditions } from 'puppeteer-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../..');

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The checks of one test program: "ok"/"FAIL" lines and a closing "LABEL: N passed, M failed"
// (none where the label is null: a benchmark's, which only measures). Children started through
// it are killed however the test ends, and the page's console is written to OUT_DIR/console.log.
export class Report {
  constructor(label, outDir, limitMs) {
    this.label = label;
    this.outDir = outDir;
    this.passed = 0;
    this.failed = 0;
    this.children = [];
    this.lines = [];
    this.cleanups = [];
    fs.mkdirSync(outDir, { recursive: true });
    setTimeout(() => {
      console.log(`the test took over ${limitMs / 1000} s`);
      ++this.failed;
      this.finish(1);
    }, limitMs).unref();
  }
  check(ok, what, detail = '') {
    if (ok) ++this.passed; else ++this.failed;
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${detail ? ': ' + detail : ''}`);
    return ok;
  }
  // A check an engine cannot make, and why: said, not counted.
  cannot(what, why) {
    console.log(`--   ${what}: not checked in this engine (${why})`);
  }
  async finish(code) {
    for (const c of this.cleanups.splice(0)) await Promise.resolve().then(c).catch(() => {});
    for (const c of this.children) c.kill('SIGKILL');
    fs.writeFileSync(path.join(this.outDir, 'console.log'), this.lines.join('\n') + '\n');
    if (this.label !== null) console.log(`${this.label}: ${this.passed} passed, ${this.failed} failed`);
    process.exit(code ?? (this.failed ? 1 : 0));
  }
  // Starts a process and resolves with the match of waitFor in its output.
  start(cmd, args, waitFor, env = process.env) {
    const p = spawn(cmd, args, { stdio: ['ignore', 'pipe', 'pipe'], env });
    this.children.push(p);
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
  // The page served with the isolation headers (scripts/serve.mjs, or VADURER_PAGE_SERVER), or by
  // a plain static server that sends none, as most hosting does. Resolves with its address.
  async serve(webDir, plain) {
    if (!plain) {
      const server = process.env.VADURER_PAGE_SERVER || path.join(root, 'scripts/serve.mjs');
      const [, url] = await this.start('node', [server, webDir, '0'], /serving .* at (http:\S+)/);
      return url;
    }
    const [, port] = await this.start('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', webDir],
      /Serving HTTP on \S+ port (\d+)/);
    const url = `http://127.0.0.1:${port}/`;
    const head = await fetch(url, { method: 'HEAD' });
    this.check(!head.headers.has('cross-origin-opener-policy') && !head.headers.has('cross-origin-embedder-policy'),
      'the plain server sends no isolation headers');
    return url;
  }
  // A PulseAudio server of the test's own with a null sink, for a browser that needs a sound
  // server to start its output. Resolves with the address for PULSE_SERVER.
  async soundServer(folder) {
    const dir = path.resolve(folder);
    fs.mkdirSync(dir, { recursive: true });
    const socket = path.join(dir, 'native');
    fs.rmSync(socket, { force: true });
    const env = { ...process.env, PULSE_RUNTIME_PATH: dir, PULSE_STATE_PATH: dir, HOME: dir };
    const server = spawn('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--disallow-exit',
      '--load=module-null-sink', `--load=module-native-protocol-unix socket=${socket} auth-anonymous=1`],
    { stdio: 'ignore', env });
    this.children.push(server);
    for (let i = 0; i < 50 && !fs.existsSync(socket); ++i) await sleep(100);
    if (!fs.existsSync(socket)) throw new Error('the PulseAudio server did not start');
    return `unix:${socket}`;
  }
}

// Chromium as the tests drive it: headless, in a profile of its own that goes when the test ends,
// closed however it ends. options: puppeteer's, with args added to the ones every test needs.
export async function launchChromium(report, { args = [], ...options } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vadurer-chromium-'));
  report.cleanups.push(() => fs.rmSync(profile, { recursive: true, force: true }));
  const browser = await puppeteer.launch({
    browser: 'chrome', executablePath: process.env.VADURER_CHROMIUM || '/usr/bin/chromium', headless: true,
    userDataDir: profile, ...options,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required', ...args],
  });
  report.cleanups.unshift(() => browser.close());
  return browser;
}

// scripts/serve.mjs, each response it sends counted: the bytes a visit transfers are those it sent
// meanwhile (bodies; headers are a few hundred bytes a file more).
export class CountingServer {
  constructor(report) {
    this.report = report;
    this.sent = [];
  }
  async start(dir, port = 0) {
    const child = spawn('node', [path.join(root, 'scripts/serve.mjs'), dir, String(port)], {
      stdio: ['ignore', 'pipe', 'inherit'], env: { ...process.env, VADURER_SERVE_LOG: '1' } });
    this.report.children.push(child);
    this.child = child;
    let text = '';
    this.url = await new Promise((resolve, reject) => {
      child.stdout.on('data', (d) => {
        text += d;
        for (let i; (i = text.indexOf('\n')) >= 0; text = text.slice(i + 1)) {
          const line = text.slice(0, i);
          const m = /^served (\S+) (\d+) (\d+)$/.exec(line);
          if (m) this.sent.push({ path: m[1], status: Number(m[2]), bytes: Number(m[3]) });
          const a = /serving .* at (http:\S+)/.exec(line);
          if (a) resolve(a[1]);
        }
      });
      child.on('exit', (code) => reject(new Error(`serve.mjs exited (${code})`)));
    });
    return this.url;
  }
  async stop() {
    const gone = new Promise((r) => this.child.once('exit', r));
    this.child.kill();
    await gone;
  }
  mark() { return this.sent.length; }
  since(mark) { return this.sent.slice(mark); }
}
export const mb = (n) => `${(n / 1e6).toFixed(2)} MB`;

// What a first visit may transfer, and how soon "click to start" should show on Chromium's network
// profiles (the load test holds the page to the first; bench/page.mjs measures the others).
export const kVisitAims = { bytes: 2.2e6, 'Fast 4G': 3500, 'Fast 3G': 15000 };

// The service worker's caches of releases, whether a newer worker waits, and whether one answers
// the page.
export const release = (p) => p.evaluate(async () => ({
  caches: (await caches.keys()).filter((k) => k.startsWith('vadurer-')),
  waiting: !!(await navigator.serviceWorker.getRegistration())?.waiting,
  controlled: !!navigator.serviceWorker.controller,
}));

// A first visit in a fresh profile on a network profile: the time from the navigation to
// "click to start", and what the server sent for it (the worker's keeping included). A screenshot
// of the start screen in shotDir, where given. Waits as long as a busy machine may take, and
// throws where the start screen never comes.
export async function firstVisit(browser, server, profile, incognito, shotDir) {
  const stats = (p) => p.evaluate(() => window.vadurerStats && vadurerStats());
  // (A context of its own, as a fresh visitor; the browser's own is kept for the installability
  // check, which Chromium does not make in one of those.)
  const context = incognito ? await browser.createBrowserContext() : browser.defaultBrowserContext();
  const p = await context.newPage();
  await p.emulateNetworkConditions(PredefinedNetworkConditions[profile]);
  const mark = server.mark();
  await p.goto(server.url, { timeout: 180000 });
  await startScreen(p, 180000);
  const v = await stats(p);
  console.log(`${profile}: ${v.marks.map(([w, t]) => `${w} ${t}`).join(', ')}`);
  // Until the worker keeps the release the page has loaded (it is fetched in once the page is ready).
  await until('the release kept', async () => (await release(p)).caches.length > 0 &&
    await p.evaluate(async (id) => !!(await caches.open((await caches.keys()).find((k) => k.endsWith(id)))).match('pictures.lzma'),
      (await stats(p)).release), 60000, 200).catch(() => {});
  const sent = server.since(mark);
  if (shotDir) await p.screenshot({ path: path.join(shotDir, `ready-${profile.replace(/ /g, '-').toLowerCase()}.png`) });
  return { p, context, readyMs: v.readyMs, bytes: sent.reduce((n, r) => n + r.bytes, 0), sent };
}

// Until a Chromium page shows "click to start"; where it never does, the error says how far the
// page had got.
export async function startScreen(p, timeoutMs) {
  const stats = () => p.evaluate(() => window.vadurerStats && vadurerStats());
  await until('the start screen', async () => (await stats())?.state === 'ready', timeoutMs, 50).catch(async (e) => {
    const v = await stats().catch(() => null);
    throw new Error(`${e.message}: ${v ? `the page ${v.state}, its last steps ` +
      `${v.marks.slice(-4).map(([w, t]) => `${w} ${t}`).join(', ')} (ms), ${v.loaded} bytes counted` : 'the page not answering'}`);
  });
}

export async function until(what, fn, timeoutMs, everyMs = 100) {
  const t0 = Date.now();
  for (;;) {
    const v = await fn().catch(() => null);
    if (v) return v;
    if (Date.now() - t0 > timeoutMs) throw new Error(`timed out waiting for ${what}`);
    await sleep(everyMs);
  }
}

// An 8-bit BMP: its palette (0xRRGGBB) and its pixel indices, rows top to bottom.
export function readBmp(file) {
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
export function near(a, b) {
  return Math.abs((a >> 16) - (b >> 16)) <= 2 && Math.abs(((a >> 8) & 255) - ((b >> 8) & 255)) <= 2 &&
    Math.abs((a & 255) - (b & 255)) <= 2;
}
// A colour as the fade's last step leaves it: each channel times g, truncated.
export function faded(c, g) {
  return (Math.trunc((c >> 16) * g) << 16) | (Math.trunc(((c >> 8) & 255) * g) << 8) | Math.trunc((c & 255) * g);
}

// The background picture, installed in the page beforehand, so that a look at the canvas costs the
// page a few milliseconds, not a frame.
export const installBackground = (b) => `window.testBackground = {
  palette: ${JSON.stringify(b.palette)},
  pixels: Uint8Array.from(atob('${Buffer.from(b.pixels).toString('base64')}'), (c) => c.charCodeAt(0)) }; true`;
// What the frame canvas shows now, against the background: how many pixels differ from it, and
// their colours. The opening fade ends where its last frame fell, at or a little below the
// picture's own colours (a page that stalled as the fade ended stays a little darker): the
// factor g it ended at is taken from the background's brighter pixels first, and the picture
// compared at that brightness.
export const kLook = `((c = document.getElementById('screen')) => {
  const { palette, pixels } = window.testBackground;
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  const near = ${near.toString()}, faded = ${faded.toString()};
  const ratios = [];
  for (let i = 0; i < pixels.length; i += 97) {
    const v = (palette[pixels[i]] >> 16) & 255;
    if (v >= 96) ratios.push((d[4 * i] + 0.5) / v);
  }
  ratios.sort((a, b) => a - b);
  const g = Math.min(1, ratios.length ? ratios[ratios.length >> 1] : 1);
  const scaled = palette.map((p) => faded(p, g));
  const counts = new Map();
  let n = 0;
  for (let i = 0; i < pixels.length; ++i) {
    const rgb = (d[4 * i] << 16) | (d[4 * i + 1] << 8) | d[4 * i + 2];
    if (near(rgb, scaled[pixels[i]])) continue;
    counts.set(rgb, (counts.get(rgb) || 0) + 1);
    ++n;
  }
  return { width: c.width, height: c.height, n, g, counts: [...counts] };
})`;

const hex = (c) => c.toString(16).padStart(6, '0');
const describe = (d) => [...d.counts].sort((a, b) => b[1] - a[1]).slice(0, 5).map(([c, k]) => `${hex(c)}×${k}`).join(' ');
const count = (d, colours) => [...d.counts].filter(([c]) => colours.some((e) => near(c, e))).reduce((a, [, k]) => a + k, 0);

// The cube at 9.5 s over the background picture (fully faded in by 7 s), in the palette's entries
// 119 to 127, and no mask yet (it comes at 10 s); and the mask over it at 12.5 s, in entry 63.
// Returns what was seen. (A look made on the production's clock, testFrames.lookAt, says when.)
//
// The cube drops in by the frame, not by the clock: a spring stepped once a frame brings it down
// from above the screen, overshoots below the middle and settles there, until the zoom ends at
// 11 s. A 60 Hz run has made 150 frames of scene 1 (from 7 s) by 9.5 s, and the cube turns near
// the middle; a run that other work held to fewer frames shows it wherever its spring has got to,
// which may be above or below the screen. Given the frames (kWatchFrames'), the cube's size is
// checked where its spring has it well within the screen by then (its middle within 400 units of
// the screen's, some 160 rows), give or take the frames the count may be off by; what is drawn,
// the cube's colours only, in any case.
function cubeHeight(k) {
  let y = -1400, v = 0, damping = 1;
  for (let i = 0; i < k; ++i, damping += 0.0005) {
    v += -y / 1000;
    y = (y + v) / damping;
  }
  return y;
}
function cubeInView(frames, zero, toMs) {
  if (!frames || !frames.length) return true;
  const start = zero ?? frames[0].clock;
  const k = frames.filter((f) => f.clock - start >= 7000 && f.clock - start <= toMs).length;
  return [-3, -2, -1, 0, 1, 2, 3].every((e) => Math.abs(cubeHeight(Math.max(0, k + e))) <= 400) || `${k} frames of scene 1`;
}
const made = (look) => (look.at === undefined ? '' : `; the frame made at ${(look.at / 1000).toFixed(3)} s` +
  `${look.stalled ? ', then none' : ''}${look.next === undefined ? '' : ` (the next one made at ${(look.next / 1000).toFixed(3)} s)`}`);
export const describeLook = (look) => `${look.n} pixels drawn over the background` +
  `${look.g < 0.99 ? ` (the fade ended at ${look.g.toFixed(3)})` : ''}, ${describe({ counts: new Map(look.counts) })}${made(look)}`;
export function checkCube(report, look, background, frames) {
  const cube = background.palette.slice(119, 128).map((c) => faded(c, look.g)), mask = faded(background.palette[63], look.g);
  const d = { n: look.n, counts: new Map(look.counts) };
  const seen = describeLook(look);
  report.check(look.width === 640 && look.height === 480, 'the canvas holds the 640 × 480 image', `${look.width} × ${look.height}`);
  const n = count(d, cube), inView = cubeInView(frames, look.zero, look.at);
  report.check((n > 3000 || inView !== true) && n >= 0.98 * d.n && count(d, [mask]) === 0,
    'at 9.5 s the cube turns over the background in its own colours, no mask yet',
    `${n} cube pixels${inView === true ? '' : ` (${inView}: the cube may be off the screen)`}; ${seen}`);
  return seen;
}
export function checkMask(report, look, background, frames) {
  const cube = background.palette.slice(119, 128).map((c) => faded(c, look.g)), mask = faded(background.palette[63], look.g);
  const d = { n: look.n, counts: new Map(look.counts) };
  const nMask = count(d, [mask]), nCube = count(d, cube), inView = cubeInView(frames, look.zero, 11000);
  report.check(nMask > 2000 && (nCube > 1000 || inView !== true) && nMask + nCube >= 0.98 * d.n,
    'at 12.5 s the mask is over the cube in its colour',
    `${nMask} mask and ${nCube} cube pixels of ${d.n}${inView === true ? '' : ` (${inView} by 11 s: the cube may be off the screen)`}; ` +
    `${describe(d)}${made(look)}`);
}

// The frame the last look was at, as a PNG file (a data URL from the page): what was checked, not
// what the page shows by the time a screenshot is taken.
export const kLookedPng = 'testFrames.looked.toDataURL("image/png")';
export const writePng = (file, dataUrl) => fs.writeFileSync(file, Buffer.from(dataUrl.split(',')[1], 'base64'));

// The frames as the page hands them to the browser, watched from inside the page from before the
// click: every refresh's callback (its own timestamp), each image the module presents with the
// production's clock, and each frame's wait for its turn, from the module's call to the wake-up
// that hands it over, in a refresh's callback or by the page's timer. window.testFrames.frames
// holds one entry a frame: t, the timestamp of the refresh it was handed at (null: by the timer);
// at, when it was handed; since, when its wait began; held, the refreshes whose callbacks ran
// while it waited and left it waiting; clock, the production's clock of the image handed; madeAt,
// the page's time as the module presented that image. testFrames.lookAt(ms, look, until) resolves at
// the first refresh at which the canvas shows a frame made ms or more into the production, with what
// look(canvas) returns for the first such frame shown, that frame's time as at, and the production's
// start on its clock as zero (or with stalled set, where no frame has come for a minute). The start
// is the first frame's clock until the flash shows (the first image all one bright colour), then the
// flash's clock less its 10 s: on a busy machine the first frame can come well after the start, and
// the flash marks the production's own moment. Each frame shown over the last second is kept as it
// was shown (from 3 s before the moment), so the look can be at a frame from before the start was
// known. Where that first frame was made at until or later (a busy machine held the page past the
// moment and the production moved on to what comes next: the flash at 10 s, scene 2 at 14 s), the
// look is at the frame shown before it, and it is next. testFrames.looked is the frame looked at.
export const kWatchFrames = `(${() => {
  const raf = window.requestAnimationFrame.bind(window);
  const page = window.VadurerPage, { present, nextFrame } = page;
  const frames = [];
  let refresh = null, waiting = null, image = { clock: null, madeAt: null };
  window.requestAnimationFrame = (callback) => raf((t) => {
    const w = waiting;
    refresh = t;
    try {
      callback(t);
    } finally {
      refresh = null;
      if (w && waiting === w && w.held.at(-1) !== t) w.held.push(t);
    }
  });
  // What the canvas shows: the page draws the image the module presented last at a refresh, which
  // can come before the module has asked for its turn (and so before frames has it).
  const context = document.getElementById('screen').getContext('2d'), put = context.putImageData.bind(context);
  let shown = null, flash = null;
  context.putImageData = (...args) => {
    shown = image.clock;
    return put(...args);
  };
  // The flash: every one of 64 pixels spread over the image the same colour, and a bright one (the
  // opening's first image is all black).
  const isFlash = (heap, ptr, n) => {
    if (heap[ptr] + heap[ptr + 1] + heap[ptr + 2] < 96) return false;
    for (let k = 1; k < 64; ++k) {
      const at = ptr + Math.floor((k * n) / 64) * 4;
      if (heap[at] !== heap[ptr] || heap[at + 1] !== heap[ptr + 1] || heap[at + 2] !== heap[ptr + 2]) return false;
    }
    return true;
  };
  page.present = (heap, ptr, w, h, clockMs) => {
    image = { clock: clockMs, madeAt: performance.now() };
    if (flash === null && isFlash(heap, ptr, w * h)) flash = clockMs;
    return present.call(page, heap, ptr, w, h, clockMs);
  };
  page.nextFrame = (frame, calledAt, wakeUp) => {
    if (!frame) return nextFrame.call(page, frame, calledAt, wakeUp);
    const f = { since: performance.now(), held: [], ...image };
    waiting = f;
    return nextFrame.call(page, frame, calledAt, (value) => {
      if (waiting === f) {
        waiting = null;
        f.t = refresh;
        f.at = performance.now();
        frames.push(f);
      }
      wakeUp(value);
    });
  };
  const kFlashMs = 10000;
  const lookAt = (ms, look, until = Infinity) => new Promise((resolve) => {
    const screen = document.getElementById('screen');
    const kept = [];  // the frames shown over the last second of the production's clock, and one before
    let lastShown = shown, lastAt = performance.now();
    const step = () => {
      const zero = flash !== null ? flash - kFlashMs : frames.length ? frames[0].clock : null;
      const at = (k) => k.clock - zero;
      if (shown !== lastShown) [lastShown, lastAt] = [shown, performance.now()];
      // Copied only from 3 s before the moment: the flash moves the start by far less.
      if (shown !== null && shown !== kept.at(-1)?.clock && zero !== null && shown - zero >= ms - 3000) {
        let spare = document.createElement('canvas');
        while (kept.length > 1 && kept[1].clock <= shown - 1000) spare = kept.shift().canvas;
        [spare.width, spare.height] = [screen.width, screen.height];
        spare.getContext('2d').drawImage(screen, 0, 0);
        kept.push({ clock: shown, canvas: spare });
      }
      if (zero !== null && kept.length && at(kept.at(-1)) >= ms) {
        const i = kept.findIndex((k) => at(k) >= ms);
        const [k, next] = at(kept[i]) >= until && i > 0 ? [kept[i - 1], at(kept[i])] : [kept[i], undefined];
        window.testFrames.looked = k.canvas;
        return resolve({ ...look(k.canvas), at: at(k), next, zero });
      }
      if (performance.now() - lastAt > 60000) {
        window.testFrames.looked = screen;
        return resolve({ at: kept.length && zero !== null ? at(kept.at(-1)) : -1, zero, stalled: true });
      }
      raf(step);
    };
    step();
  });
  window.testFrames = { frames, lookAt };
  return true;
}})()`;

// The page's schedule over a stretch of the production's clock (fromMs to toMs after its first
// frame), from what kWatchFrames saw. Checked against the refreshes' own timestamps and the
// production's own clock, never against the time between them, so that a busy machine, which
// makes the production miss refreshes, changes nothing here (the benchmark, bench/page.mjs,
// measures how often it misses them):
// - each frame is handed in the callback of a refresh, at that refresh's timestamp, at most one a
//   refresh, or by the page's timer where no refresh came for the 100 ms it allows. (A refresh's
//   timestamp is when it began, which a busy page may run its callbacks well after: a frame that
//   the timer handed meanwhile is compared with none.)
// - a frame waits past a refresh only where that refresh came less than a frame's time
//   (1000/60 ms) after the last frame's: at 60 Hz never, elsewhere now and then, where the
//   display runs ahead of 60 frames a second; at most one refresh in ten.
// - each frame is made later on the production's clock than the last, and over the stretch that
//   clock keeps the page's time.
// The stretch needs two frames a second of it to be worth checking, however busy the machine (a
// busy CI run drew 9.6 a second).
// Returns the frames of the stretch.
export function checkFrames(report, frames, fromMs, toMs, what) {
  const kFrameMs = 1000 / 60;
  const enough = (toMs - fromMs) / 500;
  const first = frames.length ? frames[0].clock : 0;
  const stretch = [];  // [the frame, the last one before it handed at a refresh, the one before it]
  for (let i = 1, atRefresh = null; i < frames.length; ++i) {
    if (frames[i].clock - first >= fromMs && frames[i].clock - first < toMs) stretch.push([frames[i], atRefresh, frames[i - 1]]);
    if (frames[i].t !== null) atRefresh = frames[i];
  }
  const byTimer = stretch.filter(([f]) => f.t === null);
  const out = stretch.filter(([f, last]) => (f.t === null ? f.at - f.since < 99 : last && !(f.t > last.t)));
  // Only after a frame handed at a refresh: the page's schedule takes no account of the timer's.
  const held = stretch.filter(([, , prev]) => prev.t !== null).flatMap(([f, , prev]) => f.held.map((t) => t - prev.t));
  const early = held.filter((gap) => gap >= kFrameMs + 0.05);
  const back = stretch.filter(([f, , prev]) => !(f.clock > prev.clock));
  const a = stretch.length ? stretch[0][0] : null, b = stretch.length ? stretch.at(-1)[0] : null;
  const rate = a && b.madeAt > a.madeAt ? (b.clock - a.clock) / (b.madeAt - a.madeAt) : 0;
  const s = (ms) => (ms / 1000).toFixed(3);
  report.check(stretch.length >= enough && out.length === 0,
    `${what}: each frame is handed at a refresh, in its callback and at its timestamp, one a refresh (by the page's timer ` +
    'only where no refresh came for 100 ms)',
    `${stretch.length} frames (${enough} needed), ${byTimer.length} by the timer; ${out.length} out of turn` +
    (out.length ? ` (${out.slice(0, 3).map(([f, last]) => (f.t === null ? `by the timer after ${(f.at - f.since).toFixed(1)} ms`
      : `at ${f.t.toFixed(2)} after one at ${last.t.toFixed(2)}`)).join('; ')})` : ''));
  report.check(early.length === 0 && held.length <= stretch.length / 10,
    `${what}: no frame waits past a refresh a frame's time (16.7 ms) after the last frame's, and few past any`,
    `held at ${held.length} refreshes` + (held.length ? `, ${Math.min(...held).toFixed(2)} to ${Math.max(...held).toFixed(2)} ms after the last frame's` : ''));
  report.check(a && back.length === 0 && Math.abs(rate - 1) <= 0.02,
    `${what}: each frame is made later on the production's clock than the last, that clock keeping the page's time`,
    `${back.length} not later; ${a ? s(b.clock - a.clock) : 0} s on the production's clock over ${a ? s(b.madeAt - a.madeAt) : 0} s of the page's`);
  return stretch.map(([f]) => f);
}

// Frames handed to the browser over scene 1, from 7.5 s after the first (the opening fade) to 13.5 s.
export function pacingFigures(handedAt) {
  const first = handedAt[0];
  const inScene = handedAt.filter((t) => t >= first + 7500 && t < first + 13500);
  const gaps = inScene.slice(1).map((t, i) => t - inScene[i]).sort((x, y) => x - y);
  const fps = inScene.length > 1 ? (inScene.length - 1) * 1000 / (inScene[inScene.length - 1] - inScene[0]) : 0;
  const median = gaps.length ? gaps[gaps.length >> 1] : 0, longest = gaps.length ? gaps[gaps.length - 1] : 0;
  const over25 = 100 * gaps.filter((g) => g > 25).length / Math.max(1, gaps.length);
  return { frames: inScene.length, fps, median, longest, over25 };
}

// The sound over the run as the page counts it: render quanta that came short, the milliseconds
// played as silence for want of sound, and those skipped to keep with the clock.
export function soundFigures(v) {
  return `${v.audioStarved} short quanta, ${(v.audioMissed / 44.1).toFixed(0)} ms missed, ` +
    `${(v.audioSkipped / 44.1).toFixed(0)} ms skipped`;
}

// A copy of the built page whose mask picture (SS.bmp) is spoilt in its pack: 24 bits per pixel
// now, which the production names in a message box before it starts. Stamped as a release of its
// own. Returns the copy's folder.
export function spoiltCopy(webDir, into) {
  fs.rmSync(into, { recursive: true, force: true });
  fs.cpSync(webDir, into, { recursive: true });
  const pack = execFileSync('xz', ['--format=lzma', '-dc', path.join(webDir, 'pictures.lzma')], { maxBuffer: 1 << 26 });
  let at = 8, offset = 8;
  const entries = [];
  for (let i = 0, n = pack.readUInt32LE(4); i < n; ++i) {
    const len = pack.readUInt16LE(at);
    entries.push({ name: pack.toString('latin1', at + 2, at + 2 + len), size: pack.readUInt32LE(at + 2 + len) });
    at += 6 + len;
  }
  offset = at;
  for (const e of entries) {
    if (e.name === 'SS.bmp') pack.writeUInt16LE(24, offset + 28);
    offset += e.size;
  }
  if (!entries.some((e) => e.name === 'SS.bmp')) throw new Error('the pack holds no SS.bmp');
  fs.writeFileSync(path.join(into, 'pictures.lzma'), execFileSync('xz', ['--format=lzma', '-c'], { input: pack, maxBuffer: 1 << 26 }));
  execFileSync('node', [path.join(root, 'scripts/web-release.mjs'), into, 'spoilt'], { stdio: 'ignore' });
  return into;
}
