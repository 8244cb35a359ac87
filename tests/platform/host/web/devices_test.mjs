// The page on a phone and a tablet: Chromium's emulation of each (its screen, density, touch and
// browser), served with the isolation headers. For each it checks that the page lays itself out
// in the device's own width, that the picture fills the width in portrait and the height in
// landscape, whole and centred, with the page's own controls beside or below it and never over
// it; that a tap starts the production, that a tap on the picture does not end it (a touch is not
// the production's mouse), that the cover says how the run ends on a touch screen, and that the
// stop button ends it as Escape does. Screenshots of each in OUT_DIR. Prints
// "web-devices: N passed, M failed".
//   node tests/platform/host/web/devices_test.mjs WEB_DIR OUT_DIR
import path from 'node:path';
import { KnownDevices } from 'puppeteer-core';
import { Report, sleep, until, launchChromium } from './common.mjs';

const [webDir, outDir] = process.argv.slice(2);
const report = new Report('web-devices', outDir, 300000);
const check = report.check.bind(report);
const kDevices = ['iPhone SE', 'iPhone SE landscape', 'iPad Mini', 'iPad Mini landscape'];
// How long the test waits for what the page does next before it calls it a failure: long enough
// for a machine that other work keeps busy, since these are no measure of speed.
const kWaitMs = 30000;

async function device(browser, url, name) {
  const p = await browser.newPage();
  const errors = [];
  p.on('console', (m) => { report.lines.push(`[${name}] [${m.type()}] ${m.text()}`); if (m.type() === 'error') errors.push(m.text()); });
  p.on('pageerror', (e) => errors.push(`uncaught: ${e.message}`));
  p.on('response', (r) => { if (r.status() >= 400) errors.push(`${r.status()} for ${r.url()}`); });
  const d = KnownDevices[name];
  await p.emulate(d);
  await p.goto(url);
  await until('the start screen', () => p.evaluate(() => window.vadurerStats && vadurerStats().state === 'ready'), 2 * kWaitMs);
  const file = name.replace(/ /g, '-').toLowerCase();
  const cover = await p.evaluate(() => ({ W: innerWidth, scroll: document.documentElement.scrollWidth,
    hint: document.getElementById('cover-hint').textContent }));
  await p.screenshot({ path: path.join(outDir, `${file}-cover.png`) });
  check(cover.W === d.viewport.width && cover.scroll <= cover.W, `${name}: the page is laid out in the device's own width`,
    `${cover.W} px wide (the device ${d.viewport.width}), content ${cover.scroll}`);
  check(/touch screen/.test(cover.hint) && /stop/.test(cover.hint), `${name}: the cover says how the run ends on a touch screen`, cover.hint);

  await p.tap('#start');
  const started = await until('the first frames', async () => (await p.evaluate(() => vadurerStats())).frames > 30, kWaitMs).catch(() => false);
  if (!check(!!started, `${name}: a tap starts the production`)) return p.close();
  const v = await p.evaluate(() => vadurerStats());
  const l = v.layout, portrait = l.H > l.W;
  await p.screenshot({ path: path.join(outDir, `${file}-playing.png`) });
  // Portrait: the whole width (the controls go below, where there is room). Landscape: the whole
  // height, unless the margins beside it cannot hold the controls (a 4:3 tablet): then as large
  // as it can be beside or above them.
  const c = l.controls, near = (a, b) => Math.abs(a - b) <= 1;
  const fills = portrait ? near(l.w, l.W)
    : near(l.h, l.H) || (c && (near(l.w, l.W - c.w - 16) || near(l.h, l.H - c.h - 16)));
  const inside = l.x >= 0 && l.y >= 0 && l.x + l.w <= l.W + 0.5 && l.y + l.h <= l.H + 0.5;
  const apart = !c || c.x >= l.x + l.w || c.y >= l.y + l.h || c.x + c.w <= l.x || c.y + c.h <= l.y;
  const within = !c || (c.x >= 0 && c.y >= 0 && c.x + c.w <= l.W && c.y + c.h <= l.H);
  check(fills && inside && Math.abs(l.w * 3 - l.h * 4) <= 4 && Math.abs(l.x - (l.W - l.w) / 2) <= (l.side === 'beside' && c ? c.w + 16 : 1),
    `${name}: the picture fills the ${portrait ? 'width' : 'height'}, whole and centred`,
    `${l.w.toFixed(0)} × ${l.h.toFixed(0)} at ${l.x}, ${l.y} in ${l.W} × ${l.H}`);
  check(apart && within, `${name}: the page's controls ${l.side} the picture, never over it`,
    c ? `${c.w} × ${c.h} at ${c.x.toFixed(0)}, ${c.y.toFixed(0)}` : 'none');

  // (Looked at once the production has made frames enough after the tap to have read it.)
  const before = (await p.evaluate(() => vadurerStats())).frames;
  await p.touchscreen.tap(l.x + l.w / 2, l.y + l.h / 2);
  await sleep(500);
  const tapped = await until('frames after the tap', async () => {
    const s = await p.evaluate(() => vadurerStats());
    return s.state !== 'running' || s.frames > before + 30 ? s : null;
  }, kWaitMs).catch((e) => ({ state: e.message }));
  check(tapped.state === 'running', `${name}: a tap on the picture does not end the run`, tapped.state);
  await p.tap('#stop');
  const end = await until('the end screen', async () => {
    const s = await p.evaluate(() => vadurerStats());
    return s.state !== 'running' ? s : null;
  }, kWaitMs).catch((e) => ({ state: e.message }));
  check(end.state === 'ended' && end.exitCode === 27, `${name}: the stop button ends the run, as Escape does`, `${end.state}, ${end.exitCode}`);
  await p.screenshot({ path: path.join(outDir, `${file}-end.png`) });
  check(errors.length === 0, `${name}: no error on the console and no failed load`, errors.join(' | '));
  await p.close();
}

async function main() {
  const url = await report.serve(webDir, false);
  const browser = await launchChromium(report);
  for (const name of kDevices) await device(browser, url, name);
}

main().then(() => report.finish(), (e) => { console.log(`FAIL ${e.stack || e.message}`); ++report.failed; report.finish(1); });
