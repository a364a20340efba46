"""A static server for the page's folder on the loopback that answers as a
production server would: text and scripts gzip-compressed for a browser
that accepts it, and every file under its proper MIME type. Audits of
loading speed judge the page by what crosses the wire, so a server that
sends scripts uncompressed, or a WebAssembly file as octet-stream, would
blame the page for the server.

    with StaticServer(page_dir) as address:    # http://127.0.0.1:PORT/
        ...
"""
import gzip
import http.server
import os
import sys
import threading
import urllib.parse

# Python's own table lacks some of these, and which it has depends on the
# machine's /etc/mime.types.
TYPES = {
    ".html": "text/html; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".json": "application/json",
    ".webmanifest": "application/manifest+json",
    ".wasm": "application/wasm",
    ".png": "image/png",
    ".svg": "image/svg+xml",
    ".txt": "text/plain; charset=utf-8",
}
# PNG is compressed already; gzip would only cost time.
COMPRESSED_TYPES = ("text/", "application/json", "application/manifest+json", "application/wasm", "image/svg+xml")


def accepts_gzip(header):
    """Returns whether an Accept-Encoding header admits gzip: named with
    no weight or a weight above 0, or admitted by a positive *."""
    weights = {}
    for part in (header or "").split(","):
        name, _, params = part.strip().partition(";")
        weight = 1.0
        params = params.strip().replace(" ", "")
        if params.startswith("q="):
            try:
                weight = float(params[2:])
            except ValueError:
                weight = 0.0
        weights[name.strip().lower()] = weight
    return weights.get("gzip", weights.get("*", 0.0)) > 0


class CompressingHandler(http.server.BaseHTTPRequestHandler):
    # Connections kept open between requests, as a browser expects of a
    # real server.
    protocol_version = "HTTP/1.1"
    directory = "."
    extra_headers = {}
    # Each file is compressed once for the life of the server, keyed by its
    # modification time, so a rebuilt page is never answered stale.
    cache = {}
    cache_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.answer(with_body=True)

    def do_HEAD(self):
        self.answer(with_body=False)

    def local_path(self):
        """Returns the file the request names inside the folder, or None
        for anything outside it."""
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        root = os.path.realpath(self.directory)
        local = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if local != root and not local.startswith(root + os.sep):
            return None
        if os.path.isdir(local):
            local = os.path.join(local, "index.html")
        return local if os.path.isfile(local) else None

    def answer(self, with_body):
        local = self.local_path()
        if local is None:
            self.send_error(404)
            return
        content_type = TYPES.get(os.path.splitext(local)[1].lower(), "application/octet-stream")
        compressible = content_type.startswith(COMPRESSED_TYPES)
        encoded = compressible and accepts_gzip(self.headers.get("Accept-Encoding"))
        body = self.body(local, encoded)
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        if compressible:
            # A cache between must not give a compressed answer to a
            # client that did not ask for one, nor the reverse.
            self.send_header("Vary", "Accept-Encoding")
        if encoded:
            self.send_header("Content-Encoding", "gzip")
        for name, value in self.extra_headers.items():
            self.send_header(name, value)
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def body(self, local, encoded):
        with open(local, "rb") as file:
            data = file.read()
        if not encoded:
            return data
        key = (local, os.stat(local).st_mtime_ns, len(data))
        with self.cache_lock:
            if key not in self.cache:
                self.cache[key] = gzip.compress(data, compresslevel=6, mtime=0)
            return self.cache[key]


class QuietServer(http.server.ThreadingHTTPServer):
    """Says nothing of a browser that closes a connection mid-answer, as
    one does that stops loading a page: only of a fault of the server's."""

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class StaticServer:
    """Serves directory on 127.0.0.1 at a free port while in its with
    block, adding extra_headers to every answer."""

    def __init__(self, directory, extra_headers=None):
        self.handler = type("Handler", (CompressingHandler,), {
            "directory": directory, "extra_headers": dict(extra_headers or {}), "cache": {}})
        self.httpd = None

    def __enter__(self):
        self.httpd = QuietServer(("127.0.0.1", 0), self.handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        return "http://127.0.0.1:%d/" % self.httpd.server_address[1]

    def stop(self):
        if self.httpd is not None:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.httpd = None

    def __exit__(self, *exc):
        self.stop()
