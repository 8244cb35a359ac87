// Plays the built page (build/web) in a headless browser driven by puppeteer: Chromium over the
// DevTools protocol, or Firefox over WebDriver BiDi. Served one of two ways: by scripts/serve.mjs
// with the isolation headers (make serve), or, with --plain, by a plain static server that sends
// none (as most hosting does), where the page's own service worker isolates it.
//
// Each way it clicks start, looks at the production at 9.5 s and 12.5 s, listens for its sound,
// hides and shows the tab (once with the browser stopping the hidden tab's sound), pauses (P,
// Pause) with a screenshot (F12) between, takes the page fullscreen while paused and ends the run
// with Escape there. With the headers it then spoils a picture, answers the message box from the
// keyboard and plays again; plain, it opens the page from the disk, loads it where the worker
// cannot help, and closes the tab mid-run. With --silent (Firefox only) the browser has no sound
// server: the production must start at once and play on without sound, saying so.
//
// Nothing here is timed against the wall clock but the bounds that keep a stalled run from hanging
// the test (several seconds or more): the looks at the canvas go by the production's own clock, and
// the frames' pacing is checked against the refreshes' own timestamps, so that the test passes on
// a busy machine too. How well the page keeps time (the first frame after the click, the frame
// rate, picture and sound in step) is measured by bench/page.mjs, each figure with its aim.
//
// Prints what an engine cannot check and why, one figures line (click to first frame, frames a
// second in scene 1, the sound's short quanta, milliseconds missed and skipped), and one
// "LABEL: N passed, M failed" line.
//   node tests/platform/host/web/page_test.mjs WEB_DIR ASSET_DIR OUT_DIR [--engine chromium|firefox]
//        [--plain] [--silent] [--label LABEL]
// (ASSET_DIR: the asset maker's pictures, for the background and its palette.)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {
  Report, sleep, until, readBmp, installBackground, kLook, kWatchFrames, checkCube, checkMask, checkFrames, pacingFigures,
  soundFigures, spoiltCopy, launchChromium, kLookedPng, writePng,
} from './common.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => { const i = args.indexOf(name); return i >= 0 ? args.splice(i, 2)[1] : fallback; };
const flag = (name) => { const i = args.indexOf(name); return i >= 0 && args.splice(i, 1).length > 0; };
const engine = option('--engine', 'chromium');
const plain = flag('--plain'), silent = flag('--silent');
const label = option('--label', `web-${engine}${plain ? '-plain' : ''}${silent ? '-silent' : ''}`);
const [webDir, assetDir, outDir] = args;
const firefox = engine === 'firefox';
const report = new Report(label, outDir, 300000);
const { check } = { check: report.check.bind(report) };
const shot = (p, name) => p.screenshot({ path: path.join(outDir, name) }).catch((e) => console.log(`(no screenshot ${name}: ${e.message})`));
const stats = (p) => p.evaluate(() => vadurerStats());
const errors = [];  // uncaught exceptions, errors on the console and failed loads, however the test ends

async function launch() {
  if (!firefox) return launchChromium(report, { defaultViewport: null, args: ['--window-size=1280,1024', '--screen-info={1600x1200}'] });
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `vadurer-${engine}-`));
  report.cleanups.push(() => fs.rmSync(profile, { recursive: true, force: true }));
  // A sound server of its own, or none at all (--silent): Firefox's output needs one to start.
  const env = { ...process.env, PULSE_SERVER: silent ? 'unix:/nonexistent/vadurer-no-sound' : await report.soundServer(path.join(profile, 'pulse')) };
  delete env.DISPLAY;
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: process.env.VADURER_FIREFOX || '/usr/bin/firefox-esr', headless: true,
    userDataDir: profile, env, defaultViewport: null, args: ['--width=1280', '--height=1024'],
    extraPrefsFirefox: { 'browser.shell.checkDefaultBrowser': false, 'toolkit.telemetry.reportingpolicy.firstRun': false },
  });
  report.cleanups.unshift(() => browser.close());
  return browser;
}

function watch(p) {
  p.on('console', (m) => {
    report.lines.push(`[${m.type()}] ${m.text()}`);
    if (m.type() === 'error') errors.push(m.text());
  });
  p.on('pageerror', (e) => {
    report.lines.push(`[uncaught] ${e.message}`);
    errors.push(`uncaught: ${e.message}`);
  });
  p.on('response', (r) => {
    if (r.status() >= 400) errors.push(`${r.status()} for ${r.url()}`);
  });
}

