#!/usr/bin/python3
"""The page on an emulated phone, as a person holds it: headless Chromium as
a 390 x 844 touch screen of 3 device pixels per pixel, from a file://
address. A slider held by a finger shows its exact value beside its thumb,
and every slider tells a screen reader that value; every control is a
target a finger can hit, the display keeping its exact pixels; full screen
is entered and left by a double tap and by the keyboard, and the field
follows the display's new size; the gallery fits the screen in two columns,
and a tap on an entry starts its run.

Usage: phone_test.py PAGE_DIR
"""
import os
import sys
import tempfile
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from page_checks import as_a_phone, browser

PAGE_DIR = sys.argv[1]
ADDRESS = "file://" + os.path.abspath(os.path.join(PAGE_DIR, "index.html"))


class PhoneTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="zintrel-phone-test-")
        cls.driver = browser(os.path.join(cls.work.name, "profile"), cls.work.name, size=(390, 844))
        as_a_phone(cls.driver)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.work.cleanup()

    def setUp(self):
        self.driver.get(ADDRESS)
        WebDriverWait(self.driver, 30).until(lambda d: d.execute_script(
            "return Zintrel.frameSize()[0] > 0"))
        # A reload keeps the page's scroll; each case starts at the top.
        self.script("scrollTo(0, 0);")

    def script(self, text, *args):
        return self.driver.execute_script(text, *args)

    touching = False

    def touch(self, kind, x=0, y=0):
        points = [] if kind == "touchEnd" else [{"x": x, "y": y, "radiusX": 4, "radiusY": 4, "force": 1, "id": 1}]
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})
        self.touching = kind != "touchEnd"

    def lift_finger(self):
        """Ends a touch a failed case left on the screen."""
        if self.touching:
            self.touch("touchEnd")

    def tap(self, x, y):
        self.touch("touchStart", x, y)
        self.touch("touchEnd")

    def rect(self, selector):
        return self.script("const r = document.querySelector(arguments[0]).getBoundingClientRect();"
                           "return {left: r.left, top: r.top, right: r.right, bottom: r.bottom,"
                           "        width: r.width, height: r.height};", selector)

    def thumb(self, name):
        """Where the slider's thumb is now, in the page's CSS pixels: its
        centre and half its size, 16 pixels of the design enlarged with
        the panel."""
        return self.script(
            "const s = document.getElementById(arguments[0]), r = s.getBoundingClientRect();"
            "const share = (s.valueAsNumber - s.min) / (s.max - s.min);"
            "const inset = 8 * (parseFloat(getComputedStyle(document.getElementById('panel')).zoom) || 1);"
            "return [r.left + inset + share * (r.width - 2 * inset), r.top + r.height / 2, inset];", name)

    def value_shown(self):
        return self.script("const v = document.getElementById('slider-value');"
                           "return v.hidden || v.getBoundingClientRect().width === 0 ? null : v.textContent;")

    def test_a_held_slider_shows_its_value_beside_the_thumb_and_tells_screen_readers(self):
        name = "TrackBar1"
        self.script("document.getElementById(arguments[0]).scrollIntoView({block: 'center'});", name)
        x, y, inset = self.thumb(name)
        self.assertIsNone(self.value_shown())
        self.touch("touchStart", x, y)
        self.addCleanup(self.lift_finger)
        # Dragged by a finger to the right: the value follows the thumb.
        for step in range(1, 6):
            self.touch("touchMove", x + step * 12, y)
        # The texts follow the program's answers; once they have all come,
        # what the finger sees is the tooltip's text and the screen
        # reader's, for the position the slider holds.
        def texts():
            return (self.value_shown(),) + tuple(self.script(
                "const s = document.getElementById('TrackBar1');"
                "return [s.title, s.getAttribute('aria-valuetext'), s.value];"))
        seen = []
        WebDriverWait(self.driver, 10, poll_frequency=0.3).until(
            lambda d: seen.append(texts()) or len(seen) > 1 and seen[-1] == seen[-2])
        shown, title, valuetext, position = seen[-1]
        self.assertNotEqual(position, "50", "the finger did not move the slider")
        self.assertRegex(shown or "", "[0-9]")
        self.assertEqual(shown, title)
        self.assertEqual(valuetext, title)
        # Readable, and never over the thumb, where the finger is.
        value = self.rect("#slider-value")
        self.assertGreaterEqual(self.script(
            "return parseFloat(getComputedStyle(document.getElementById('slider-value')).fontSize)"
            " * (parseFloat(getComputedStyle(document.getElementById('panel')).zoom) || 1)"), 12)
        tx, ty, inset = self.thumb(name)
        self.assertTrue(value["bottom"] <= ty - inset + 1 or value["top"] >= ty + inset - 1 or
                        value["right"] <= tx - inset or value["left"] >= tx + inset,
                        "the value %r covers the thumb at %r" % (value, (tx, ty, inset)))
        self.touch("touchEnd")
        WebDriverWait(self.driver, 10).until(lambda d: self.value_shown() is None)
        # Every slider tells its value, as its tooltip does.
        texts = self.script("return [...document.querySelectorAll('#panel input[type=range]')]"
                            "  .map(s => [s.id, s.title, s.getAttribute('aria-valuetext')]);")
        self.assertEqual(len(texts), 9)
        for slider, title, valuetext in texts:
            self.assertTrue(title, slider)
            self.assertEqual(valuetext, title, slider)

    def test_every_control_is_a_target_a_finger_can_hit(self):
        sizes = self.script(
            "const targets = [...document.querySelectorAll('#panel input, #panel button, #panel label, #menu button')];"
            "return targets.map(t => { const r = t.getBoundingClientRect();"
            "  return [t.id || t.textContent, r.width, r.height]; });")
        self.assertGreater(len(sizes), 20)
        for name, width, height in sizes:
            if name == "CheckBox1":
                continue  # its label, the whole row, is its target
            self.assertGreaterEqual(min(width, height), 24, "%s is %.1f x %.1f" % (name, width, height))
        # The panel is enlarged as a whole: its arrangement is the design's.
        rows = self.script("return ['TrackBar1', 'Button1', 'Button2', 'TrackBar9']"
                           "  .map(n => document.getElementById(n).getBoundingClientRect())"
                           "  .map(r => [r.left, r.top]);")
        self.assertLess(rows[0][1], rows[1][1])
        self.assertAlmostEqual(rows[1][1], rows[2][1], delta=0.5)
        self.assertLess(rows[1][0], rows[2][0])
        self.assertLess(rows[2][1], rows[3][1])
        # The display keeps its exact pixels: one frame pixel, 3 x 3 device
        # pixels.
        width, css = self.script("return [Zintrel.frameSize()[0],"
                                 "        document.getElementById('frame').getBoundingClientRect().width];")
        self.assertAlmostEqual(css, width, delta=0.01)

    def test_the_gallery_fits_the_phone_and_a_tap_opens_a_run(self):
        self.script("[...document.querySelectorAll('#menu button')].pop().scrollIntoView();")
        menu = self.rect("#menu button:last-of-type")
        self.tap(menu["left"] + menu["width"] / 2, menu["top"] + menu["height"] / 2)
        WebDriverWait(self.driver, 10).until(lambda d: self.script("return document.getElementById('gallery').open"))
        dialog, close = self.rect("#gallery"), self.rect("#gallery-close")
        self.assertGreaterEqual(dialog["left"], 0)
        self.assertLessEqual(dialog["right"], 390)
        self.assertGreaterEqual(dialog["top"], 0)
        self.assertLessEqual(dialog["bottom"], 844)
        self.assertGreaterEqual(min(close["width"], close["height"]), 24)
        # Two columns of pictures a finger can choose, nothing wider than
        # the screen.
        entries = self.script("return [...document.querySelectorAll('#gallery-runs a')].map(a => {"
                              "  const r = a.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; });"
                              "")
        self.assertEqual(entries[0][1], entries[1][1])
        self.assertLess(entries[1][1], entries[2][1])
        self.assertTrue(all(min(e[2], e[3]) >= 24 and e[0] >= 0 and e[0] + e[2] <= 390 for e in entries), entries)
        self.assertEqual(self.script("const g = document.getElementById('gallery'); return g.scrollWidth - g.clientWidth;"),
                         0)
        # A tap on the sixth entry, of 35 particles, starts its run, at its
        # link's size.
        link = self.script("return document.querySelectorAll('#gallery-runs a')[5].hash;")
        self.tap(entries[5][0] + entries[5][2] / 2, entries[5][1] + entries[5][3] / 2)
        WebDriverWait(self.driver, 20).until(lambda d: self.script("return Zintrel.frameSize().join();") == "240,160")
        self.assertEqual(self.script("return [location.hash, document.getElementById('gallery').open];"),
                         [link, False])

    def full_screen(self):
        return self.script("return document.fullscreenElement === document.getElementById('display')")

    def frame_fills(self):
        """Whether the frame has the whole screen's size, in frame pixels."""
        return self.script("return Zintrel.frameSize().join() === [innerWidth, innerHeight].join();")

    def test_full_screen_by_a_double_tap_and_by_the_keyboard(self):
        before = self.script("return Zintrel.frameSize();")
        display = self.rect("#display")
        x, y = display["left"] + display["width"] / 2, display["top"] + display["height"] / 2
        self.tap(x, y)
        self.tap(x, y)
        WebDriverWait(self.driver, 10).until(lambda d: self.full_screen() and self.frame_fills())
        # The same action leaves: a double tap again.
        self.tap(195, 400)
        self.tap(195, 400)
        WebDriverWait(self.driver, 10).until(lambda d: not self.full_screen())
        WebDriverWait(self.driver, 10).until(lambda d: self.script(
            "return Zintrel.frameSize();") == before)
        # F enters, and the screen turned either way stays filled; Esc
        # leaves.
        ActionChains(self.driver).send_keys("f").perform()
        WebDriverWait(self.driver, 10).until(lambda d: self.full_screen() and self.frame_fills())
        self.addCleanup(as_a_phone, self.driver)
        as_a_phone(self.driver, 844, 390)
        WebDriverWait(self.driver, 10).until(lambda d: self.frame_fills() and self.script("return innerWidth") == 844)
        as_a_phone(self.driver)
        WebDriverWait(self.driver, 10).until(lambda d: self.frame_fills() and self.script("return innerWidth") == 390)
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        WebDriverWait(self.driver, 10).until(lambda d: not self.full_screen())
        # F11 and the menu's button too.
        ActionChains(self.driver).send_keys(Keys.F11).perform()
        WebDriverWait(self.driver, 10).until(lambda d: self.full_screen())
        ActionChains(self.driver).send_keys(Keys.F11).perform()
        WebDriverWait(self.driver, 10).until(lambda d: not self.full_screen())
        self.script("[...document.querySelectorAll('#menu button')]"
                    "  .find(b => b.textContent === 'Full screen').scrollIntoView();")
        button = self.rect("#menu button[data-shortcut=F11]")
        self.tap(button["left"] + button["width"] / 2, button["top"] + button["height"] / 2)
        WebDriverWait(self.driver, 10).until(lambda d: self.full_screen() and self.frame_fills())
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        WebDriverWait(self.driver, 10).until(lambda d: not self.full_screen())

    def test_where_the_browser_has_no_full_screen_the_display_fills_the_window(self):
        # As on a phone whose browser gives only a video the whole screen.
        self.script("Object.defineProperty(document, 'fullscreenEnabled', {get: () => false});")
        before = self.script("return Zintrel.frameSize();")
        ActionChains(self.driver).send_keys("f").perform()
        WebDriverWait(self.driver, 10).until(lambda d: self.frame_fills())
        self.assertFalse(self.full_screen())
        shown = self.rect("#display")
        self.assertEqual((shown["left"], shown["top"], shown["width"], shown["height"]), (0, 0, 390, 844))
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        WebDriverWait(self.driver, 10).until(lambda d: self.script("return Zintrel.frameSize();") == before)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
