// The page's service worker. The module's threads need shared memory, which a browser gives only
// to a cross-origin isolated page: one whose own responses carry the two headers below. `make
// serve` sends them; most static hosts do not. Registered by page.js only where the page is not
// isolated already, this adds them to every response from the page's own origin (the page loads
// nothing from elsewhere), so that the page, loaded once more under it, is isolated.
'use strict';

const kIsolation = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
  'Cross-Origin-Resource-Policy': 'same-origin',
};

// In charge at once, of the page that registered it too, so that its one reload is under it.
self.addEventListener('install', () => self.skipWaiting());
self.addEventListener('activate', (e) => e.waitUntil(self.clients.claim()));

self.addEventListener('fetch', (e) => {
  const request = e.request;
  if (new URL(request.url).origin !== self.location.origin) return;
  // A request that may only be answered from the cache cannot be fetched again from here.
  if (request.cache === 'only-if-cached' && request.mode !== 'same-origin') return;
  e.respondWith(fetch(request).then(isolated));
});

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