// The audio contexts the page makes, so that the test can stop one's sound as a browser may.
const kSeeAudioContexts = () => {
  window.audioContextsSeen = [];
  window.AudioContext = new Proxy(window.AudioContext, {
    construct(Target, a) { const c = new Target(...a); window.audioContextsSeen.push(c); return c; },
  });
};

// How long the test waits for what the page does next before it calls it a failure: long enough for
// a machine that other work keeps busy, since these are no measure of speed.
const kWaitMs = 30000;
const ready = (p) => until('the start screen', () => p.evaluate(() => window.vadurerStats && vadurerStats().state === 'ready'), 2 * kWaitMs);
const untilEnded = (p, what, ms = kWaitMs) => until(what, async () => {
  const v = await stats(p);
  return v.state !== 'running' ? v : null;
}, ms).catch((e) => ({ state: e.message }));
const untilStats = (p, what, fn) => until(what, async () => {
  const v = await stats(p);
  return fn(v) ? v : null;
}, kWaitMs).catch(() => stats(p));

// Picture and sound: the production's clock when the frame on the screen was made, against the
// sound the output has played, both since the sound began. A page that other work holds up shows
// an older frame meanwhile, so this only tells that they go together; bench/page.mjs measures how
// closely, against its aim of 100 ms.
const kInStepMs = 3000;
async function inStep(p, what) {
  const v = await stats(p);
  check(v.state === 'running' && Math.abs(v.pictureLeadsMs) < kInStepMs,
    `${what}: the picture shown and the sound heard agree within ${kInStepMs / 1000} s`,
    `${v.state}, the picture ${(v.pictureLeadsMs ?? NaN).toFixed(1)} ms ahead; ${soundFigures(v)}`);
  return v;
}

// The tab hidden behind another for a while and brought back; with suspend, the browser also
// stops the hidden tab's sound meanwhile (as some do), and the page starts it again as it shows.
async function hideAndShow(browser, p, ms, suspend) {
  const visibility = (state) => until(`the tab ${state}`, () => p.evaluate((s) => document.visibilityState === s && s, state), kWaitMs)
    .catch(() => p.evaluate(() => document.visibilityState));
  const before = await stats(p);
  const other = await browser.newPage();
  const hidden = await visibility('hidden');
  if (suspend) await p.evaluate(() => window.audioContextsSeen.at(-1).suspend());
  await sleep(ms);
  await p.bringToFront();
  await other.close();
  const shown = await visibility('visible');
  if (suspend) {
    // Some browsers take a second or two to start a stopped output again; then the feeder finds
    // how long it stood still.
    await until('the sound started again', () => p.evaluate(() => vadurerStats().audioState === 'running'), kWaitMs).catch(() => {});
    await untilStats(p, 'the stale sound dropped', (v) => v.audioSkipped - before.audioSkipped > 1.5 * 44100);
  }
  await sleep(500);
  return { hidden, before, shown };
}

