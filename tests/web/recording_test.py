#!/usr/bin/python3
"""Recording in the real page, in headless Chromium from a file:// address,
as a person records: Ctrl+R (Record…) and Ctrl+R again (Stop recording).
The downloaded GIF, decoded frame by frame, is a run of consecutive frames
of the ones zintrel-headless draws of the same link; a paused run's GIF is
the tool's --gif byte for byte; a recording ended by a resize or by the
page's memory bound is a whole GIF and the page says so; and the MP4 is
offered exactly where the browser can encode H.264, and then holds every
frame it recorded at the frame's size.

Usage: recording_test.py PAGE_DIR HEADLESS_TOOL
"""
import base64
import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.support.ui import WebDriverWait

from page_checks import browser, catch_downloads, collect_downloads, first_drawing, rgb_of_png, webkit_version

PAGE_DIR, HEADLESS = sys.argv[1], sys.argv[2]

# A small field, so that a second of frames decodes in moments.
WIDTH, HEIGHT = 160, 100
LINK = ("#zintrel=1&seed=4242&count=40&max-speed=8.0&size=6.0&activity=1.0&repulsion=8.0&acceleration=1.0"
        "&repulsive-acceleration=1.0&running=%d&width=%d&height=%d&darts=1")


def frames_of(path, width, height):
    """Returns the frames a player shows of a GIF, each RGB bytes."""
    raw = subprocess.run(["convert", path, "-coalesce", "rgb:-"], check=True, capture_output=True).stdout
    size = width * height * 3
    assert len(raw) % size == 0, "frames of another size"
    return [raw[i:i + size] for i in range(0, len(raw), size)]


def gif_size(path):
    with open(path, "rb") as file:
        head = file.read(10)
    assert head[:6] == b"GIF89a", "not a GIF"
    return struct.unpack("<HH", head[6:10])


def boxes(data, start=0, end=None):
    """Yields (type, body start, body end) of the MP4 boxes in data[start:end]."""
    end = len(data) if end is None else end
    while start + 8 <= end:
        size, kind = struct.unpack(">I4s", data[start:start + 8])
        header = 8
        if size == 1:
            size = struct.unpack(">Q", data[start + 8:start + 16])[0]
            header = 16
        assert size >= header, "a malformed box"
        yield kind.decode("latin-1"), start + header, start + size
        start += size


def find_box(data, path, start=0, end=None):
    for kind, body, stop in boxes(data, start, end):
        if kind == path[0]:
            return (body, stop) if len(path) == 1 else find_box(data, path[1:], body, stop)
    raise AssertionError("no box " + "/".join(path))


class RecordingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="zintrel-recording-test-")
        cls.downloads = os.path.join(cls.work.name, "downloads")
        os.mkdir(cls.downloads)
        cls.driver = cls.open_browser(os.path.join(cls.work.name, "profile"), cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.close_browser()
        cls.work.cleanup()

    # A headless Chromium of the class's own, unless a suite shares one
    # browser among its classes.
    @classmethod
    def open_browser(cls, profile, downloads):
        return browser(profile, downloads, size=(900, 700))

    @classmethod
    def close_browser(cls):
        cls.driver.quit()

    def open(self, running=1):
        self.driver.set_window_size(900, 700)
        self.link = "file://" + os.path.abspath(PAGE_DIR) + "/index.html" + LINK % (running, WIDTH, HEIGHT)
        # A new address, not a fragment of the one shown: the page loads anew.
        self.driver.get("about:blank")
        self.driver.get(self.link)
        WebDriverWait(self.driver, 30).until(lambda d: d.execute_script(
            "return Zintrel.frameSize()[0] > 0"))
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        catch_downloads(self.driver)

    def press_ctrl_r(self):
        ActionChains(self.driver).key_down(Keys.CONTROL).send_keys("r").key_up(Keys.CONTROL).perform()

    def ask(self, what, *args):
        """Returns the program's answer to what, from the page's worker."""
        return self.driver.execute_async_script(
            "const [what, args, done] = arguments; Zintrel.ask(what, args).then(done);", what, list(args))

    def status(self):
        return self.driver.find_element(By.ID, "recording-status").text

    def wait_for_status(self, shown, seconds=30):
        WebDriverWait(self.driver, seconds).until(lambda d: shown in self.status())

    def download(self, suffix, seconds=60):
        """Returns the path of the one file downloaded, once it is whole."""
        def done(_):
            collect_downloads(self.driver, self.downloads)
            names = os.listdir(self.downloads)
            whole = [n for n in names if n.endswith(suffix)]
            return whole[0] if whole and not any(n.endswith(".crdownload") for n in names) else None
        return os.path.join(self.downloads, WebDriverWait(self.driver, seconds).until(done))

    def dialog_text(self):
        WebDriverWait(self.driver, 30).until(lambda d: d.find_element(By.ID, "box").get_attribute("open") is not None)
        return self.driver.find_element(By.ID, "box-text").text

    def tool_frames(self, ticks):
        folder = tempfile.mkdtemp(dir=self.work.name)
        subprocess.run([HEADLESS, "--link", self.link, "--ticks", str(ticks), "--frames-dir", folder + "/f"],
                       check=True)
        raw = subprocess.run(["convert", folder + "/f/*.png", "-alpha", "off", "rgb:-"], check=True,
                             capture_output=True).stdout
        size = WIDTH * HEIGHT * 3
        return [raw[i:i + size] for i in range(0, len(raw), size)]

    def assert_consecutive_tool_frames(self, gif, ticks=900):
        """The GIF's frames are those of consecutive ticks of the tool's run
        of the same link: the first found among them, each later one the
        next tick's."""
        self.assertEqual(gif_size(gif), (WIDTH, HEIGHT))
        with open(gif, "rb") as file:
            self.assertEqual(file.read()[-1:], b";", "the file has no end")
        recorded = frames_of(gif, WIDTH, HEIGHT)
        self.assertGreater(len(recorded), 1)
        tool = self.tool_frames(ticks)
        starts = [i for i, frame in enumerate(tool) if frame == recorded[0]]
        self.assertTrue(starts, "the first recorded frame is none of the tool's first %d" % ticks)
        start = starts[0]
        self.assertLessEqual(start + len(recorded), len(tool), "the recording runs past the tool's ticks")
        for n, frame in enumerate(recorded):
            self.assertTrue(frame == tool[start + n], "recorded frame %d is not tick %d's" % (n + 1, start + n + 1))
        return recorded

    def test_a_recording_is_the_tools_frames_of_consecutive_ticks(self):
        self.open()
        record = [b for b in self.driver.find_elements(By.CSS_SELECTOR, "#menu button") if b.text == "Record…"]
        self.assertEqual(len(record), 1)
        self.press_ctrl_r()
        self.wait_for_status("recording 0:01")
        self.assertIn("recording", self.driver.title)
        self.assertEqual(record[0].text, "Stop recording")
        self.press_ctrl_r()
        gif = self.download(".gif")
        self.assertEqual(self.status(), "")
        self.assertEqual(record[0].text, "Record…")
        self.assertRegex(os.path.basename(gif), r"^zintrel-\d{8}-\d{6}\.gif$")
        self.assertGreaterEqual(len(self.assert_consecutive_tool_frames(gif)), 50)

    def test_a_paused_runs_recording_is_the_tools_gif_byte_for_byte(self):
        self.open(running=0)
        self.press_ctrl_r()
        self.wait_for_status("recording 0:01")
        self.press_ctrl_r()
        gif = self.download(".gif")
        frames = int(subprocess.run(["identify", "-format", "%n\n", gif], check=True, capture_output=True,
                                    text=True).stdout.split()[0])
        # Every piece the program handed over is in the file: one a frame,
        # and the end.
        self.assertEqual(self.ask("recordingPieces"), frames + 1)
        tool = os.path.join(self.work.name, "tool.gif")
        subprocess.run([HEADLESS, "--link", self.link, "--ticks", str(frames), "--gif", tool], check=True)
        with open(gif, "rb") as page_file, open(tool, "rb") as tool_file:
            self.assertTrue(page_file.read() == tool_file.read(), "the page's GIF of %d frames is not the tool's" % frames)

    def test_a_resize_ends_the_recording_whole_and_says_so(self):
        self.open()
        self.press_ctrl_r()
        self.wait_for_status("kB")
        self.driver.set_window_size(700, 600)
        line = self.dialog_text()
        self.assertIn("The recording ended when the display changed size", line)
        gif = self.download(".gif")
        self.assertIn(os.path.basename(gif), line)
        self.assertEqual(self.status(), "")
        self.assert_consecutive_tool_frames(gif)

    def test_the_memory_bound_ends_the_recording_whole_and_says_so(self):
        self.open()
        self.ask("setRecordingBound", 20000)
        self.press_ctrl_r()
        line = self.dialog_text()
        self.assertIn("The recording reached the 20 kB a page may hold", line)
        gif = self.download(".gif")
        self.assertIn(os.path.basename(gif), line)
        self.assertEqual(self.status(), "")
        self.assertGreaterEqual(os.path.getsize(gif), 20000)
        self.assert_consecutive_tool_frames(gif)

    def video_offered(self):
        """Returns the Record video… button, where the browser has a video
        encoder, or skips: it is offered exactly there."""
        version = webkit_version(self.driver)
        if version and version < (2, 52):
            self.skipTest("WebKitGTK before 2.52 aborts on a page's first VideoEncoder call (WebKit bug 320327)")
        self.open()
        encoder = self.driver.execute_script("return typeof VideoEncoder === 'function'")
        offered = self.driver.find_elements(By.ID, "record-video")
        self.assertEqual(bool(offered), encoder)
        if not encoder:
            self.skipTest("this browser has no video encoder: the page offers no video, as it should")
        self.assertEqual(offered[0].text, "Record video…")
        return offered[0]

    def test_a_video_the_browser_cannot_encode_is_told_and_the_page_runs_on(self):
        offered = self.video_offered()
        # No codec at all: the encoder refuses it at once, as it is made,
        # not later through its error.
        self.ask("videoCodec", "")
        offered.click()
        line = self.dialog_text()
        self.assertRegex(line, r"^Cannot save the recording as 'zintrel-\d{8}-\d{6}\.mp4': .")
        self.assertEqual(self.status(), "")
        self.driver.find_element(By.ID, "box-ok").click()
        first = first_drawing(self.frame)
        WebDriverWait(self.driver, 10).until(lambda d: self.frame() != first)
        self.assertEqual(offered.text, "Record video…")

    def frame(self):
        """Returns (width, height, RGB bytes) of the frame on the display."""
        width, height, url = self.ask("frame")
        return width, height, rgb_of_png(base64.b64decode(url.split(",", 1)[1])) if url else b""

    def test_video_is_offered_where_the_browser_encodes_it_and_holds_every_frame(self):
        offered = [self.video_offered()]
        encodes = self.driver.execute_async_script(
            "const done = arguments[0];"
            "VideoEncoder.isConfigSupported({codec: 'avc1.42e01f', width: 660, height: 440})"
            "  .then(a => done(a.supported), () => done(false));")
        if not encodes:
            self.skipTest("this browser encodes no H.264: its failure is told, as another case shows")
        offered[0].click()
        self.wait_for_status("recording 0:01")
        offered[0].click()
        video = self.download(".mp4")
        frames = self.ask("videoFrames")
        with open(video, "rb") as file:
            data = file.read()
        self.assertEqual(data[4:8], b"ftyp")
        track = find_box(data, ["moov", "trak"])
        body, _ = find_box(data, ["tkhd"], *track)
        width, height = struct.unpack(">II", data[body + 76:body + 84] if data[body] == 0 else data[body + 88:body + 96])
        self.assertEqual((width >> 16, height >> 16), (WIDTH, HEIGHT))
        body, _ = find_box(data, ["mdia", "minf", "stbl", "stsz"], *track)
        self.assertGreaterEqual(frames, 50)
        self.assertEqual(struct.unpack(">I", data[body + 8:body + 12])[0], frames)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
