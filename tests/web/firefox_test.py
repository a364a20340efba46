#!/usr/bin/python3
"""The real page in headless Firefox ESR, from a file:// address: it loads
and its darts move, a state opened through the file input shows the frame
zintrel-headless draws of it pixel for pixel, and a link reopened reaches,
after the ticks the page ran, the very state the tool reaches after as
many: Firefox's WebAssembly gives the bits of every other build. So does
a gallery entry followed within the page.

Debian packages no WebDriver for Firefox, so the test speaks the browser's
own WebDriver BiDi over its WebSocket.

Usage: firefox_test.py PAGE_DIR HEADLESS_TOOL
"""
import asyncio
import base64
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import websockets

from page_checks import first_drawing, paused_state, rgb_of_png, ticks_to_reach

PAGE_DIR, HEADLESS = sys.argv[1], sys.argv[2]


class Firefox:
    """A headless Firefox ESR with a profile of its own, driven over
    WebDriver BiDi: one session, one tab."""

    def __init__(self, profile):
        self.process = subprocess.Popen(
            ["firefox-esr", "--headless", "--no-remote", "--profile", profile, "--width", "1000",
             "--height", "700", "--remote-debugging-port", "0", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        # All that Firefox writes is kept, so that it never waits on a full
        # pipe, and shown if it does not start.
        self.log = []
        listening = threading.Event()

        def read():
            for line in self.process.stderr:
                self.log.append(line)
                if "WebDriver BiDi listening on" in line:
                    listening.set()

        threading.Thread(target=read, daemon=True).start()
        if not listening.wait(60):
            self.process.kill()
            raise RuntimeError("Firefox did not start: " + "".join(self.log))
        address = re.search(r"listening on (ws://\S+)", "".join(self.log)).group(1)
        self.loop = asyncio.new_event_loop()
        asyncio.set_event_loop(self.loop)
        self.socket = self.loop.run_until_complete(self._connect(address + "/session"))
        self.last_id = 0
        self.call("session.new", {"capabilities": {}})
        self.tab = self.call("browsingContext.getTree", {})["contexts"][0]["context"]

    @staticmethod
    async def _connect(address):
        return await websockets.connect(address, max_size=None, open_timeout=30)

    def call(self, method, params):
        self.last_id += 1
        return self.loop.run_until_complete(self._call(self.last_id, method, params))

    async def _call(self, number, method, params):
        await self.socket.send(json.dumps({"id": number, "method": method, "params": params}))
        while True:
            message = json.loads(await self.socket.recv())
            if message.get("id") == number:
                if message.get("type") == "error":
                    raise RuntimeError("%s: %s" % (method, message.get("message") or message.get("error")))
                return message["result"]

    def open(self, address):
        self.call("browsingContext.navigate", {"context": self.tab, "url": address, "wait": "complete"})

    def run(self, body):
        """Returns what the function body returns in the page, through JSON."""
        result = self.call("script.evaluate", {"expression": "JSON.stringify((() => {%s})())" % body,
                                               "target": {"context": self.tab}, "awaitPromise": False})
        if result["type"] != "success":
            raise RuntimeError("the page threw: %s" % json.dumps(result.get("exceptionDetails")))
        value = result["result"].get("value")  # None where the body returns nothing
        return None if value is None else json.loads(value)

    def ask(self, what):
        """Returns the program's answer to what, from the page's worker."""
        result = self.call("script.evaluate", {"expression": "Zintrel.ask(%s).then(JSON.stringify)" % json.dumps(what),
                                               "target": {"context": self.tab}, "awaitPromise": True})
        if result["type"] != "success":
            raise RuntimeError("the page threw: %s" % json.dumps(result.get("exceptionDetails")))
        return json.loads(result["result"]["value"])

    def choose_file(self, element_id, path):
        """Chooses path in the page's file input, as its file dialog would."""
        node = self.call("script.evaluate", {"expression": "document.getElementById('%s')" % element_id,
                                             "target": {"context": self.tab}, "awaitPromise": False})
        self.call("input.setFiles", {"context": self.tab, "element": {"sharedId": node["result"]["sharedId"]},
                                     "files": [path]})

    def quit(self):
        try:
            self.loop.run_until_complete(self.socket.close())
        finally:
            self.loop.close()
            self.process.terminate()
            self.process.wait(timeout=30)


class FirefoxPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="zintrel-firefox-test-")
        profile = os.path.join(cls.work.name, "profile")
        os.mkdir(profile)
        cls.browser = Firefox(profile)
        cls.address = "file://" + os.path.abspath(os.path.join(PAGE_DIR, "index.html"))

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.work.cleanup()

    def load(self, address):
        # From another page first, so that an address differing only in its
        # fragment loads the page afresh.
        self.browser.open("about:blank")
        self.browser.open(address)
        self.wait_for(lambda: self.browser.run("return Zintrel.frameSize()[0] > 0"),
                      "the page does not start")

    def wait_for(self, condition, failure, seconds=30):
        deadline = time.time() + seconds
        while not condition():
            if time.time() > deadline:
                self.fail(failure)
            time.sleep(0.1)

    def frame(self):
        """Returns (width, height, RGB bytes) of the canvas as it stands."""
        width, height, url = self.browser.ask("frame")
        return width, height, rgb_of_png(base64.b64decode(url.split(",", 1)[1])) if url else b""

    def click(self, element_id):
        self.browser.run("document.getElementById('%s').click();" % element_id)

    def test_loads_runs_and_shows_an_opened_state_as_the_tool_draws_it(self):
        self.load(self.address)
        first = first_drawing(self.frame)
        self.assertTrue(b"\xff\xff\xff" in first[2], "no white outline on the display")
        deadline = time.time() + 10
        while self.frame() == first and time.time() < deadline:
            time.sleep(0.1)
        self.assertTrue(self.frame() != first, "the darts do not move")

        state, expected = paused_state(HEADLESS, self.work.name)
        self.browser.choose_file("open-file", state)
        deadline = time.time() + 15
        while self.frame() != (500, 300, expected) and time.time() < deadline:
            time.sleep(0.2)
        self.assertEqual(self.frame(), (500, 300, expected))
        self.assertFalse(self.browser.run("return document.getElementById('box').open"))

    def test_a_link_replays_the_run_as_the_headless_tool_does(self):
        self.load(self.address)
        self.browser.run("""for (const b of document.querySelectorAll('#menu button'))
                              if (b.textContent === 'Copy link') b.click();""")
        link = None
        deadline = time.time() + 20
        while not link and time.time() < deadline:
            link = self.browser.run("const a = document.querySelector('#notice a'); return a && a.href;")
        self.assertTrue(link, "no link was shown")
        self.assertIn("#zintrel=1&seed=", link)
        # More particles than the page starts with, so that every pair
        # kernel's vector is full and many rows are summed.
        link = re.sub("&count=[0-9]+&", "&count=602&", link)

        self.load(link)
        time.sleep(0.3)
        self.click("Button4")
        page = json.loads(self.browser.ask("savedState"))
        self.assertEqual(page["ParticleCount"], 602)
        self.assertEqual(page["Running"], 0)
        ticks = ticks_to_reach(HEADLESS, link, page, self.work.name)
        self.assertIsNotNone(ticks, "no tick count of the tool's run reaches the page's state")
        print("the page's state is the tool's after %d ticks" % ticks, file=sys.stderr)

    def test_a_gallery_entry_runs_its_link_as_the_headless_tool_does(self):
        self.load(self.address)
        # The eighth entry: 15 particles.
        link = self.browser.run("""
            for (const b of document.querySelectorAll('#menu button')) if (b.textContent === 'Gallery…') b.click();
            const entry = document.querySelectorAll('#gallery-runs a')[7];
            entry.click();
            return entry.hash;""")
        self.assertIn("&count=15&", link)
        self.assertEqual(self.browser.run("return location.hash"), link)
        self.wait_for(lambda: self.browser.run("return Zintrel.frameSize().join()") == "240,160",
                      "the run of the entry does not start")
        self.click("Button4")
        page = json.loads(self.browser.ask("savedState"))
        self.assertEqual((page["ParticleCount"], page["Running"]), (15, 0))
        self.assertIsNotNone(ticks_to_reach(HEADLESS, link, page, self.work.name),
                             "no tick count of the tool's run reaches the page's state")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