async function play(browser, p) {
  await ready(p);
  check(await p.evaluate(() => window.crossOriginIsolated), 'the page is cross-origin isolated');
  const background = readBmp(path.join(assetDir, '3Z-ER-AVE.bmp'));
  await p.evaluate(installBackground(background));
  await p.evaluate(kWatchFrames);
  await shot(p, 'start.png');
  await p.mouse.click(640, 512);
  await until('the first frame', async () => (await stats(p)).frames > 0, kWaitMs);

  // Each look at the canvas at the first refresh that shows a frame made that long into the
  // production, and before what comes next: the flash at 10 s, scene 2 at 14 s.
  const looks = {};
  for (const [at, until] of [[9500, 10000], [12500, 14000]]) {
    looks[at] = await p.evaluate(`testFrames.lookAt(${at}, ${kLook}, ${until})`);
    writePng(path.join(outDir, `at-${at / 1000}s.png`), await p.evaluate(kLookedPng));
  }
  const scene = await p.evaluate(() => testFrames.frames);
  const seen = checkCube(report, looks[9500], background, scene);
  checkMask(report, looks[12500], background, scene);
  const mid = await stats(p);
  check(mid.state === 'running', 'the production is running at 12.5 s', mid.state);
  if (silent) {
    const said = await p.evaluate(() => !document.getElementById('notice').hidden && document.getElementById('notice').textContent);
    check(mid.sound === 'missing' && /without sound/.test(said || ''), 'with no sound device it plays on without sound and says so',
      `${mid.sound}, "${said}"`);
  } else {
    check(mid.audioState === 'running' && mid.audioRate === 44100 && mid.sound === 'playing', 'the sound runs at 44100 Hz',
      `${mid.audioState}, ${mid.audioRate} Hz, ${mid.sound}`);
    check(mid.audioRead > 44100 * 5 && mid.audioPeak > 1000, 'the mixer has produced sound that was played',
      `${mid.audioWritten} frames mixed, ${mid.audioRead} played, peak ${mid.audioPeak}`);
  }

  // Past scene 1, whose frames are checked once the run has ended.
  await p.evaluate('testFrames.lookAt(14000, () => ({}))');
  const frames = await p.evaluate(() => testFrames.frames);
  fs.writeFileSync(path.join(outDir, 'frames.json'), JSON.stringify(frames));
  if (!silent) {
    await inStep(p, 'before the tab is hidden');
    const quiet = await hideAndShow(browser, p, 2000, false);
    check(quiet.hidden === 'hidden' && quiet.shown === 'visible', 'the tab was hidden and shown again', `${quiet.hidden}, then ${quiet.shown}`);
    await inStep(p, 'the tab shown again');
    const stopped = await hideAndShow(browser, p, 2000, true);
    const after = await inStep(p, 'shown again after the browser stopped its sound');
    const skipped = after.audioSkipped - stopped.before.audioSkipped;
    check(after.audioState === 'running' && skipped > 1.5 * 44100,
      'the sound the browser stopped for 2 s goes on where the clock is, what it held dropped as stale',
      `${after.audioState}, ${(skipped / 44.1).toFixed(0)} ms skipped`);
  }

  // The viewer's keys: P pauses (no frame, the mark shows, the sound held); F takes the page
  // fullscreen; F12 saves the canvas and says so over the frame (after F: Firefox refuses
  // fullscreen right after a download); P goes on with picture and sound still in step; then Pause
  // pauses again, and Escape still ends the run.
  await p.keyboard.press('KeyP');
  const pausedAt = await untilStats(p, 'the pause', (v) => v.paused);
  await p.keyboard.press('KeyF');
  // Measured once the window has taken the screen's size and the resize has placed the picture.
  const fit = await until('fullscreen', () => p.evaluate(() => !!document.fullscreenElement && innerWidth === screen.width), kWaitMs)
    .then(() => sleep(300))
    .then(() => until('the picture placed', () => p.evaluate(() => {
      const l = vadurerStats().layout;
      return l.W === document.documentElement.clientWidth && l.H === document.documentElement.clientHeight && l;
    }), kWaitMs))
    .catch((e) => ({ error: e.message }));
  await shot(p, 'fullscreen.png');
  if (fit.error) {
    report.cannot('fullscreen', `the headless browser did not take the page fullscreen: ${fit.error}`);
  } else {
    const s = Math.min(fit.W / 640, fit.H / 480);
    check(Math.abs(fit.w - 640 * s) <= 1 && Math.abs(fit.h - 480 * s) <= 1 && Math.abs(fit.x - (fit.W - fit.w) / 2) <= 1 &&
      Math.abs(fit.y - (fit.H - fit.h) / 2) <= 1, 'F takes the page fullscreen, the picture as large as the screen allows, centred',
    `${fit.w} × ${fit.h} at ${fit.x}, ${fit.y} on ${fit.W} × ${fit.H} (${fit.whole ? 'whole factor' : `x${fit.k} then smoothed`})`);
    // Where the scale is not whole, what the browser smooths is the frame at a whole factor, each
    // pixel a block of its own colour.
    const blocks = await p.evaluate(() => {
      const { k, whole } = vadurerStats().layout;
      if (whole) return { whole };
      const screen = document.getElementById('screen'), view = document.getElementById('view');
      const a = screen.getContext('2d').getImageData(0, 0, 640, 480).data;
      const b = view.getContext('2d').getImageData(0, 0, view.width, view.height).data;
      let bad = 0;
      for (let y = 0; y < view.height; ++y)
        for (let x = 0; x < view.width; ++x) {
          const i = 4 * (y * view.width + x), j = 4 * (Math.floor(y / k) * 640 + Math.floor(x / k));
          if (a[j] !== b[i] || a[j + 1] !== b[i + 1] || a[j + 2] !== b[i + 2]) ++bad;
        }
      return { k, width: view.width, height: view.height, bad };
    });
    if (!blocks.whole)
      check(blocks.width === 640 * blocks.k && blocks.height === 480 * blocks.k && blocks.bad === 0,
        `the browser smooths the frame from x${blocks.k}, each pixel a ${blocks.k} × ${blocks.k} block`,
        `${blocks.width} × ${blocks.height}, ${blocks.bad} pixels not their block's`);
  }
  await p.keyboard.press('F12');
  // (The saved file and the words over the frame, read together: the words go after 2 s.)
  const { shots, said } = await until('the screenshot', () => p.evaluate(() => vadurerStats().screenshots.length &&
    { shots: vadurerStats().screenshots, said: !document.getElementById('notice').hidden && document.getElementById('notice').textContent }),
  kWaitMs).catch(() => ({ shots: [], said: null }));
  await shot(p, 'screenshot-said.png');
  const stillPaused = await stats(p);
  check(pausedAt.paused && stillPaused.frames === pausedAt.frames && await p.evaluate(() => !document.getElementById('paused').hidden),
    'P pauses: no frame while paused, the mark shows', `${pausedAt.frames} then ${stillPaused.frames} frames`);
  // The output plays on what the ring held as P came; from then on the feeder gives it only the
  // pause's silence, and the ring holds 8192 frames.
  if (!silent) {
    const sound = (stillPaused.audioRead - pausedAt.audioRead) - (stillPaused.audioHeld - pausedAt.audioHeld);
    check(stillPaused.audioHeld > pausedAt.audioHeld && sound <= 8192, 'P holds the sound too: the pause plays silence',
      `${((stillPaused.audioHeld - pausedAt.audioHeld) / 44.1).toFixed(0)} ms of the pause's silence; ${Math.max(0, sound)} frames of ` +
      'sound played while paused');
  }
  check(shots.length === 1 && /^vadurer-\d{4}-\d\d-\d\d-\d{6}\.png$/.test(shots[0].name) && shots[0].bytes > 1000 &&
    said === `saved to ${shots[0].name}`, 'F12 saves the frame as a PNG named by the time and says so over the frame',
  `${JSON.stringify(shots)}; "${said}"`);
  await p.keyboard.press('KeyP');
  await untilStats(p, 'the run going on', (v) => v.frames > stillPaused.frames + 30);
  const resumed = silent ? await stats(p) : await inStep(p, 'after a pause');
  check(!resumed.paused && resumed.frames > stillPaused.frames, 'P again goes on', `${resumed.frames} frames`);
  await p.keyboard.press('Pause');
  check((await untilStats(p, 'the pause', (v) => v.paused)).paused, 'Pause pauses too');
  const full = await p.evaluate(() => !!document.fullscreenElement);

  // Without Keyboard Lock (Firefox) the browser keeps the first Escape for leaving fullscreen.
  if (full && !await p.evaluate(() => !!(navigator.keyboard && navigator.keyboard.lock))) {
    await p.keyboard.press('Escape');
    const left = await until('fullscreen left', () => p.evaluate(() => !document.fullscreenElement), kWaitMs).catch(() => false);
    const v = await stats(p);
    check(left && v.state === 'running', 'without Keyboard Lock the first Escape leaves fullscreen, the run goes on', `${v.state}`);
  }
  const stillFull = await p.evaluate(() => !!document.fullscreenElement);
  await p.keyboard.press('Escape');
  const end = await untilEnded(p, 'the end screen');
  check(end.state === 'ended' && end.exitCode === 27, `Escape${stillFull ? ' in fullscreen' : ''}, while paused, ends the run with its key code`,
    `${end.state}, ${end.exitCode}`);
  if (end.state !== 'ended') return;
  check(await p.evaluate(() => !document.getElementById('end').hidden && !!document.getElementById('again')), 'the end screen offers to play again');
  await shot(p, 'end.png');
  await p.evaluate(() => document.fullscreenElement && document.exitFullscreen());
  fs.writeFileSync(path.join(outDir, 'frame-times.json'), JSON.stringify(end.handedAt));
  const f = pacingFigures(end.handedAt);
  console.log(`figures (${label}): first frame ${end.firstFrameMs.toFixed(0)} ms after the click; ` +
    `${f.fps.toFixed(2)} frames/s over scene 1 (${f.frames} frames), median interval ${f.median.toFixed(2)} ms, ` +
    `${f.over25.toFixed(2)} % over 25 ms, longest ${f.longest.toFixed(1)} ms; sound: ` +
    `${end.soundStartMs === null ? 'none' : `from ${end.soundStartMs.toFixed(0)} ms after the click`}, ${soundFigures(end)}; ` +
    `${(end.workMs / end.frames).toFixed(2)} ms of work a frame; at 9.5 s: ${seen}`);
  // Scene 1's frames at the refreshes they were handed at (headless Firefox's refreshes come from a
  // timer of its own, 16.3 to 16.6 ms apart). From 7.5 s, once the opening fade's frames are past.
  checkFrames(report, frames, 7500, 13500, 'scene 1');
}

