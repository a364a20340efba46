"""What the page's tests in every browser compare with, the frames and the
runs of zintrel-headless, and the browsers they drive through Selenium:
headless Chromium, and WebKitGTK's MiniBrowser on an X server (a test run
by scripts/x-session), whose downloads are caught in the page."""
import base64
import json
import os
import re
import subprocess
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.webkitgtk.options import Options as WebKitOptions

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"

# The numbers of a state that a run must reproduce bit for bit.
STATE_KEYS = ("x", "y", "vx", "vy", "Heading", "ParticleCount", "MaxSpeed", "ParticleSize", "Activity",
              "Acceleration", "Repulsion", "RepulsiveAcceleration", "InitialRadius", "FieldWidth", "FieldHeight")


def rgb_of_png(data):
    """Returns the PNG's pixels as bytes R, G, B per pixel (ImageMagick)."""
    return subprocess.run(["convert", "png:-", "-alpha", "off", "rgb:-"], input=data, check=True,
                          capture_output=True).stdout


def first_drawing(frame, seconds=10):
    """Returns frame() once the display shows its white outline: the first
    tick sizes the canvas, and its drawing follows a moment later."""
    deadline = time.time() + seconds
    shown = frame()
    while b"\xff\xff\xff" not in shown[2] and time.time() < deadline:
        time.sleep(0.1)
        shown = frame()
    return shown


def paused_state(headless, work):
    """Writes a state of 300 particles in a 500 x 300 field, paused, so that
    the ticks draw it as it stands. Returns its path and the RGB bytes of the
    frame the tool draws of it."""
    state = os.path.join(work, "found.zintrel")
    picture = os.path.join(work, "found.png")
    subprocess.run([headless, "--seed", "7", "--count", "300", "--width", "500", "--height", "300",
                    "--ticks", "40", "--state-out", state], check=True)
    with open(state, encoding="utf-8") as file:
        saved = json.load(file)
    saved["Running"] = 0
    with open(state, "w", encoding="utf-8") as file:
        json.dump(saved, file)
    subprocess.run([headless, "--state-in", state, "--ticks", "1", "--frame-out", picture], check=True)
    with open(picture, "rb") as file:
        return state, rgb_of_png(file.read())


def ticks_to_reach(headless, link, page_state, work, most=400):
    """Returns the number of ticks after which the tool's run of the link
    gives page_state, every number bit for bit, or None."""
    out = os.path.join(work, "replay.zintrel")
    for ticks in range(1, most):
        subprocess.run([headless, "--link", link, "--ticks", str(ticks), "--state-out", out], check=True)
        with open(out, encoding="utf-8") as file:
            tool = json.load(file)
        if all(tool[k] == page_state[k] for k in STATE_KEYS):
            return ticks
    return None


def browser(profile, downloads, size=(1000, 700), extra=(), languages="en-US,en"):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=%d,%d" % size) + tuple(extra):
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False,
                                              "intl.accept_languages": languages})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    return driver


def as_a_phone(driver, width=390, height=844):
    """Makes driver a phone of today: width x height CSS pixels at 3 device
    pixels each, with a touch screen, held upright or turned as its sides
    say."""
    upright = height >= width
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 3, "mobile": True,
        "screenOrientation": {"type": "portraitPrimary" if upright else "landscapePrimary",
                              "angle": 0 if upright else 90}})
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})


def webkit_browser(log_path=None, compositing=True):
    """Returns WebKitGTK's MiniBrowser driven by WebKitWebDriver, on the X
    server DISPLAY names: a fresh web process, nothing loaded before. What
    the driver, the browser and its web process print goes to log_path.
    Without compositing, WebKit paints the window as a whole rather than
    composite its layers with OpenGL, which without a graphics processor is
    Mesa's llvmpipe."""
    options = WebKitOptions()
    options.binary_location = MINIBROWSER
    options.add_argument("--automation")
    # The browser takes the driver's environment.
    if not compositing:
        os.environ["WEBKIT_DISABLE_COMPOSITING_MODE"] = "1"
    try:
        return webdriver.WebKitGTK(executable_path="/usr/bin/WebKitWebDriver", options=options,
                                   service_log_path=log_path)
    finally:
        os.environ.pop("WEBKIT_DISABLE_COMPOSITING_MODE", None)


def allow_clipboard(driver):
    """Lets the page read and write the clipboard where the browser asks
    its user first (Chromium); WebKit allows a write within a press."""
    if not webkit_version(driver):
        driver.execute_cdp_cmd("Browser.grantPermissions",
                               {"permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})


def webkit_version(driver):
    """Returns WebKitGTK's version as a tuple, (2, 50, 6) say, or None in
    another browser."""
    if driver.capabilities.get("browserName") != "MiniBrowser":
        return None
    found = re.match(r"([0-9]+)\.([0-9]+)(?:\.([0-9]+))?", driver.capabilities.get("browserVersion", ""))
    return tuple(int(n or 0) for n in found.groups()) if found else (0, 0, 0)


# Catches the page's downloads where the browser keeps none in a folder of
# the test's: each blob given an object address is kept, and an anchor
# clicked to download one hands it over, as bytes in base64, instead.
CATCHING_DOWNLOADS = """
if (!window.zintrelDownloads) {
  window.zintrelDownloads = [];
  const blobs = new Map(), made = URL.createObjectURL;
  URL.createObjectURL = blob => { const address = made(blob); blobs.set(address, blob); return address; };
  const click = HTMLAnchorElement.prototype.click;
  HTMLAnchorElement.prototype.click = function () {
    const blob = this.download && blobs.get(this.href);
    if (!blob) return click.call(this);
    const name = this.download, reader = new FileReader();
    reader.onload = () => zintrelDownloads.push([name, reader.result.split(",", 2)[1] || ""]);
    reader.readAsDataURL(blob);
  };
}"""


def catch_downloads(driver):
    """Makes the page's next downloads reach collect_downloads, where the
    browser saves none of its own (WebKitGTK's MiniBrowser); nothing in
    Chromium, which saves them to the test's folder."""
    if webkit_version(driver):
        driver.execute_script(CATCHING_DOWNLOADS)


def collect_downloads(driver, folder):
    """Writes the downloads caught since the last call into folder, each
    under the name the page gave it, written whole before it is named."""
    if not webkit_version(driver):
        return
    for name, data in driver.execute_script("return window.zintrelDownloads ? zintrelDownloads.splice(0) : []"):
        with open(os.path.join(folder, name + ".part"), "wb") as file:
            file.write(base64.b64decode(data))
        os.rename(os.path.join(folder, name + ".part"), os.path.join(folder, name))
