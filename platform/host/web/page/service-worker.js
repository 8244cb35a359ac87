// The page's service worker. It keeps the page's files for the visits after the first, so that a
// second visit loads nothing that has not changed and a visit without the network plays all the
// same; and it makes the page cross-origin isolated on a host that does not send the two headers
// the module's threads need.
//
// The release stamped below (scripts/web-release.mjs) names the files and gives the cache its
// name: the version and an id drawn from the files' content. A worker installs by fetching the
// whole release into its cache, telling the page how far it has got; the first one takes charge
// at once. A new release (a new worker, as its stamp differs) fetches its files beside the old
// ones and waits until no tab shows the page (a reload keeps the release it has), then takes
// charge at the next visit and drops the older caches. (Asked to take over in an open tab, a busy
// browser can hold the hand-over back for minutes, and the page's loads with it.)
'use strict';

const kRelease = null; // the release (scripts/web-release.mjs)
const kCache = kRelease ? `vadurer-${kRelease.version}-${kRelease.id}` : null;
const kIsolation = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
  'Cross-Origin-Resource-Policy': 'same-origin',
};

self.addEventListener('install', (e) => e.waitUntil(install()));
self.addEventListener('activate', (e) => e.waitUntil(activate()));

async function install() {
  if (kCache) await fetchRelease();
  if (!self.registration.active) await self.skipWaiting();
}

async function activate() {
  for (const name of await caches.keys())
    if (name.startsWith('vadurer-') && name !== kCache) await caches.delete(name);
  await self.clients.claim();
}

// Every file of the release into the cache (those already there from an install cut short are
// kept), the bytes counted as they come and told to the page.
async function fetchRelease() {
  const cache = await caches.open(kCache);
  const names = Object.keys(kRelease.files);
  const total = names.reduce((n, f) => n + (kRelease.files[f] || 0), 0);
  let loaded = 0, told = 0;
  const tell = async (done) => {
    if (!done && loaded - told < 65536) return;
    told = loaded;
    for (const client of await self.clients.matchAll({ includeUncontrolled: true, type: 'window' }))
      client.postMessage({ type: 'progress', loaded, total, release: kRelease.id });
  };
  await Promise.all(names.map(async (name) => {
    if (await cache.match(name)) {
      loaded += kRelease.files[name] || 0;
      return;
    }
    const response = await fetch(name, { cache: 'no-cache' });
    if (!response.ok) throw new Error(`${name}: ${response.status} ${response.statusText}`);
    const parts = [];
    const reader = response.body.getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      parts.push(value);
      if (kRelease.files[name]) loaded += value.length;
      await tell(false);
    }
    const headers = new Headers(response.headers);
    headers.delete('Content-Encoding');
    headers.delete('Content-Length');
    await cache.put(name, new Response(new Blob(parts), { status: response.status, statusText: response.statusText, headers }));
  }));
  await tell(true);
}

self.addEventListener('fetch', (e) => {
  const request = e.request;
  const url = new URL(request.url);
  if (url.origin !== self.location.origin || request.method !== 'GET') return;
  // A request that may only be answered from the cache cannot be fetched again from here.
  if (request.cache === 'only-if-cached' && request.mode !== 'same-origin') return;
  e.respondWith(answer(request, url));
});

// From the release's cache where it holds the file, else from the network; with the isolation
// headers either way.
async function answer(request, url) {
  const scope = new URL(self.registration.scope);
  let name = url.pathname.startsWith(scope.pathname) ? url.pathname.slice(scope.pathname.length) : null;
  if (name === '') name = 'index.html';
  if (kCache && name !== null && name in kRelease.files) {
    const cached = await (await caches.open(kCache)).match(name);
    if (cached) return isolated(cached);
  }
  return isolated(await fetch(request));
}

function isolated(response) {
  // A redirect or an opaque answer is handed on as it is: it has no headers to add to.
  if (response.status === 0 || response.type === 'opaqueredirect') return response;
  const headers = new Headers(response.headers);
  for (const [name, value] of Object.entries(kIsolation)) headers.set(name, value);
  // The body comes decoded and measured anew: the host's coding and length no longer apply.
  headers.delete('Content-Encoding');
  headers.delete('Content-Length');
  const body = [101, 204, 205, 304].includes(response.status) ? null : response.body;
  return new Response(body, { status: response.status, statusText: response.statusText, headers });
}