// A copy of the page whose mask picture is spoilt in its pack, served from another address: the
// production names it in a message box (the page's dialog) before it starts; Return is OK and
// Escape Cancel, which stops the run in order. Then played again and ended by a left click on the
// picture.
async function missingPicture(p) {
  const copy = spoiltCopy(webDir, path.join(outDir, 'spoilt'));
  const url = await report.serve(copy, false);
  await p.goto(url);
  await ready(p);
  await p.mouse.click(640, 512);
  const box = () => p.evaluate(() => {
    if (document.getElementById('dialog').hidden) return null;
    return { text: document.getElementById('dialog-text').textContent, buttons: [...document.querySelectorAll('#dialog-buttons button')].map((e) => e.textContent),
      focused: document.activeElement && document.activeElement.textContent };
  });
  const shown = await until('the message box', box, kWaitMs).catch((e) => { check(false, 'a missing picture is named in a message box', e.message); return null; });
  if (!shown) return;
  await shot(p, 'missing-picture.png');
  check(/"SS\.bmp"/.test(shown.text) && shown.buttons.join() === 'OK,Cancel' && shown.focused === 'OK',
    'a missing picture is named in the page\'s message box with OK (the default) and Cancel', shown.text.split('\n').filter(Boolean).slice(0, 2).join(' / '));
  const framesBefore = (await stats(p)).frames;
  await p.keyboard.press('Escape');
  const end = await untilEnded(p, 'the end after Escape');
  check(end.state === 'ended' && !(end.frames > framesBefore + 30),
    'Escape chooses Cancel, which stops the run before the production plays', `${end.state}, ${end.frames} frames, exit code ${end.exitCode}`);
  if (end.state !== 'ended') return;

  // Played again, the same box: Return chooses OK, and the production plays with the picture
  // black.
  await p.click('#again');
  const again = await until('the message box again', async () => {
    await clickIfAsked(p);
    return box();
  }, 2 * kWaitMs, 300).catch((e) => ({ text: e.message }));
  await p.keyboard.press('Enter');
  const replay = await until('the production played on', async () => {
    const v = await stats(p);
    return v.state === 'running' && v.frames > 60 ? v : null;
  }, kWaitMs).catch((e) => ({ state: e.message }));
  check(/"SS\.bmp"/.test(again.text) && replay.state === 'running', 'played again, Return chooses OK and the production plays on',
    `${again.text.split('\n')[0]}; ${replay.state}`);
  if (replay.state !== 'running') return;
  await p.mouse.click(640, 440);
  const clicked = await untilEnded(p, 'the end after a left click');
  check(clicked.state === 'ended', 'a left click on the picture ends the run', `${clicked.state}, exit code ${clicked.exitCode}`);
}

