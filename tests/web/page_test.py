#!/usr/bin/python3
"""The real page in headless Chromium, driven as a person would: from a
file:// address (every case), from a local static server (loading and
opening a state, and offline) and from one that makes it cross-origin
isolated (its threaded variant: loading, a link's exact replay, and a link
of millions of characters), it
loads, its darts move,
each slider stores what the desktop mapping gives, Play / Pause and the
check box work, an opened state shows the headless tool's frame pixel for
pixel, and a bad file shows one line in a dialog and changes nothing, as
does a link, a file's name or a field name of millions of characters; no
key throws, and the shortcuts reach the menu; a gallery entry chosen runs
its link as the tool does, and a Japanese page names every run in Japanese.

Usage: page_test.py PAGE_DIR HEADLESS_TOOL [file|server|isolated]
"""
import base64
import filecmp
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from page_checks import (allow_clipboard, browser, catch_downloads, collect_downloads, first_drawing, paused_state,
                         rgb_of_png, ticks_to_reach)
from static_server import StaticServer

PAGE_DIR, HEADLESS = sys.argv[1], sys.argv[2]
MODE = sys.argv[3] if len(sys.argv) > 3 else "file"

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "gallery", "gallery.json"),
          encoding="utf-8") as gallery_file:
    GALLERY = json.load(gallery_file)["runs"]


# The headers that make the page cross-origin isolated, as a server
# configured for it sends them (the page's service worker adds them from
# the second load on).
ISOLATING = {"Cross-Origin-Opener-Policy": "same-origin", "Cross-Origin-Embedder-Policy": "require-corp"}


