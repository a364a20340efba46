#!/usr/bin/python3
"""The static server the audits load the page from answers as a production
server would: text and scripts gzip-compressed exactly when the client
accepts it, marked so for caches, each file under its MIME type, and
nothing from outside its folder.

Usage: static_server_test.py
"""
import gzip
import http.client
import os
import tempfile
import unittest

from static_server import StaticServer

FILES = {
    "index.html": b"<!DOCTYPE html><title>t</title>" * 40,
    "page.js": b"var x = 1;\n" * 200,
    "page.css": b"body { margin: 0; }\n" * 100,
    "manifest.webmanifest": b'{"name": "' + b"t" * 300 + b'"}',
    "zintrel.wasm": b"\0asm\1\0\0\0" + b"\0" * 500,
    "icon.png": b"\x89PNG\r\n\x1a\n" + b"\0" * 500,
    "sub/index.html": b"<p>sub</p>",
}


class StaticServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="zintrel-static-server-test-")
        cls.root = os.path.join(cls.work.name, "page")
        for name, data in FILES.items():
            os.makedirs(os.path.dirname(os.path.join(cls.root, name)), exist_ok=True)
            with open(os.path.join(cls.root, name), "wb") as file:
                file.write(data)
        with open(os.path.join(cls.work.name, "secret.txt"), "wb") as file:
            file.write(b"outside")
        cls.server = StaticServer(cls.root, {"X-Extra": "yes"})
        address = cls.server.__enter__()
        cls.port = int(address.rsplit(":", 1)[1].strip("/"))

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.work.cleanup()

    def get(self, path, encoding=None, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request(method, path, headers={"Accept-Encoding": encoding} if encoding else {})
            response = connection.getresponse()
            return response.status, {k.lower(): v for k, v in response.getheaders()}, response.read()
        finally:
            connection.close()

    def test_each_file_has_its_type_and_is_compressed_only_when_accepted(self):
        cases = [  # path, MIME type, compressible
            ("/index.html", "text/html; charset=utf-8", True),
            ("/page.js", "text/javascript; charset=utf-8", True),
            ("/page.css", "text/css; charset=utf-8", True),
            ("/manifest.webmanifest", "application/manifest+json", True),
            ("/zintrel.wasm", "application/wasm", True),
            ("/icon.png", "image/png", False),
        ]
        for path, content_type, compressible in cases:
            original = FILES[path[1:]]
            for encoding, encoded in (("gzip, deflate, br", compressible), ("br;q=1.0, gzip;q=0.5", compressible),
                                      ("*", compressible), ("gzip;q=0", False), ("identity", False), (None, False)):
                with self.subTest(path=path, encoding=encoding):
                    status, headers, body = self.get(path, encoding)
                    self.assertEqual(status, 200)
                    self.assertEqual(headers["content-type"], content_type)
                    self.assertEqual(headers["content-length"], str(len(body)))
                    self.assertEqual(headers.get("content-encoding"), "gzip" if encoded else None)
                    self.assertEqual(headers.get("vary"), "Accept-Encoding" if compressible else None)
                    self.assertEqual(headers["x-extra"], "yes")
                    self.assertEqual(gzip.decompress(body) if encoded else body, original)
                    if encoded:
                        self.assertLess(len(body), len(original))

    def test_a_folder_gives_its_index_and_head_gives_no_body(self):
        self.assertEqual(self.get("/")[2], FILES["index.html"])
        self.assertEqual(self.get("/sub/")[2], FILES["sub/index.html"])
        status, headers, body = self.get("/page.js", "gzip", method="HEAD")
        self.assertEqual((status, body, headers["content-encoding"]), (200, b"", "gzip"))
        self.assertEqual(int(headers["content-length"]), len(gzip.compress(FILES["page.js"], 6, mtime=0)))

    def test_nothing_outside_the_folder_or_missing_is_served(self):
        for path in ("/../secret.txt", "/%2e%2e/secret.txt", "/sub/../../secret.txt", "/missing.js"):
            with self.subTest(path=path):
                status, _, body = self.get(path)
                self.assertEqual(status, 404)
                self.assertNotIn(b"outside", body)


if __name__ == "__main__":
    unittest.main(verbosity=2)
