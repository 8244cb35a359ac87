// The page as it travels and as it is kept, in Chromium, served by scripts/serve.mjs (which sends
// the brotli and gzip copies and answers revalidations): what a first visit transfers and how long
// it takes to "click to start" on Chromium's "Fast 4G" and "Fast 3G" network profiles; that a second
// visit fetches nothing of the release again; that with the network cut a reload still plays (the
// cube at 9.5 s); that a new build served at the same address replaces the kept files; Chromium's
// own installability check, the web app manifest's fields, the preview's tags and picture, and
// the page's HTML through tidy. Prints the figures and "web-load: N passed, M failed".
//   node tests/platform/host/web/load_test.mjs WEB_DIR ASSET_DIR OUT_DIR
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer, { PredefinedNetworkConditions } from 'puppeteer-core';
import { Report, sleep, until, readBmp, installBackground, kLook, checkCube } from './common.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../..');
const [webDir, assetDir, outDir] = process.argv.slice(2);
const report = new Report('web-load', outDir, 170000);
const check = report.check.bind(report);
const kAimBytes = 2.2e6, kAim4gMs = 3500, kAim3gMs = 15000;
const mb = (n) => `${(n / 1e6).toFixed(2)} MB`;

// scripts/serve.mjs, each response it sends counted: the bytes a visit transfers are those it sent
// meanwhile (bodies; headers are a few hundred bytes a file more).
class Server {
  constructor() { this.sent = []; }
  async start(dir, port = 0) {
    const child = spawn('node', [path.join(root, 'scripts/serve.mjs'), dir, String(port)], {
      stdio: ['ignore', 'pipe', 'inherit'], env: { ...process.env, VADURER_SERVE_LOG: '1' } });
    report.children.push(child);
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
const total = (responses) => responses.reduce((n, r) => n + r.bytes, 0);

const stats = (p) => p.evaluate(() => window.vadurerStats && vadurerStats());
const ready = (p, ms = 30000) => until('the start screen', async () => (await stats(p))?.state === 'ready', ms, 50);
const release = (p) => p.evaluate(async () => ({
  caches: (await caches.keys()).filter((k) => k.startsWith('vadurer-')),
  waiting: !!(await navigator.serviceWorker.getRegistration())?.waiting,
  controlled: !!navigator.serviceWorker.controller,
}));
// Until the worker keeps the release the page has loaded (it is fetched in once the page is ready).
const kept = (p) => until('the release kept', async () => (await release(p)).caches.length > 0 &&
  await p.evaluate(async (id) => !!(await caches.open((await caches.keys()).find((k) => k.endsWith(id)))).match('pictures.lzma'),
    (await stats(p)).release), 20000, 200);

// A first visit in a fresh profile on a network profile: the time from the navigation to
// "click to start", and what the server sent for it (the worker's keeping included).
async function firstVisit(browser, server, profile, incognito) {
  // (A context of its own, as a fresh visitor; the browser's own is kept for the installability
  // check, which Chromium does not make in one of those.)
  const context = incognito ? await browser.createBrowserContext() : browser.defaultBrowserContext();
  const p = await context.newPage();
  await p.emulateNetworkConditions(PredefinedNetworkConditions[profile]);
  const mark = server.mark();
  await p.goto(server.url);
  await ready(p, 60000);
  const v = await stats(p);
  console.log(`${profile}: ${v.marks.map(([w, t]) => `${w} ${t}`).join(', ')}`);
  await kept(p).catch(() => {});
  const sent = server.since(mark);
  await p.screenshot({ path: path.join(outDir, `ready-${profile.replace(/ /g, '-').toLowerCase()}.png`) });
  return { p, context, readyMs: v.readyMs, bytes: total(sent), sent };
}

async function main() {
  const server = new Server();
  await server.start(webDir);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vadurer-load-'));
  report.cleanups.push(() => fs.rmSync(profile, { recursive: true, force: true }));
  const browser = await puppeteer.launch({
    browser: 'chrome', executablePath: process.env.VADURER_CHROMIUM || '/usr/bin/chromium', headless: true,
    userDataDir: profile, defaultViewport: { width: 1280, height: 1024 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required'],
  });
  report.cleanups.unshift(() => browser.close());

  // ---- Size and load times.
  const slow = await firstVisit(browser, server, 'Fast 3G', true);
  await slow.context.close();
  const fast = await firstVisit(browser, server, 'Fast 4G', false);
  const p = fast.p;
  const byFile = fast.sent.filter((r) => r.bytes > 20000).map((r) => `${r.path.slice(1)} ${(r.bytes / 1e3).toFixed(0)} KB`).join(', ');
  console.log(`figures (web-load): first visit ${mb(fast.bytes)} in ${fast.sent.length} responses (${byFile}); ` +
    `"click to start" ${(fast.readyMs / 1000).toFixed(2)} s on Fast 4G, ${(slow.readyMs / 1000).toFixed(2)} s on Fast 3G`);
  check(fast.bytes <= kAimBytes, `a first visit transfers at most ${mb(kAimBytes)}`, mb(fast.bytes));
  check(fast.readyMs <= kAim4gMs, `"click to start" within ${kAim4gMs / 1000} s on Fast 4G`, `${(fast.readyMs / 1000).toFixed(2)} s`);
  check(slow.readyMs <= kAim3gMs, `"click to start" within ${kAim3gMs / 1000} s on Fast 3G`, `${(slow.readyMs / 1000).toFixed(2)} s`);
  const progress = await p.evaluate(() => vadurerStats().loaded);
  check(progress > 1.5e6, 'the progress bar counted the bytes as they came', `${progress} bytes counted`);

  // ---- A second visit fetches nothing of the release again.
  await p.emulateNetworkConditions(null);
  const kept1 = await release(p);
  let mark = server.mark();
  await p.reload();
  await ready(p);
  const again = server.since(mark).filter((r) => r.status === 200 && r.path !== '/service-worker.js');
  check(kept1.caches.length === 1 && again.length === 0, 'a second visit loads nothing of the release again, from its kept files',
    `${kept1.caches.join()}; fetched again: ${again.map((r) => r.path).join(', ') || 'nothing'}`);

  // ---- Offline: the kept files play.
  await p.setOfflineMode(true);
  await p.reload();
  const offline = await ready(p).then(() => true, (e) => e.message);
  if (check(offline === true, 'with the network cut, a reload comes up from the kept files', String(offline))) {
    const background = readBmp(path.join(assetDir, '3Z-ER-AVE.bmp'));
    await p.evaluate(installBackground(background));
    await p.mouse.click(640, 512);
    await sleep(9500);
    checkCube(report, await p.evaluate(kLook), background);
    await p.screenshot({ path: path.join(outDir, 'offline-at-9.5s.png') });
    await p.keyboard.press('Escape');
  }
  await p.setOfflineMode(false);

  // ---- A new build at the same address replaces the kept files.
  const next = path.join(outDir, 'next');
  fs.rmSync(next, { recursive: true, force: true });
  fs.cpSync(webDir, next, { recursive: true });
  fs.appendFileSync(path.join(next, 'page.css'), '/* the next release */\n');
  execFileSync('node', [path.join(root, 'scripts/web-release.mjs'), next, 'next'], { stdio: 'ignore' });
  const oldRelease = (await stats(p)).release, port = new URL(server.url).port;
  await server.stop();
  await server.start(next, port);
  // The old release plays; the browser looks for a newer worker (as it does at a navigation, asked
  // here so as not to wait on its timing) and the newer one fetches its release beside the old.
  await p.reload();
  await ready(p);
  const updated = await p.evaluate(() => navigator.serviceWorker.getRegistration().then((r) => r.update()).then(() => 'looked', (e) => e.message));
  const fetched = await until('the new release fetched', async () => (await release(p)).waiting, 30000, 200).catch((e) => e.message);
  console.log(`the newer release: ${updated}, ${fetched}; ${JSON.stringify(await release(p))}`);
  await p.reload();  // the new release takes over, and the page loads once more
  await until('the new release', async () => (await stats(p))?.release !== oldRelease && (await stats(p))?.state === 'ready', 30000, 200)
    .catch(() => {});
  const after = await release(p), newRelease = (await stats(p))?.release;
  check(newRelease !== oldRelease && after.caches.length === 1 && after.caches[0].endsWith(newRelease),
    'a new build served at the same address replaces the kept files', `${oldRelease} → ${newRelease}; caches: ${after.caches.join()}`);

  // ---- Installable, with a manifest, icons and a preview.
  const cdp = await p.createCDPSession();
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  check(installabilityErrors.length === 0, 'Chromium finds the page installable',
    installabilityErrors.map((e) => e.errorId).join(', ') || 'no errors');
  const manifest = JSON.parse(fs.readFileSync(path.join(webDir, 'manifest.webmanifest'), 'utf8'));
  const iconSizes = manifest.icons.map((i) => {
    const png = fs.readFileSync(path.join(webDir, i.src));
    return `${i.sizes}=${png.readUInt32BE(16)}x${png.readUInt32BE(20)}`;
  });
  check(manifest.name === 'Stop The Vadurer' && manifest.short_name && manifest.description && manifest.display === 'fullscreen' &&
    manifest.orientation === 'landscape' && manifest.background_color === '#000000' && manifest.theme_color === '#000000' &&
    iconSizes.includes('192x192=192x192') && iconSizes.includes('512x512=512x512'),
  'the manifest names the production, its icons (192 and 512, as they are), fullscreen, landscape, black',
  `${manifest.short_name}, ${manifest.display}, ${manifest.orientation}, ${iconSizes.join(' ')}`);
  const head = await p.evaluate(() => {
    const meta = (sel) => document.querySelector(sel)?.getAttribute('content');
    return { description: meta('meta[name="description"]'), theme: meta('meta[name="theme-color"]'), title: meta('meta[property="og:title"]'),
      image: meta('meta[property="og:image"]'), card: meta('meta[name="twitter:card"]'), twitterImage: meta('meta[name="twitter:image"]'),
      icon: !!document.querySelector('link[rel="icon"]'), apple: document.querySelector('link[rel="apple-touch-icon"]')?.getAttribute('href'),
      noscript: document.querySelector('noscript')?.textContent || '' };
  });
  const preview = fs.readFileSync(path.join(webDir, head.image.replace(/^.*\//, '')));
  const previewSize = `${preview.readUInt32BE(16)}x${preview.readUInt32BE(20)}`;
  check(head.description && head.theme === '#000000' && head.title === 'Stop The Vadurer' && head.card === 'summary_large_image' &&
    /preview\.png$/.test(head.image) && head.twitterImage === head.image && previewSize === '1200x630' && head.icon &&
    head.apple === 'icon-180.png' && /JavaScript/.test(head.noscript),
  'the page has its description, theme colour, Open Graph and Twitter card tags, a 1200 × 630 preview, icons and a noscript text',
  `${head.image} (${previewSize}), ${head.card}`);

  // ---- The HTML as tidy reads it. (tidy 5.6's attribute tables predate aria-modal and
  // fetchpriority, which it calls proprietary.)
  let tidy = '';
  try {
    execFileSync('tidy', ['-e', '-q', path.join(webDir, 'index.html')], { stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (e) {
    tidy = String(e.stderr || '') + (e.status === 2 ? ' (errors)' : '');
  }
  const complaints = tidy.split('\n').filter((l) => l.trim() && !/proprietary attribute "(aria-modal|fetchpriority)"/.test(l));
  check(complaints.length === 0, 'tidy finds nothing wrong in the page\'s HTML', complaints.join(' | ') || 'clean');
}

main().then(() => report.finish(), (e) => { console.log(`FAIL ${e.stack || e.message}`); ++report.failed; report.finish(1); });
