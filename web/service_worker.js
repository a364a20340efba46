// Keeps the page working offline once it was loaded from a server: every
// file of the page is kept, each request is answered from what was kept,
// and what the server has is fetched behind it for the next visit, so an
// updated page arrives one load later.
//
// Every answer also carries the two headers that make the page cross-origin
// isolated, which a plain static server does not send: from its second
// load on, the page may then share memory between threads, and runs its
// threaded variant.
"use strict";

var store = "zintrel-page";
// Kept at the first visit. The gallery's thumbnails (gallery/*.gif, about
// 6 MB) are not among them: each is kept as the gallery first shows it,
// as any file fetched is.
var files = ["./", "index.html", "page.css", "page.js", "page_worker.js", "page_video.js", "zintrel.js", "zintrel-threads.js",
             "zintrel-threads.worker.js", "mp4-muxer.js", "manifest.webmanifest", "icon-192.png", "icon-512.png"];

// The page's files are all its own, so requiring that of everything it
// embeds costs nothing.
function isolated(response) {
  if (!response || response.type === "opaque" || response.status === 0) return response;
  var headers = new Headers(response.headers);
  headers.set("Cross-Origin-Opener-Policy", "same-origin");
  headers.set("Cross-Origin-Embedder-Policy", "require-corp");
  return new Response(response.body, { status: response.status, statusText: response.statusText, headers: headers });
}

self.addEventListener("install", function (event) {
  event.waitUntil(caches.open(store).then(function (cache) { return cache.addAll(files); }));
  self.skipWaiting();
});

self.addEventListener("activate", function (event) {
  event.waitUntil(self.clients.claim());
});

self.addEventListener("fetch", function (event) {
  if (event.request.method !== "GET") return;
  event.respondWith(caches.open(store).then(function (cache) {
    return cache.match(event.request, { ignoreSearch: true }).then(function (kept) {
      var fresh = fetch(event.request).then(function (response) {
        if (response.ok) cache.put(event.request, response.clone());
        return response;
      });
      if (kept) {
        fresh.catch(function () {});
        return kept;
      }
      return fresh;
    });
  }).then(isolated));
});