// Played again, a browser that let the sound start without a click starts it at once; one that
// does not (or not soon enough: Firefox on a busy machine) asks for the click again, and gets it
// here. Returns the page's statistics as they were before any click.
async function clickIfAsked(p) {
  const v = await p.evaluate(() => window.vadurerStats && vadurerStats());
  if (v && v.state === 'ready' && await p.evaluate(() => !document.getElementById('cover').hidden)) await p.mouse.click(640, 512);
  return v;
}

async function playAgain(p) {
  await p.click('#again');
  const replay = await until('the production played again', async () => {
    const v = await clickIfAsked(p);
    return v && v.state === 'running' && v.frames > 60 ? v : null;
  }, 30000, 300).catch((e) => ({ state: e.message }));
  check(replay.state === 'running', 'play it again starts the production anew', replay.state);
  return replay;
}

// Opened from the disk, the page says how to serve it instead of loading for ever. (The browser
// refuses such a page the files its head names, the manifest: those refusals are the browser's
// own, and left out of the count of errors.)
async function fromFiles(p) {
  const before = errors.length;
  await p.goto('file://' + path.resolve(webDir, 'index.html'));
  const v = await until('the page\'s word from the disk', () => p.evaluate(() => window.vadurerStats && vadurerStats().state === 'unisolated' &&
    document.getElementById('cover-text').textContent), kWaitMs).catch((e) => e.message);
  check(/make serve/.test(v), 'opened from the disk, the page names make serve', v);
  await shot(p, 'from-files.png');
  errors.splice(before);
}

