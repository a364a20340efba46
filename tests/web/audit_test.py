#!/usr/bin/python3
"""The real page in headless Chromium, served compressed from the loopback,
audited with axe-core for WCAG 2.x A and AA (2.2's included) and axe's
best practices, in English and in Japanese, on a desktop window and on an
emulated phone; and, in each, every control of the settings panel and of
the menu is reached with the Tab key and shows where the focus is; so
with the gallery open (in English on a desktop window, in Japanese on a
phone), whose close button and entries the Tab key then goes round.

Usage: audit_test.py PAGE_DIR AXE_JS
(AXE_JS: axe.min.js of the axe-core that tests/web/package-lock.json pins)
"""
import os
import sys
import tempfile
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from page_checks import as_a_phone, browser as chromium
from static_server import StaticServer

PAGE_DIR, AXE_JS = sys.argv[1], sys.argv[2]

AXE_TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22aa", "best-practice"]
# Disabled controls are out of the Tab order by design (the menu disables
# what cannot be done at the moment); every other one must be in it.
CONTROLS = "#panel input:not([disabled]), #panel button:not([disabled]), #menu button:not([disabled])"
# Those of the gallery, the only ones while it is open.
GALLERY_CONTROLS = "#gallery button, #gallery a"
# Language, the browser's list of accepted languages, and the lang the page
# must then declare: the check that the browser really spoke it.
LANGUAGES = {"english": ("en-US", "en-US,en", "en"), "japanese": ("ja", "ja-JP,ja", "ja")}

# The focus indicator as the computed style gives it; the page may draw it
# as an outline or as a shadow.
FOCUS_STYLE = """
const s = getComputedStyle(arguments[0]);
return {outline: [s.outlineStyle, s.outlineWidth, s.outlineColor, s.outlineOffset].join(' '),
        drawn: s.outlineStyle !== 'none' && parseFloat(s.outlineWidth) > 0,
        shadow: s.boxShadow};
"""


def browser(profile, languages, phone):
    language, accepted, _ = LANGUAGES[languages]
    driver = chromium(profile, profile, extra=["--lang=" + language], languages=accepted)
    if phone:
        as_a_phone(driver)
    return driver


def describe(violations):
    """Returns axe's violations as lines a developer can act on: the rule,
    what it asks, and each element that breaks it with axe's summary."""
    lines = []
    for violation in violations:
        lines.append("%s (%s): %s" % (violation["id"], violation["impact"], violation["help"]))
        for node in violation["nodes"]:
            lines.append("    %s  %s" % (" > ".join(map(str, node["target"])), node["html"][:160]))
            lines.extend("        " + line for line in node.get("failureSummary", "").splitlines())
    return "\n".join(lines)


class AuditTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(AXE_JS, encoding="utf-8") as file:
            cls.axe = file.read()
        cls.work = tempfile.TemporaryDirectory(prefix="zintrel-audit-test-")
        cls.server = StaticServer(PAGE_DIR)
        cls.address = cls.server.__enter__() + "index.html"

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.work.cleanup()

    def audit(self, languages, phone, gallery=False):
        """Opens the page in a browser of that language and screen, and
        checks it with axe and with the keyboard, and so the gallery open
        where asked."""
        profile = os.path.join(self.work.name, "profile-%s-%s" % (languages, "phone" if phone else "desktop"))
        driver = browser(profile, languages, phone)
        try:
            driver.get(self.address)
            WebDriverWait(driver, 30).until(lambda d: d.execute_script(
                "return Zintrel.frameSize()[0] > 0"
                "    && document.querySelectorAll('#panel input').length > 0"))
            self.assertEqual(driver.execute_script("return document.documentElement.lang"), LANGUAGES[languages][2])
            if phone:
                self.assertEqual(driver.execute_script(
                    "return [innerWidth, devicePixelRatio, navigator.maxTouchPoints]"), [390, 3, 5])
            with self.subTest("axe"):
                self.check_axe(driver)
            with self.subTest("keyboard"):
                self.check_keyboard(driver, CONTROLS)
            if not gallery:
                return
            with self.subTest("gallery"):
                driver.execute_script("[...document.querySelectorAll('#menu button')].pop().click()")
                WebDriverWait(driver, 10).until(lambda d: d.execute_script(
                    "return document.getElementById('gallery').open"))
                self.check_axe(driver)
                self.check_keyboard(driver, GALLERY_CONTROLS)
        finally:
            driver.quit()

    def check_axe(self, driver):
        driver.execute_script(self.axe)
        driver.set_script_timeout(60)
        results = driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document, {runOnly: {type: 'tag', values: arguments[0]}, resultTypes: ['violations']})"
            "   .then(r => done({version: axe.version, violations: r.violations, passes: r.passes.length}),"
            "         e => done({error: String(e)}));", AXE_TAGS)
        self.assertNotIn("error", results, results.get("error"))
        # An audit that checked nothing would pass every page.
        self.assertGreater(results["passes"], 0, "axe checked no rule")
        if results["violations"]:
            self.fail("axe-core %s finds:\n%s" % (results["version"], describe(results["violations"])))

    def check_keyboard(self, driver, selector):
        """Checks that the Tab key goes round every control selector finds,
        each showing its focus."""
        controls = driver.execute_script(
            "return [...document.querySelectorAll(arguments[0])].map(e => e.id || e.textContent || e.outerHTML)",
            selector)
        self.assertGreater(len(controls), 10, "no controls: " + selector)
        driver.execute_script("document.activeElement.blur()")
        # Real key presses, as a person tabs through the page: the order
        # is the browser's, and only the reached controls are focused by
        # the keyboard, which is when :focus-visible applies.
        focused_styles, last = {}, None
        for _ in range(2 * len(controls) + 10):
            ActionChains(driver).send_keys(Keys.TAB).perform()
            index, element = driver.execute_script(
                "const e = document.activeElement;"
                "return [[...document.querySelectorAll(arguments[0])].indexOf(e), e];", selector)
            if index >= 0 and index not in focused_styles:
                focused_styles[index] = driver.execute_script(FOCUS_STYLE, element)
            if index == 0 and last is not None:
                break  # Round to the first control again.
            last = index
        problems = ["not reached with Tab: " + controls[i] for i in range(len(controls)) if i not in focused_styles]
        driver.execute_script("document.activeElement.blur()")
        for index, element in enumerate(driver.execute_script(
                "return [...document.querySelectorAll(arguments[0])]", selector)):
            if index not in focused_styles:
                continue
            focused, plain = focused_styles[index], driver.execute_script(FOCUS_STYLE, element)
            outline = focused["drawn"] and focused["outline"] != plain["outline"]
            shadow = focused["shadow"] != "none" and focused["shadow"] != plain["shadow"]
            if not (outline or shadow):
                problems.append("no visible focus: %s: focused outline %r shadow %r, unfocused outline %r shadow %r"
                                % (controls[index], focused["outline"], focused["shadow"], plain["outline"],
                                   plain["shadow"]))
        if problems:
            self.fail("\n".join(problems))

    # The gallery's names and layout differ by language and by screen: it
    # is audited once each way.
    def test_english_on_a_desktop_window(self):
        self.audit("english", phone=False, gallery=True)

    def test_english_on_a_phone(self):
        self.audit("english", phone=True)

    def test_japanese_on_a_desktop_window(self):
        self.audit("japanese", phone=False)

    def test_japanese_on_a_phone(self):
        self.audit("japanese", phone=True, gallery=True)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
