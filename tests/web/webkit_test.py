#!/usr/bin/python3
"""The page in WebKit, as Safari, every iPhone browser and GNOME Web run it:
Debian's WebKitGTK MiniBrowser, driven by WebKitWebDriver on the X server
scripts/x-session gives the test. One browser, its web process fresh when
the first case loads the page, runs a few of the cases the page's other
tests run in Chromium, chosen to cover what differs in WebKit: from a
file:// address it builds its panel and runs, stores each slider's value,
shows an opened state as the tool draws it, replays a copied link and a
gallery entry bit for bit, copies the link within the press, goes full screen or fills the
window, draws its own frames without an OffscreenCanvas, and records the
tool's frames into a GIF; served, it runs at its first visit and at its
second, through its service worker, cross-origin isolated; and served
cross-origin isolated it runs whichever program WebKit can run, without a
box. A case in which the browser's web process dies, a fault of WebKit's
own, runs once more in a fresh browser, and says so; a wrong result is
never run again.

Usage: x-session --window-manager webkit_test.py PAGE_DIR HEADLESS_TOOL
"""
import os
import sys
import tempfile
import unittest

from selenium.common.exceptions import WebDriverException

from page_checks import webkit_browser
from page_test import ISOLATING, PageTest
from recording_test import RecordingTest
from static_server import StaticServer

PAGE_DIR = sys.argv[1]


class SharedBrowser:
    """The one MiniBrowser every class of the suite drives, its output kept
    in a file of the suite's, where a web process that dies says why."""
    driver = None
    log = tempfile.NamedTemporaryFile(prefix="zintrel-webkit-", suffix=".log")

    @classmethod
    def open_browser(cls, profile, downloads):
        if SharedBrowser.driver is None:
            # With its compositing on, on llvmpipe, WebKitGTK 2.50 now and
            # then leaves a canvas drawn on the page's own thread black for
            # good (docs/web.md).
            SharedBrowser.driver = webkit_browser(SharedBrowser.log.name, compositing=False)
            SharedBrowser.driver.set_window_size(1000, 700)
        return SharedBrowser.driver

    @classmethod
    def close_browser(cls):
        pass

    @staticmethod
    def gone():
        """Whether the browser's session has ended under the suite: its web
        process died, as WebKitGTK's own faults end it."""
        try:
            SharedBrowser.driver.execute_script("return 1")
            return False
        except WebDriverException:
            return True

    @staticmethod
    def new_browser():
        """Ends what is left of the session; the next case's class starts a
        fresh browser."""
        try:
            SharedBrowser.driver.quit()
        except WebDriverException:
            pass
        SharedBrowser.driver = None


class FromDisk(SharedBrowser, PageTest):
    address = "file://" + os.path.abspath(os.path.join(PAGE_DIR, "index.html"))
    isolating = False


class Served(SharedBrowser, PageTest):
    isolating = False


class ServedIsolated(SharedBrowser, PageTest):
    isolating = True


class Recording(SharedBrowser, RecordingTest):
    pass


def run_cases(case_class, names):
    """Runs the cases in turn; returns whether all passed. A case whose
    failure ended the browser's session, which only the browser's own
    process dying does, runs once more in a fresh browser, saying so; a
    case that fails in a live browser is never run again."""
    runner = unittest.TextTestRunner(verbosity=2)
    passed = True
    for name in names:
        if runner.run(unittest.TestSuite([case_class(name)])).wasSuccessful():
            continue
        if not SharedBrowser.gone():
            passed = False
            continue
        with open(SharedBrowser.log.name, errors="replace") as log:
            said = [line.strip() for line in log if line.strip()][-3:]
        print("WebKitGTK's web process died during %s (%s); it runs once more in a new browser"
              % (name, " / ".join(said) or "it said nothing"), file=sys.stderr)
        SharedBrowser.new_browser()
        passed &= runner.run(unittest.TestSuite([case_class(name)])).wasSuccessful()
    return passed


if __name__ == "__main__":
    passed = True
    try:
        # The first case loads the page in a fresh web process, where a
        # fault at start-up shows.
        passed &= run_cases(FromDisk, [
            "test_loads_and_its_darts_move",
            "test_each_slider_stores_what_the_desktop_mapping_gives",
            "test_an_opened_state_shows_the_headless_frame_and_a_bad_file_changes_nothing",
            "test_a_copied_link_replays_the_run_as_the_headless_tool_does",
            "test_a_gallery_entry_runs_its_link_as_the_headless_tool_does",
            "test_copy_link_writes_the_clipboard_within_the_press",
            "test_a_browser_without_offscreen_canvas_draws_in_the_page_and_a_failed_start_says_why"])
        passed &= run_cases(Recording, [
            "test_a_recording_is_the_tools_frames_of_consecutive_ticks",
            "test_video_is_offered_where_the_browser_encodes_it_and_holds_every_frame"])
        # Served plainly: the first visit, then, once the service worker
        # has the page, the second, offline and cross-origin isolated by it.
        plain = StaticServer(PAGE_DIR)
        with plain as address:
            Served.address, Served.server = address + "index.html", plain
            passed &= run_cases(Served, ["test_loads_and_its_darts_move",
                                         "test_runs_offline_once_loaded_from_a_server"])
        isolating = StaticServer(PAGE_DIR, ISOLATING)
        with isolating as address:
            ServedIsolated.address, ServedIsolated.server = address + "index.html", isolating
            passed &= run_cases(ServedIsolated, ["test_loads_and_its_darts_move"])
        # Last: WebKitGTK 2.50's web process has crashed in or after a
        # worker-drawn canvas's full screen.
        passed &= run_cases(FromDisk, [
            "test_full_screen_by_the_keyboard_and_where_there_is_none_filling_the_window"])
    finally:
        if SharedBrowser.driver is not None:
            SharedBrowser.driver.quit()
    sys.exit(0 if passed else 1)