class PageTest(unittest.TestCase):
    address = None
    server = None
    # Whether the server sends the headers that make the page cross-origin
    # isolated.
    isolating = MODE == "isolated"

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="zintrel-page-test-")
        cls.downloads = os.path.join(cls.work.name, "downloads")
        os.mkdir(cls.downloads)
        cls.driver = cls.open_browser(os.path.join(cls.work.name, "profile"), cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.close_browser()
        cls.work.cleanup()

    # The browser the cases drive: a headless Chromium of the class's own,
    # unless a suite shares one browser among its classes.
    @classmethod
    def open_browser(cls, profile, downloads):
        return browser(profile, downloads)

    @classmethod
    def close_browser(cls):
        cls.driver.quit()

    def setUp(self):
        self.driver.get(self.address)
        WebDriverWait(self.driver, 30).until(lambda d: d.execute_script(
            "return Zintrel.frameSize()[0] > 0"))

    # What a person sees and does.

    def frame(self):
        """Returns (width, height, RGB bytes) of the frame on the display,
        as the page's worker drew it on the canvas."""
        width, height, url = self.driver.execute_async_script(
            "const done = arguments[0]; Zintrel.ask('frame').then(done);")
        return width, height, rgb_of_png(base64.b64decode(url.split(",", 1)[1])) if url else b""

    def frame_size(self):
        return tuple(self.driver.execute_script("return Zintrel.frameSize();"))

    def settled_frame(self, seconds=10):
        """The frame once two in a row, 0.4 s apart, are the same: a busy
        machine may still be ending a tick, or laying the page out."""
        deadline = time.time() + seconds
        last = self.frame()
        while time.time() < deadline:
            time.sleep(0.4)
            now = self.frame()
            if now == last:
                return now
            last = now
        self.fail("the display does not hold still")

    def changes(self, before, seconds=10):
        """Whether the display changes from before within seconds: a busy
        machine may take a while for the next tick."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            if self.frame() != before:
                return True
            time.sleep(0.1)
        return False

    def step_threads(self, driver=None):
        """Returns the threads the page's step uses and those it should:
        the browser's processors where the page is cross-origin isolated,
        one elsewhere."""
        return (driver or self.driver).execute_async_script(
            "const done = arguments[0];"
            "Zintrel.ask('stepThreads').then(threads =>"
            "    done([threads, crossOriginIsolated && typeof SharedArrayBuffer === 'function'"
            "                   ? Math.min(navigator.hardwareConcurrency, 16) : 1]));")

    def element(self, name):
        return self.driver.find_element(By.ID, name)

    def press_right(self, slider, times=1):
        element = self.element(slider)
        for _ in range(times):
            element.send_keys(Keys.ARROW_RIGHT)

    def tip(self, name):
        return self.element(name).get_attribute("title")

    def menu(self, text):
        for button in self.driver.find_elements(By.CSS_SELECTOR, "#menu button"):
            if button.text == text:
                return button
        self.fail("no menu button " + text)

    def copied_link(self):
        """Copies a link through the menu and returns it, once shown."""
        self.driver.execute_script("const n = document.getElementById('notice'); if (n) n.textContent = '';")
        self.menu("Copy link").click()
        return WebDriverWait(self.driver, 20).until(lambda d: d.execute_script(
            "const a = document.querySelector('#notice a'); return a && a.href;"))

    def dialog_text(self):
        return self.driver.execute_script(
            "const b = document.getElementById('box'); return b.open ? b.querySelector('p').textContent : null;")

    def close_dialog(self):
        self.element("box-ok").click()

    def saved_state(self):
        """Saves the state through the menu and returns the downloaded JSON."""
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        catch_downloads(self.driver)
        self.menu("Save state…").click()
        deadline = time.time() + 20
        while time.time() < deadline:
            collect_downloads(self.driver, self.downloads)
            names = [n for n in os.listdir(self.downloads) if n.endswith(".zintrel")]
            if names:
                with open(os.path.join(self.downloads, names[0]), encoding="utf-8") as file:
                    text = file.read()
                if text.endswith("\n"):
                    return json.loads(text)
            time.sleep(0.1)
        self.fail("no state was downloaded")

    def open_state(self, path):
        self.driver.find_element(By.ID, "open-file").send_keys(path)

    def wait_for_reads(self):
        """Waits until every file given to the page has been read and
        opened, or refused: the display is marked busy until then."""
        WebDriverWait(self.driver, 20).until(lambda d: d.execute_script(
            "return !document.getElementById('display').hasAttribute('aria-busy')"))

    def drop_file(self, name, text, size=0):
        """Drops on the display a file made in the page, as a script may
        make one: any name, text, padded with spaces to size bytes."""
        self.driver.execute_script(
            "const [name, text, size] = arguments;"
            "const encoded = new TextEncoder().encode(text);"
            "const bytes = new Uint8Array(Math.max(size, encoded.length)).fill(32);"
            "bytes.set(encoded);"
            "const files = new DataTransfer();"
            "files.items.add(new File([bytes], name));"
            "document.getElementById('display').dispatchEvent("
            "    new DragEvent('drop', {dataTransfer: files, bubbles: true, cancelable: true}));",
            name, text, size)

    def display_size(self):
        """The frame size a fresh page's field follows: the display's."""
        return tuple(self.driver.execute_script(
            "const d = document.getElementById('display'); return [d.clientWidth, d.clientHeight];"))

    def assert_one_short_line(self, line, starts):
        self.assertIsNotNone(line, "no box")
        self.assertTrue(line.startswith(starts), line[:200])
        self.assertNotIn("\n", line)
        # A line quoting a text of any length keeps to a box's size.
        self.assertLessEqual(len(line), 1000, line[:200])

    # The cases.

    def test_loads_and_its_darts_move(self):
        first = first_drawing(self.frame)
        self.assertTrue(b"\xff\xff\xff" in first[2], "no white outline on the display")
        self.assertTrue(self.changes(first), "the darts do not move")
        self.assertEqual(self.driver.title, "Zintrel")
        # The browser speaks English here: the catalog's English, and no
        # label cut off where a word is longer than the layout's.
        labels = self.driver.find_elements(By.CSS_SELECTOR, "#panel span")
        self.assertEqual([e.text for e in labels], ["Particles", "Size", "MAX SPEED", "Activity", "Repulsion",
                                                    "Accel.", "Push accel.", "Radius", "Tick rate"])
        for label in labels:
            self.assertLessEqual(label.get_property("scrollWidth"), label.get_property("clientWidth"), label.text)
        threads, expected = self.step_threads()
        self.assertEqual(threads, expected)
        self.assertEqual(self.driver.execute_script("return crossOriginIsolated"), self.isolating)
        # Whichever program the browser can run, it runs without a box.
        self.assertIsNone(self.dialog_text())

    def test_each_slider_stores_what_the_desktop_mapping_gives(self):
        self.element("Button4").click()  # Paused, so InitialRadius's field size holds still.
        self.press_right("TrackBar1")          # 50 -> 51: trunc(2500^(51/99))
        self.press_right("TrackBar2")          # 3 -> 4: darts take 2 more
        self.press_right("TrackBar3", 2)       # 8 -> 10
        self.press_right("TrackBar6", 3)       # 1 -> 4
        self.press_right("TrackBar7")          # 8 -> 9
        self.press_right("TrackBar4")          # 33 -> 34: 34 / 33
        self.press_right("TrackBar5", 33)      # 33 -> 66: 2
        self.press_right("TrackBar9")          # 33 -> 34: trunc(16^(34/33))
        state = self.saved_state()
        self.assertEqual(state["ParticleCount"], 56)
        self.assertEqual(state["ParticleSize"], 7.0)
        self.assertEqual(state["MaxSpeed"], 10.0)
        self.assertEqual(state["Activity"], 4.0)
        self.assertEqual(state["Repulsion"], 9.0)
        self.assertEqual(state["Acceleration"], 34 / 33)
        self.assertEqual(state["RepulsiveAcceleration"], 2.0)
        self.assertEqual(state["TimerInterval"], 17)
        self.assertEqual(state["Running"], 0)
        self.assertEqual(self.tip("TrackBar1"), "How many particles move: 56")
        self.assertEqual(self.tip("TrackBar4"), "How fast the force fades with distance: a = 1.030")
        self.assertEqual(self.tip("TrackBar9"), "Time between two ticks: 17 ms")
        # Initialise scatters into the radius TrackBar8 gives on this display.
        self.press_right("TrackBar8")          # 10 -> 11
        self.element("Button3").click()
        state = self.saved_state()
        shorter = min(state["FieldWidth"], state["FieldHeight"]) - 4
        self.assertEqual(state["InitialRadius"], shorter * (11 / 99) / 2 + 1)
        self.assertEqual(self.tip("TrackBar8"),
                         "The disc the particles are scattered in: radius %.2f px" % state["InitialRadius"])
        # type2 sets all four constants of its law.
        self.element("Button2").click()
        state = self.saved_state()
        self.assertEqual([state[k] for k in ("Activity", "Repulsion", "Acceleration", "RepulsiveAcceleration")],
                         [38.0, 6.0, 2.0, 1.0])

    def test_play_pause_and_the_check_box(self):
        self.element("Button4").click()
        paused = self.settled_frame()
        self.element("CheckBox1").click()
        self.assertTrue(self.changes(paused), "the check box does not change the drawing")
        discs = self.frame()
        self.assertEqual(self.tip("TrackBar2"), "How large the particles are drawn: radius 4 px")
        self.element("Button4").click()
        self.assertTrue(self.changes(discs), "Play does not start the darts again")

    def test_the_picture_saved_and_copied_is_the_frame_shown(self):
        self.element("Button4").click()
        width, height, shown = self.settled_frame()
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        self.menu("Save picture…").click()
        saved = WebDriverWait(self.driver, 20).until(lambda d: [
            n for n in os.listdir(self.downloads) if n.endswith(".png") and not n.endswith(".crdownload")])
        with open(os.path.join(self.downloads, saved[0]), "rb") as file:
            self.assertEqual(rgb_of_png(file.read()), shown)
        allow_clipboard(self.driver)
        self.menu("Copy picture").click()

        def copied():
            return self.driver.execute_async_script(
                "const done = arguments[0];"
                "navigator.clipboard.read().then(items => items[0].getType('image/png'))"
                "  .then(blob => new Promise(r => { const f = new FileReader(); f.onload = () => r(f.result);"
                "                                    f.readAsDataURL(blob); }))"
                "  .then(done, () => done(''));")
        url = WebDriverWait(self.driver, 20).until(lambda d: copied())
        self.assertEqual(rgb_of_png(base64.b64decode(url.split(",", 1)[1])), shown)
        self.assertIsNone(self.dialog_text())
        self.assertEqual(len(shown), width * height * 3)

    def test_an_opened_state_shows_the_headless_frame_and_a_bad_file_changes_nothing(self):
        state, expected = paused_state(HEADLESS, self.work.name)
        self.open_state(state)
        # The file is read in the background; a busy machine may take a while.
        deadline = time.time() + 15
        while self.frame() != (500, 300, expected) and time.time() < deadline:
            time.sleep(0.2)
        self.assertIsNone(self.dialog_text())
        self.assertEqual(self.frame(), (500, 300, expected))

        bad = os.path.join(self.work.name, "bad.zintrel")
        with open(bad, "w", encoding="utf-8") as file:
            file.write('{"Version": 1, "ParticleCount": 12}\n')
        self.open_state(bad)
        WebDriverWait(self.driver, 10).until(lambda d: self.dialog_text() is not None)
        line = self.dialog_text()
        self.assertIn("'bad.zintrel'", line)
        self.assertNotIn("\n", line)
        self.assertTrue(line.endswith("."))
        time.sleep(0.3)
        self.assertEqual(self.frame(), (500, 300, expected), "a bad file changed the display")
        # Another bad file while the box is open: its line waits for the
        # box to close, then has a box of its own; the same file again
        # adds nothing.
        worse = os.path.join(self.work.name, "worse.zintrel")
        with open(worse, "w", encoding="utf-8") as file:
            file.write("[]\n")
        self.open_state(worse)
        self.open_state(bad)
        # Both files are handed to the page as they are chosen; once both
        # are read, the first box is still the one shown.
        self.wait_for_reads()
        self.assertEqual(self.dialog_text(), line)
        self.close_dialog()
        WebDriverWait(self.driver, 10).until(lambda d: self.dialog_text() is not None)
        self.assertIn("'worse.zintrel'", self.dialog_text())
        self.close_dialog()
        self.assertIsNone(self.dialog_text())

    def test_a_field_wider_than_any_canvas_is_fitted_and_said_so(self):
        # A state or a link may ask for 16384 pixels a side; the page keeps
        # at most 4096, not a frame of a gigabyte, and says it did.
        state = os.path.join(self.work.name, "wide.zintrel")
        subprocess.run([HEADLESS, "--seed", "3", "--count", "20", "--width", "9000", "--height", "50",
                        "--ticks", "1", "--state-out", state], check=True)
        self.open_state(state)
        WebDriverWait(self.driver, 15).until(lambda d: self.dialog_text() is not None)
        self.assertIn("9000", self.dialog_text())
        self.assertIn("4096", self.dialog_text())
        self.close_dialog()
        WebDriverWait(self.driver, 10).until(lambda d: self.frame_size() == (4096, 50))
        self.assertEqual(self.saved_state()["FieldWidth"], 4096)

        link = self.copied_link()
        link = re.sub("&height=[0-9]+", "&height=16384", re.sub("&width=[0-9]+", "&width=12000", link))
        self.driver.get("about:blank")
        self.driver.get(link)
        WebDriverWait(self.driver, 30).until(lambda d: self.dialog_text() is not None)
        self.assertIn("12000", self.dialog_text())
        self.close_dialog()
        WebDriverWait(self.driver, 20).until(lambda d: self.frame_size() == (4096, 4096))

    def test_a_copied_link_replays_the_run_as_the_headless_tool_does(self):
        # 602 particles, enough for a cross-origin isolated page to share
        # each step among its threads, few enough for the tool's runs.
        self.press_right("TrackBar1", 31)
        self.press_right("TrackBar6", 5)       # A = 6
        self.press_right("TrackBar4", 7)       # a = 40 / 33
        self.element("CheckBox1").click()      # discs
        self.press_right("TrackBar8", 20)
        self.element("Button3").click()        # Initialise: the link carries its radius
        link = self.copied_link()
        self.assertIn("#zintrel=1&seed=", link)
        self.assertIn("&count=602&", link)
        self.assertIn("&activity=6.0&", link)
        self.assertIn("&initial-radius=", link)

        # Opened as a new page: paused after a few ticks, the state saved.
        self.driver.get("about:blank")
        self.driver.get(link)
        width, height = int(link.split("&width=")[1].split("&")[0]), int(link.split("&height=")[1].split("&")[0])
        # The first tick gives the frame the link's size; a few more run.
        WebDriverWait(self.driver, 30).until(lambda d: self.frame_size() == (width, height))
        time.sleep(0.3)
        self.element("Button4").click()
        page = self.saved_state()
        self.assertFalse(self.element("CheckBox1").is_selected())
        self.assertEqual((page["FieldWidth"], page["FieldHeight"]), (width, height))
        self.assertEqual(self.frame_size(), (width, height))

        # The tool's run of the same link reaches that state after as many
        # ticks as the page ran, every number bit for bit.
        ticks = ticks_to_reach(HEADLESS, link, page, self.work.name)
        self.assertIsNotNone(ticks, "no tick count of the tool's run reaches the page's state")
        print("the page's state is the tool's after %d ticks" % ticks, file=sys.stderr)

        # A link of a later version is refused in the box, and the page
        # starts afresh behind it.
        self.driver.get("about:blank")
        self.driver.get(link.split("#")[0] + "#zintrel=2&seed=1")
        WebDriverWait(self.driver, 30).until(lambda d: self.dialog_text() is not None)
        self.assertIn("later version", self.dialog_text())
        # The box may come before the first tick has sized the display.
        WebDriverWait(self.driver, 30).until(lambda d: self.frame_size()[0] > 0)
        self.assertTrue(self.changes(first_drawing(self.frame)), "the page does not run behind the box")

    def paused_page_state(self):
        """Pauses the run and returns its state as the page saves it."""
        self.element("Button4").click()
        return json.loads(self.driver.execute_async_script(
            "const done = arguments[0]; Zintrel.ask('savedState').then(done);"))

    def test_a_gallery_entry_runs_its_link_as_the_headless_tool_does(self):
        # The twelfth entry, below the first rows: 199 particles, few enough
        # for the tool's runs.
        entry = 11
        link = GALLERY[entry]["link"]
        ActionChains(self.driver).key_down(Keys.CONTROL).send_keys("g").key_up(Keys.CONTROL).perform()
        WebDriverWait(self.driver, 10).until(lambda d: self.element("gallery").get_attribute("open") is not None)
        self.driver.find_elements(By.CSS_SELECTOR, "#gallery-runs a")[entry].click()
        self.assertIsNone(self.element("gallery").get_attribute("open"))
        self.assertEqual(self.driver.execute_script("return location.hash"), link)
        # The first tick of the run gives the frame its link's size.
        WebDriverWait(self.driver, 30).until(lambda d: self.frame_size() == (240, 160))
        page = self.paused_page_state()
        self.assertEqual(page["ParticleCount"], 199)
        self.assertIsNotNone(ticks_to_reach(HEADLESS, link, page, self.work.name),
                             "no tick count of the tool's run reaches the page's state")
        # The same entry again, the address already its: the run starts anew.
        paused = self.frame()
        self.menu("Gallery…").click()
        self.driver.find_elements(By.CSS_SELECTOR, "#gallery-runs a")[entry].click()
        self.assertTrue(self.changes(paused), "the run does not start again")
        page = self.paused_page_state()
        ticks = ticks_to_reach(HEADLESS, link, page, self.work.name)
        self.assertIsNotNone(ticks, "no tick count of the tool's run reaches the page's state")
        print("the page's state is the tool's after %d ticks" % ticks, file=sys.stderr)

    def test_a_link_of_any_length_gets_the_box_and_changes_nothing(self):
        # An address may be 2 MB long; a link of more than a million
        # characters once ran over the program's memory.
        page = self.address.split("#")[0]
        for fragment, says in (("a" * 1_400_000, "not a Zintrel link"),
                               ("zintrel=1&seed=" + "1" * 1_500_000, "the link's seed '111")):
            with self.subTest(fragment=fragment[:20]):
                self.driver.get("about:blank")
                self.driver.get(page + "#" + fragment)
                WebDriverWait(self.driver, 30).until(lambda d: self.dialog_text() is not None)
                line = self.dialog_text()
                self.assert_one_short_line(line, "This link cannot be replayed: ")
                self.assertIn(says, line)
                # The page starts afresh behind the box: its field follows
                # the display, and it runs.
                WebDriverWait(self.driver, 30).until(lambda d: self.frame_size()[0] > 0)
                self.assertEqual(self.frame_size(), self.display_size())
                self.assertTrue(self.changes(first_drawing(self.frame)), "the page does not run behind the box")
                self.close_dialog()
                self.assertIsNone(self.dialog_text())

    def test_a_dropped_file_of_any_name_or_length_gets_the_box_and_changes_nothing(self):
        self.element("Button4").click()  # Paused, so that the state holds still.
        before = self.saved_state()
        cases = (("b" * 2_000_000 + ".zintrel", "[]\n", 0, "'bbb", "is not a state"),
                 ("large.zintrel", "{", 17 << 20, "'large.zintrel'", "too large"),
                 ("key.zintrel", '{"' + "k" * 3_000_000 + '": 1}', 0, "'key.zintrel'", "'kkk"))
        for name, text, size, starts, says in cases:
            with self.subTest(name=name[:20]):
                self.drop_file(name, text, size)
                WebDriverWait(self.driver, 30).until(lambda d: self.dialog_text() is not None)
                line = self.dialog_text()
                self.close_dialog()
                self.wait_for_reads()
                self.assertIsNone(self.dialog_text())
                self.assertEqual(self.saved_state(), before, "a file that cannot be opened changed the state")
                self.assert_one_short_line(line, starts)
                self.assertIn(says, line)
        # The page still opens what it can under a name of any length, and
        # runs.
        state, expected = paused_state(HEADLESS, self.work.name)
        with open(state, encoding="utf-8") as file:
            text = file.read()
        self.element("Button2").click()  # Another law, which the state's own replaces.
        self.assertNotEqual(self.saved_state()["Activity"], json.loads(text)["Activity"])
        self.drop_file("c" * 2_000_000 + ".zintrel", text)
        self.wait_for_reads()
        self.assertIsNone(self.dialog_text())
        self.assertEqual(self.saved_state()["Activity"], json.loads(text)["Activity"])
        WebDriverWait(self.driver, 15).until(lambda d: self.frame() == (500, 300, expected))
        self.element("Button4").click()
        self.assertTrue(self.changes(self.frame()), "Play does not start the page again")

    def test_no_key_throws_and_the_shortcuts_still_work(self):
        self.driver.execute_script(
            "window.keyErrors = [];"
            "addEventListener('error', e => keyErrors.push(String(e.message)));"
            "addEventListener('unhandledrejection', e => keyErrors.push(String(e.reason)));")
        # Keys pressed as a person would, alone and with each modifier,
        # among them every character a CSS selector or a string gives a
        # meaning to, and keys that are not characters.
        # (Not the browser's own: Ctrl with = or + zooms, Alt with Home or
        # an arrow leaves the page.)
        awkward = ['"', "'", "\\", "[", "]", "#", ".", ":", ",", "(", ")", "*", "~", "^", "$", "|", ">", "{", "}",
                   "`", "<", "/", "ß", "é", "日"]
        others = [Keys.F2, Keys.ESCAPE, Keys.HOME, Keys.ARROW_UP, Keys.DELETE]
        for modifier in (None, Keys.SHIFT, Keys.CONTROL, Keys.ALT):
            for key in awkward + (others if modifier in (None, Keys.SHIFT) else []):
                keys = ActionChains(self.driver)
                if modifier:
                    keys.key_down(modifier)
                keys.send_keys(key)
                if modifier:
                    keys.key_up(modifier)
                keys.perform()
        # What no keyboard of the test's sends: a character beyond the basic
        # plane, keys the browser names oddly, and a keydown without a key
        # at all, as the browser's autofill sends.
        self.driver.execute_script(
            "for (const key of ['😀', '', 'Dead', 'Unidentified', 'a\\\"b', '\\\"]', '\\u0000'])"
            "  for (const ctrlKey of [false, true])"
            "    document.dispatchEvent(new KeyboardEvent('keydown', {key, ctrlKey, bubbles: true}));"
            "document.dispatchEvent(new Event('keydown'));")
        self.assertEqual(self.driver.execute_script("return keyErrors"), [])
        self.assertIsNone(self.dialog_text())
        # The shortcuts still reach the menu: Ctrl+Shift+S saves the picture.
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        ActionChains(self.driver).key_down(Keys.CONTROL).key_down(Keys.SHIFT).send_keys("s") \
            .key_up(Keys.SHIFT).key_up(Keys.CONTROL).perform()
        WebDriverWait(self.driver, 20).until(
            lambda d: any(n.endswith(".png") for n in os.listdir(self.downloads)))

    def test_a_japanese_browser_shows_the_window_as_first_made(self):
        if self.server is not None:
            self.skipTest("the same page from a server")
        driver = browser(os.path.join(self.work.name, "profile-ja"), self.downloads, extra=["--lang=ja"], languages="ja,en-US")
        try:
            driver.get(self.address)
            WebDriverWait(driver, 30).until(lambda d: d.execute_script(
                "return Zintrel.frameSize()[0] > 0"))
            labels = [e.text for e in driver.find_elements(By.CSS_SELECTOR, "#panel span")]
            check_box = driver.find_element(By.CSS_SELECTOR, "#panel label").text
            buttons = [driver.find_element(By.ID, "Button%d" % n).text for n in (1, 2, 3, 4)]
            language, title = driver.execute_script(
                "return [document.documentElement.lang, document.getElementById('panel').getAttribute('aria-label')];")
            tip = driver.find_element(By.ID, "TrackBar1").get_attribute("title")
            menu = [e.text for e in driver.find_elements(By.CSS_SELECTOR, "#menu button")]
            # The gallery, from its menu item: every run under its Japanese
            # name, a link to this page at the run's fragment, and its
            # picture, sized before it loads, shown as it comes into view.
            driver.find_elements(By.CSS_SELECTOR, "#menu button")[-1].click()
            first = WebDriverWait(driver, 10).until(lambda d: d.execute_script(
                "const i = document.querySelector('#gallery-runs img');"
                "return i.complete && [i.naturalWidth, i.naturalHeight];"))
            gallery = driver.execute_script("""
                const g = document.getElementById('gallery');
                return [g.open, g.contains(document.activeElement), document.getElementById('gallery-title').textContent,
                        document.getElementById('gallery-close').textContent, g.getAttribute('aria-labelledby'),
                        [...g.querySelectorAll('#gallery-runs a')].map(a => {
                          const i = a.querySelector('img');
                          return [a.textContent, a.href, i.getAttribute('src'), i.loading, i.width, i.height, i.alt];
                        })];""")
            ActionChains(driver).send_keys(Keys.ESCAPE).perform()
            closed = WebDriverWait(driver, 10).until(lambda d: d.execute_script(
                "return !document.getElementById('gallery').open"))
        finally:
            driver.quit()
        self.assertEqual(labels, ["粒子の数", "大きさ", "MAX SPEED", "活性度", "反発度", "加速性", "反発加速性",
                                  "初期半径", "描画速度"])
        self.assertEqual(check_box, "粒子の向きを表示")
        self.assertEqual(buttons, ["type1", "type2", "初期化", "Play / Pause"])
        self.assertEqual((language, title), ("ja", "Zintrel - 設定"))
        self.assertEqual(tip, "動く粒子の数: 50 個")
        self.assertEqual(menu[0], "状態を保存…")
        self.assertEqual(menu[-2:], ["リンクをコピー", "ギャラリー…"])
        self.assertEqual(gallery[:5], [True, True, "ギャラリー", "閉じる", "gallery-title"])
        page = self.address.split("#")[0]
        self.assertEqual(gallery[5], [[run["name"]["ja"], page + run["link"], "gallery/" + run["thumbnail"], "lazy",
                                       240, 160, ""] for run in GALLERY])
        self.assertEqual(first, [240, 160])
        self.assertTrue(closed)
        # Every picture is installed beside the page, as the gallery has it.
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "gallery")
        for run in GALLERY:
            self.assertTrue(filecmp.cmp(os.path.join(source, run["thumbnail"]),
                                        os.path.join(PAGE_DIR, "gallery", run["thumbnail"]), shallow=False),
                            run["thumbnail"])

    def test_a_hidpi_screen_enlarges_each_pixel_by_a_whole_factor(self):
        if self.server is not None:
            self.skipTest("the same page from a server")
        # 2.5 device pixels per CSS pixel: each frame pixel takes 2 x 2.
        driver = browser(os.path.join(self.work.name, "profile-hidpi"), self.downloads,
                         extra=["--force-device-scale-factor=2.5"])
        try:
            driver.get(self.address)
            WebDriverWait(driver, 30).until(lambda d: d.execute_script(
                "return Zintrel.frameSize()[0] > 0"))

            def measured():
                return driver.execute_script(
                    "const c = document.getElementById('frame'), d = document.getElementById('display');"
                    "return [devicePixelRatio, [d.clientWidth, d.clientHeight], Zintrel.frameSize(),"
                    "        [c.getBoundingClientRect().width, c.getBoundingClientRect().height]];")
            # The frame follows the display from the next tick on, which a
            # busy machine may take a while to run.
            deadline = time.time() + 10
            ratio, client, frame, shown = measured()
            while frame != [int(client[0] * 2.5 // 2), int(client[1] * 2.5 // 2)] and time.time() < deadline:
                time.sleep(0.2)
                ratio, client, frame, shown = measured()
        finally:
            driver.quit()
        self.assertEqual(ratio, 2.5)
        self.assertEqual(frame, [int(client[0] * 2.5 // 2), int(client[1] * 2.5 // 2)])
        for axis in (0, 1):
            self.assertAlmostEqual(shown[axis] * ratio, frame[axis] * 2, delta=0.01)

    def test_runs_offline_once_loaded_from_a_server(self):
        if self.server is None:
            self.skipTest("a page opened from disk has no server to lose")
        self.driver.set_script_timeout(30)
        self.assertTrue(self.driver.execute_async_script(
            "navigator.serviceWorker.ready.then(() => arguments[0](true), () => arguments[0](false));"))
        manifest = self.driver.execute_script("return document.querySelector('link[rel=manifest]').href")
        self.assertTrue(manifest.endswith("manifest.webmanifest"))
        # The gallery's thumbnails are kept as they are shown, not with the
        # page: none at first, the first one once the gallery showed it.
        kept_thumbnails = ("const done = arguments[0];"
                           "caches.open('zintrel-page').then(c => c.keys())"
                           "    .then(k => done(k.map(r => r.url).filter(u => u.includes('/gallery/'))));")
        WebDriverWait(self.driver, 10).until(lambda d: d.execute_script(
            "return navigator.serviceWorker.controller !== null"))
        self.assertEqual(self.driver.execute_async_script(kept_thumbnails), [])
        first = self.address.split("index.html")[0] + "gallery/" + GALLERY[0]["thumbnail"]
        self.menu("Gallery…").click()
        WebDriverWait(self.driver, 10).until(lambda d: first in d.execute_async_script(kept_thumbnails))
        self.server.stop()
        self.driver.get("about:blank")
        self.driver.get(self.address)
        WebDriverWait(self.driver, 30).until(lambda d: d.execute_script(
            "return Zintrel.frameSize()[0] > 0"))
        self.assertTrue(self.changes(self.frame()), "the page does not run offline")
        self.menu("Gallery…").click()
        self.assertEqual(WebDriverWait(self.driver, 10).until(lambda d: d.execute_script(
            "const i = document.querySelector('#gallery-runs img'); return i.complete && i.naturalWidth;")), 240)
        self.element("gallery-close").click()
        # The worker made the second load cross-origin isolated: it runs
        # the threaded variant.
        self.assertTrue(self.driver.execute_script("return crossOriginIsolated"))
        threads, expected = self.step_threads()
        self.assertEqual(threads, expected)
        self.assertIsNone(self.dialog_text())

    def test_copy_link_writes_the_clipboard_within_the_press(self):
        # Every write to the clipboard is noted with the event it was made
        # in: a browser may refuse one made after the press's own task.
        self.driver.execute_script("""
            const clipboard = navigator.clipboard, write = clipboard.write.bind(clipboard);
            const writeText = clipboard.writeText.bind(clipboard);
            window.clipboardWrites = [];
            function noted(written, text) {
              const note = [window.event ? window.event.type : '', null, null];
              clipboardWrites.push(note);
              text.then(t => { note[1] = t; });
              written.then(() => { note[2] = 'written'; }, e => { note[2] = String(e); });
              return written;
            }
            clipboard.write = items => noted(write(items), items[0].getType('text/plain').then(b => b.text()));
            clipboard.writeText = text => noted(writeText(text), Promise.resolve(text));""")
        allow_clipboard(self.driver)
        link = self.copied_link()
        WebDriverWait(self.driver, 10).until(lambda d: d.execute_script(
            "return clipboardWrites.length > 0 && clipboardWrites.every(n => n[2] !== null)"))
        self.assertEqual(self.driver.execute_script("return clipboardWrites"), [["click", link, "written"]])

    def test_full_screen_by_the_keyboard_and_where_there_is_none_filling_the_window(self):
        window = self.driver.execute_script("return [innerWidth, innerHeight]")

        def shown(full_screen):
            return self.driver.execute_script(
                "const d = document.getElementById('display'), r = d.getBoundingClientRect();"
                "return (document.fullscreenElement === d) === arguments[0] &&"
                "    Zintrel.frameSize().join() === [innerWidth, innerHeight].join() &&"
                "    [r.left, r.top, r.width, r.height].join() === [0, 0, innerWidth, innerHeight].join();",
                full_screen)
        # F enters full screen and Esc leaves it; where the browser has no
        # full screen for an element, the display fills the window instead.
        for has_full_screen in (True, False):
            with self.subTest(has_full_screen=has_full_screen):
                if not has_full_screen:
                    self.driver.execute_script(
                        "Object.defineProperty(document, 'fullscreenEnabled', {get: () => false});")
                ActionChains(self.driver).send_keys("f").perform()
                WebDriverWait(self.driver, 10).until(lambda d: shown(has_full_screen))
                # Left, the window has its size back, and the field follows
                # the display's own size again.
                ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
                WebDriverWait(self.driver, 10).until(
                    lambda d: not shown(has_full_screen) and self.frame_size() == self.display_size() and
                    d.execute_script("return [innerWidth, innerHeight]") == window)

    def test_a_browser_without_offscreen_canvas_draws_in_the_page_and_a_failed_start_says_why(self):
        if self.server is not None:
            self.skipTest("the same page from a server")
        # The page as a browser without what the case names has it: a copy
        # whose first script takes that away.
        for name, script in (("OffscreenCanvas", "delete window.OffscreenCanvas;"
                                                  "delete HTMLCanvasElement.prototype.transferControlToOffscreen;"),
                             ("Worker", "window.Worker = function () { throw new Error('no workers here'); };")):
            with self.subTest(without=name):
                folder = os.path.join(self.work.name, "without-" + name)
                shutil.copytree(PAGE_DIR, folder)
                with open(os.path.join(folder, "index.html"), encoding="utf-8") as file:
                    page = file.read().replace('<script src="page.js">', "<script>%s</script>\n"
                                               '<script src="page.js">' % script)
                with open(os.path.join(folder, "index.html"), "w", encoding="utf-8") as file:
                    file.write(page)
                self.driver.get("file://" + os.path.join(folder, "index.html"))
                if name == "Worker":
                    WebDriverWait(self.driver, 30).until(lambda d: self.dialog_text() is not None)
                    self.assertEqual(self.dialog_text(), "no workers here")
                    continue
                WebDriverWait(self.driver, 30).until(lambda d: d.execute_script("return Zintrel.frameSize()[0] > 0"))
                self.assertFalse(self.driver.execute_async_script(
                    "const done = arguments[0]; Zintrel.ask('drawsItself').then(done);"))
                first = first_drawing(self.frame)
                self.assertTrue(b"\xff\xff\xff" in first[2], "no white outline on the display")
                self.assertTrue(self.changes(first), "the darts do not move")
                self.assertIsNone(self.dialog_text())
                # An opened state shows the tool's frame pixel for pixel.
                state, expected = paused_state(HEADLESS, self.work.name)
                self.open_state(state)
                try:
                    WebDriverWait(self.driver, 30).until(lambda d: self.frame() == (500, 300, expected))
                except TimeoutException:
                    shown = self.frame()
                    self.fail("the display shows a %d x %d frame, %d pixels unlike the tool's, box %r" % (
                        shown[0], shown[1], sum(a != b for a, b in zip(shown[2][::3], expected[::3])),
                        self.dialog_text()))


if __name__ == "__main__":
    if MODE == "server":
        # From a server the page is the same program; that it loads, runs
        # and opens a state there is what differs from file://.
        server = StaticServer(PAGE_DIR)
        with server as address:
            PageTest.address, PageTest.server = address + "index.html", server
            # The offline case stops the server, so it comes last.
            unittest.main(argv=sys.argv[:1] + ["PageTest.test_loads_and_its_darts_move",
                                               "PageTest.test_an_opened_state_shows_the_headless_frame_and_a_bad_file_changes_nothing",
                                               "PageTest.test_runs_offline_once_loaded_from_a_server"],
                          verbosity=2)
    elif MODE == "isolated":
        # Cross-origin isolated, the page runs its threaded variant: it
        # loads and runs, and its steps shared among threads give the bits
        # of the tool's.
        server = StaticServer(PAGE_DIR, ISOLATING)
        with server as address:
            PageTest.address, PageTest.server = address + "index.html", server
            unittest.main(argv=sys.argv[:1] + ["PageTest.test_loads_and_its_darts_move",
                                               "PageTest.test_a_copied_link_replays_the_run_as_the_headless_tool_does",
                                               "PageTest.test_a_link_of_any_length_gets_the_box_and_changes_nothing"],
                          verbosity=2)
    else:
        PageTest.address = "file://" + os.path.abspath(os.path.join(PAGE_DIR, "index.html"))
        unittest.main(argv=sys.argv[:1], verbosity=2)
