// The site's service worker: it keeps the whole site for use without the
// network, and gives rainbow_threaded's page the two headers that make a
// page cross-origin isolated, which its worker thread needs (shared memory)
// and which an ordinary static host does not send:
//   Cross-Origin-Opener-Policy: same-origin
//   Cross-Origin-Embedder-Policy: require-corp
// That second part is the technique of the coi-serviceworker package; it is
// a few lines here because a scope has one service worker, and this one
// must also cache.
//
// site/make_site.py fills in BUILD (a hash of the site's other files) and
// FILES when it puts the site together: a new build is a new worker with a
// new cache, which replaces the old one whole, so a page of one build never
// runs with the wasm of another.  The pictures people choose are in
// IndexedDB, which no update touches.
'use strict';
const BUILD = '@BUILD@';
const FILES = ['@FILES@'];
const CACHE = 'rainbow-' + BUILD;

// Each file is kept as the pages get it, headers and type already set, so a
// page's file comes straight out of the cache: the browser then reuses
// what it compiled of the .js and .wasm the time before, which it does not
// for a response made anew on every fetch.  cache: 'reload' passes by the
// browser's HTTP cache, which may still hold the previous build's files.
self.addEventListener('install', event => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    try {
      await Promise.all(FILES.map(async name => {
        const response = await fetch(new Request(name, {cache: 'reload'}));
        if (!response.ok) throw new TypeError(name + ': ' + response.status + ' ' + response.statusText);
        await cache.put(name, asServed(response, name));
      }));
    } catch (e) {
      await caches.delete(CACHE);  // a build is kept whole or not at all
      throw e;
    }
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', event => {
  event.waitUntil(caches.keys()
                      .then(names => Promise.all(names.filter(n => n.startsWith('rainbow-') && n !== CACHE)
                                                     .map(n => caches.delete(n))))
                      .then(() => self.clients.claim()));
});

// A page loaded past this worker (a forced reload) that needs isolation
// asks to be taken.
self.addEventListener('message', event => {
  if (event.data === 'claim') event.waitUntil(self.clients.claim());
});

// Types by name: a static host that does not know .wasm sends it as bytes,
// and the browser compiles wasm while it downloads only when it is typed.
const TYPES = {html: 'text/html; charset=utf-8', js: 'text/javascript', wasm: 'application/wasm',
               css: 'text/css', json: 'application/json', png: 'image/png', bmp: 'image/bmp',
               jpg: 'image/jpeg'};

// Only threaded.html is made isolated; its scripts, the worker thread's
// among them, and every other file carry the headers too, so whatever that
// page loads matches it.  The other pages go without: an isolated page
// opens in a browsing context group of its own, and the browser starts a
// new renderer process for it on every visit from an ordinary page (0.1 s
// later to the bows on a visit from the cache, measured).  Headers the
// server sent itself are kept.
function needsIsolation(path) {
  return !/\.html$/.test(path) || /(^|\/)threaded\.html$/.test(path);
}

function asServed(response, path) {
  if (!response || response.status === 0 || response.type === 'opaqueredirect') return response;
  const headers = new Headers(response.headers);
  if (needsIsolation(path)) {
    headers.set('Cross-Origin-Opener-Policy', 'same-origin');
    headers.set('Cross-Origin-Embedder-Policy', 'require-corp');
  }
  const type = TYPES[(/\.(\w+)$/.exec(path) || [])[1]];
  if (type) headers.set('Content-Type', type);
  return new Response(response.body,
                      {status: response.status, statusText: response.statusText, headers: headers});
}

self.addEventListener('fetch', event => {
  const request = event.request;
  const url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== location.origin) return;
  // The site's own files from this build's cache (pages whatever their
  // query: ?size=, ?picture=); anything else from the network.
  let path = url.pathname;
  const scope = new URL(self.registration.scope).pathname;
  if (path === scope) path += 'index.html';
  const name = path.startsWith(scope) ? path.slice(scope.length) : null;
  event.respondWith((async () => {
    const kept = name !== null && FILES.includes(name) ? await caches.match(name, {cacheName: CACHE}) : null;
    return kept || asServed(await fetch(request), path);
  })());
});
