#!/usr/bin/python3
"""The page in WebKit, as Safari, every iPhone browser and GNOME Web run it:
Debian's WebKitGTK MiniBrowser, driven by WebKitWebDriver on the X server
scripts/x-session gives the test. One browser, its web process fresh when
the first case loads the page, runs a few of the cases the page's other
tests run in Chromium, chosen to cover what differs in WebKit: from a
file:// address it builds its panel and runs, stores each slider's value,
shows an opened state as the tool draws it, replays a copied link bit for
bit, copies the link within the press, goes full screen or fills the
window, draws its own frames without an OffscreenCanvas, and records the
tool's frames into a GIF; served, it runs at its first visit and at its
second, through its service worker, cross-origin isolated; and served
cross-origin isolated it runs whichever program WebKit can run, without a
box.

Usage: x-session --window-manager webkit_test.py PAGE_DIR HEADLESS_TOOL
"""
import os
import sys
import unittest

from selenium.common.exceptions import InvalidSessionIdException

from page_checks import webkit_browser
from page_test import ISOLATING, PageTest
from recording_test import RecordingTest
from static_server import StaticServer

PAGE_DIR = sys.argv[1]


class SharedBrowser:
    """The one MiniBrowser every class of the suite drives."""
    driver = None

    @classmethod
    def open_browser(cls, profile, downloads):
        if SharedBrowser.driver is None:
            SharedBrowser.driver = webkit_browser()
            SharedBrowser.driver.set_window_size(1000, 700)
        return SharedBrowser.driver

    @classmethod
    def close_browser(cls):
        pass

    def setUp(self):
        # WebKitGTK 2.50's web process now and then dies of a corrupt heap
        # (glibc's "unaligned tcache chunk"), taking the session with it:
        # the case it died in fails, and the next ones get a new browser.
        try:
            SharedBrowser.driver.execute_script("return 1")
        except InvalidSessionIdException:
            print("WebKitGTK's web process died; a new browser for the cases after", file=sys.stderr)
            SharedBrowser.driver = None
            type(self).driver = self.open_browser(None, None)
        super().setUp()


class FromDisk(SharedBrowser, PageTest):
    address = "file://" + os.path.abspath(os.path.join(PAGE_DIR, "index.html"))
    isolating = False


class Served(SharedBrowser, PageTest):
    isolating = False


class ServedIsolated(SharedBrowser, PageTest):
    isolating = True


class Recording(SharedBrowser, RecordingTest):
    pass


def suite_of(case_class, names):
    return unittest.TestSuite(case_class(name) for name in names)


if __name__ == "__main__":
    # The first case loads the page in a fresh web process, where a fault
    # at start-up shows.
    from_disk = suite_of(FromDisk, [
        "test_loads_and_its_darts_move",
        "test_each_slider_stores_what_the_desktop_mapping_gives",
        "test_an_opened_state_shows_the_headless_frame_and_a_bad_file_changes_nothing",
        "test_a_copied_link_replays_the_run_as_the_headless_tool_does",
        "test_copy_link_writes_the_clipboard_within_the_press",
        "test_a_browser_without_offscreen_canvas_draws_in_the_page_and_a_failed_start_says_why"])
    recording = suite_of(Recording, [
        "test_a_recording_is_the_tools_frames_of_consecutive_ticks",
        "test_video_is_offered_where_the_browser_encodes_it_and_holds_every_frame"])
    runner = unittest.TextTestRunner(verbosity=2)
    passed = True
    try:
        passed = runner.run(unittest.TestSuite([from_disk, recording])).wasSuccessful()
        # Served plainly: the first visit, then, once the service worker
        # has the page, the second, offline and cross-origin isolated by it.
        plain = StaticServer(PAGE_DIR)
        with plain as address:
            Served.address, Served.server = address + "index.html", plain
            passed &= runner.run(suite_of(Served, ["test_loads_and_its_darts_move",
                                                   "test_runs_offline_once_loaded_from_a_server"])).wasSuccessful()
        isolating = StaticServer(PAGE_DIR, ISOLATING)
        with isolating as address:
            ServedIsolated.address, ServedIsolated.server = address + "index.html", isolating
            passed &= runner.run(suite_of(ServedIsolated, ["test_loads_and_its_darts_move"])).wasSuccessful()
        # Last: WebKitGTK 2.50's web process now and then crashes in or
        # after a worker-drawn canvas's full screen, which would end every
        # case after it.
        passed &= runner.run(suite_of(FromDisk, [
            "test_full_screen_by_the_keyboard_and_where_there_is_none_filling_the_window"])).wasSuccessful()
    finally:
        if SharedBrowser.driver is not None:
            SharedBrowser.driver.quit()
    sys.exit(0 if passed else 1)
