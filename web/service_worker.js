// Keeps the page working offline once it was loaded from a server: every
// file of the page is kept, each request is answered from what was kept,
// and what the server has is fetched behind it for the next visit, so an
// updated page arrives one load later.
"use strict";

var store = "zintrel-page";
var files = ["./", "index.html", "page.css", "page.js", "zintrel.js", "manifest.webmanifest", "icon-192.png",
             "icon-512.png"];

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
  }));
});