// Where the worker's answers do not reach the page (here the browser is told to pass it by), the
// page loads itself once more at most and then says what the host must send.
async function noLoop(p, url, navigations) {
  await p.setBypassServiceWorker(true);
  const before = navigations.length;
  await p.goto(url);
  const v = await until('the page\'s word on isolation', () => p.evaluate(() => window.vadurerStats && vadurerStats().state === 'unisolated' &&
    document.getElementById('cover-text').textContent), kWaitMs).catch((e) => e.message);
  await sleep(1500);
  const loads = navigations.length - before;
  check(loads === 2 && /Cross-Origin-Opener-Policy: same-origin/.test(v) && /Cross-Origin-Embedder-Policy: require-corp/.test(v),
    'where the worker cannot isolate it, the page loads once more and then names the headers the host must send',
    `${loads} loads; ${v}`);
  await p.setBypassServiceWorker(false);
}

// Closed mid-run, the tab takes the production with it and leaves no error.
async function closeMidRun(p, url) {
  await p.goto(url);
  await ready(p);
  await p.mouse.click(640, 512);
  const running = await until('the production running', async () => (await stats(p)).frames > 60, kWaitMs).catch(() => false);
  if (!check(!!running, 'the production runs again before the tab is closed')) return;
  const before = errors.length;
  await p.close();
  await sleep(500);
  check(errors.length === before, 'a tab closed mid-run leaves no error', errors.slice(before).join(' | '));
}

async function main() {
  const t0 = Date.now();
  const url = await report.serve(webDir, plain);
  const browser = await launch();
  console.log(`${engine}: ${await browser.version()}`);
  const p = await browser.newPage();
  watch(p);
  const navigations = [];
  p.on('framenavigated', (f) => { if (f === p.mainFrame()) navigations.push(f.url()); });
  await p.evaluateOnNewDocument(kSeeAudioContexts);

  if (plain) await fromFiles(p);
  const loadsBefore = navigations.length;
  await p.goto(url);
  await ready(p);
  const loads = navigations.length - loadsBefore;
  // Isolated by the headers, the page registers its worker once it is ready, without waiting on it.
  const workers = await until('the service worker', () => p.evaluate(() => navigator.serviceWorker.getRegistrations()
    .then((r) => r.length)), kWaitMs).catch(() => 0);
  if (plain)
    check(loads === 2 && workers === 1, 'without the headers the page isolates itself through its service worker, loading once more', `${loads} loads`);
  else
    check(loads === 1 && workers === 1, 'with the headers the page loads once, its service worker keeping its files', `${loads} loads, ${workers} workers`);
  await play(browser, p);
  if (!silent) {
    if (plain && firefox) report.cannot('a page that its worker cannot reach', 'only the DevTools protocol can tell the browser to pass the worker by');
    else if (plain) await noLoop(p, url, navigations);
    else await missingPicture(p);
  }
  check(errors.length === 0, 'no uncaught exception, no error on the console and no failed load', errors.join('\n'));
  if (plain) await closeMidRun(p, url);
  console.log(`(${((Date.now() - t0) / 1000).toFixed(0)} s; screenshots and the console in ${outDir})`);
}

main().then(() => report.finish(), (e) => { console.log(`FAIL ${e.stack || e.message}`); ++report.failed; report.finish(1); });
