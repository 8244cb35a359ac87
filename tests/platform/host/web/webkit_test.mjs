// Plays the built page (build/web) in WebKit, the engine of Safari, as Debian ships it: WebKitGTK's
// MiniBrowser driven through its WebDriver server (WebKitWebDriver) on a display of its own.
//
// WebKitGTK keeps SharedArrayBuffer switched off unless its JavaScript engine is told otherwise,
// and the module's threads cannot start without it; Safari has it on for an isolated page. So the
// test runs the browser twice: as it comes, where the page must say in words what it lacks; and
// with JSC_useSharedArrayBuffer=1, as Safari has it, where the page loads, starts on a click,
// shows the cube at 9.5 s with its sound running and reaches the end screen. Served with the
// isolation headers, or with --plain by a plain static server (the page's service worker isolates
// it). The look at the canvas goes by the production's own clock, and what the test waits for it
// waits for long enough for a busy machine. Prints one figures line and "LABEL: N passed, M failed".
//   node tests/platform/host/web/webkit_test.mjs WEB_DIR ASSET_DIR OUT_DIR [--plain] [--label LABEL]
// Needs DISPLAY (scripts/xvfb.sh).
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { Builder, By, Key } from 'selenium-webdriver';
import {
  Report, until, readBmp, installBackground, kLook, kWatchFrames, checkCube, soundFigures, pacingFigures, kLookedPng, writePng,
} from './common.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => { const i = args.indexOf(name); return i >= 0 ? args.splice(i, 2)[1] : fallback; };
const flag = (name) => { const i = args.indexOf(name); return i >= 0 && args.splice(i, 1).length > 0; };
const plain = flag('--plain');
const label = option('--label', `web-webkit${plain ? '-plain' : ''}`);
const [webDir, assetDir, outDir] = args;
const report = new Report(label, outDir, 300000);
const check = report.check.bind(report);
const miniBrowser = process.env.VADURER_MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
// How long the test waits for what the page or the browser does next before it calls it a failure:
// long enough for a machine that other work keeps busy, since these are no measure of speed.
const kWaitMs = 30000;

// One browser session; sharedMemory: started as Safari has it.
async function session(sharedMemory, pulse) {
  const env = { ...process.env, PULSE_SERVER: pulse };
  if (sharedMemory) env.JSC_useSharedArrayBuffer = '1';
  else delete env.JSC_useSharedArrayBuffer;
  // The driver takes no port 0 and says nothing when it listens: a free port, then its status.
  const port = await freePort();
  report.start('WebKitWebDriver', [`--port=${port}`], /$^/, env).catch((e) => console.log(e.message));
  await until('the WebDriver server', () => fetch(`http://127.0.0.1:${port}/status`).then((r) => r.ok), kWaitMs);
  const driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] },
  }).build();
  report.cleanups.unshift(() => driver.quit());
  // (A look at the production's clock waits in the page for its moment.)
  await driver.manage().setTimeouts({ script: 4 * kWaitMs });
  return driver;
}

function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// A value the page works out, as JSON made by the page itself: WebKitWebDriver's own conversion of
// a large result (the frames seen, the look's counts) now and then fails ("Could not parse script
// result") on a busy machine.
const valueOf = async (d, expression) => JSON.parse(await d.executeScript(`return Promise.resolve(${expression}).then((v) => JSON.stringify(v ?? null))`));
const stats = (d) => valueOf(d, 'window.vadurerStats ? vadurerStats() : null');
const shot = async (d, name) => fs.writeFileSync(path.join(outDir, name), Buffer.from(await d.takeScreenshot(), 'base64'));

