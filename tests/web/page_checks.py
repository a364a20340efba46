"""What the page's tests in every browser compare with, the frames and the
runs of zintrel-headless, and the headless Chromium they drive."""
import json
import os
import subprocess
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

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