async function withoutSharedMemory(url, pulse) {
  const d = await session(false, pulse);
  console.log(`webkit: ${(await d.getCapabilities()).get('browserVersion')}, as it comes`);
  await d.get(url);
  const v = await until('the page\'s word', async () => {
    const s = await stats(d);
    return s && s.state !== 'loading' ? { ...s, text: await d.findElement(By.id('cover-text')).getText() } : null;
  }, kWaitMs).catch((e) => ({ state: e.message }));
  await shot(d, 'no-shared-memory.png');
  check(v.state === 'unsupported' && /SharedArrayBuffer/.test(v.text) && /Safari/.test(v.text),
    'where the engine gives the page no shared memory, the page says so in words instead of loading for ever',
    `${v.state}: ${v.text}`);
  await d.quit();
  report.cleanups.shift();
}

async function withSharedMemory(url, pulse) {
  const d = await session(true, pulse);
  console.log(`webkit: ${(await d.getCapabilities()).get('browserVersion')}, with SharedArrayBuffer on (as Safari has it)`);
  await d.get(url);
  const ready = await until('the start screen', async () => (await stats(d))?.state === 'ready', 2 * kWaitMs).catch((e) => e.message);
  check(ready === true, 'the page loads to its start screen', String(ready));
  if (ready !== true) return;
  check(await d.executeScript('return window.crossOriginIsolated'), 'the page is cross-origin isolated');
  const background = readBmp(path.join(assetDir, '3Z-ER-AVE.bmp'));
  await d.executeScript(`${installBackground(background)}; return true;`);
  await d.executeScript(`return ${kWatchFrames}`);
  await d.findElement(By.id('start')).click();
  const first = await until('the first frame', async () => (await stats(d)).frames > 0, kWaitMs).catch((e) => e.message);
  check(first === true, 'a click starts it', String(first));
  // At the first refresh that shows a frame made 9.5 s into the production (or the last before it,
  // where the next was the flash's at 10 s).
  const look = await valueOf(d, `testFrames.lookAt(9500, ${kLook}, 10000)`);
  writePng(path.join(outDir, 'at-9.5s.png'), await d.executeScript(`return ${kLookedPng}`));
  const seen = checkCube(report, look, background, await valueOf(d, 'testFrames.frames'));
  const mid = await stats(d);
  check(mid.state === 'running' && mid.sound === 'playing' && mid.audioRead > 44100 * 5 && mid.audioPeak > 1000,
    'its sound runs', `${mid.state}, ${mid.sound}, ${mid.audioState} at ${mid.audioRate} Hz, ${mid.audioRead} frames played, peak ${mid.audioPeak}`);
  const { fps } = pacingFigures((await stats(d)).handedAt);
  await d.actions().keyDown(Key.ESCAPE).keyUp(Key.ESCAPE).perform();
  const end = await until('the end screen', async () => {
    const v = await stats(d);
    return v.state !== 'running' ? v : null;
  }, kWaitMs).catch((e) => ({ state: e.message }));
  const endShown = await d.executeScript('return !document.getElementById("end").hidden');
  await shot(d, 'end.png');
  check(end.state === 'ended' && end.exitCode === 27 && endShown, 'Escape ends the run at the end screen', `${end.state}, ${end.exitCode}`);
  console.log(`figures (${label}): first frame ${(end.firstFrameMs ?? NaN).toFixed(0)} ms after the click; ` +
    `${fps.toFixed(2)} frames/s in scene 1 (from 7.5 s to the look at 9.5 s); sound: ` +
    `${end.soundStartMs === null ? 'none' : `from ${end.soundStartMs.toFixed(0)} ms after the click`}, ${soundFigures(end)}; at 9.5 s: ${seen}`);
}

async function main() {
  const t0 = Date.now();
  const url = await report.serve(webDir, plain);
  const pulse = await report.soundServer(path.join(outDir, 'pulse'));
  await withoutSharedMemory(url, pulse);
  await withSharedMemory(url, pulse);
  console.log(`(${((Date.now() - t0) / 1000).toFixed(0)} s; screenshots in ${outDir})`);
}

main().then(() => report.finish(), (e) => { console.log(`FAIL ${e.stack || e.message}`); ++report.failed; report.finish(1); });
