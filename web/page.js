// The page's events, mapped onto the program's C++ (page.cpp): the controls
// are built from the panel's description, each event calls its handler, the
// timer runs the ticks, and the canvas shows the frame one pixel per pixel.
// Nothing here decides what a control does.
"use strict";

var Module = { onRuntimeInitialized: function () { Zintrel.start(); } };

var Zintrel = (function () {
  var call = function (name, types, args) {
    return Module.ccall(name, "string", types || [], args || []);
  };
  var encoder = new TextEncoder();

  // Hands the program a text for its next call that takes one. Texts travel
  // through the program's heap, never as ccall's "string", which copies them
  // onto its stack of a few MiB unchecked: a link or a file's name may be
  // millions of characters long. Returns false, and reports why, where the
  // memory cannot be had; the program is then given no text.
  function give(text) {
    var bytes = encoder.encode(text);
    var at = Module._ZintrelGivenText(bytes.length);
    if (!at) {
      report(call("ZintrelNotEnoughMemoryText"));
      return false;
    }
    // Read HEAPU8 only now: the heap may have grown for the text.
    Module.HEAPU8.set(bytes, at);
    return true;
  }
  var canvas, box, boxText, display;
  var interval = 16, due = 0, timerOn = false, drawPending = false;
  // A fixed field size from a link or an opened state, kept until the
  // display is resized; otherwise null and the field follows the display.
  var fixedSize = null;
  var channel = new MessageChannel();

  // Lines made while the box is open, shown in turn as it closes.
  var waiting = [];

  // The most characters of a line the box shows. A line quotes what it is
  // about, and a link, a field name in a file or a file name made by a
  // script may be millions of characters long; the box keeps the line's
  // beginning, which says what went wrong, and its end, which says why,
  // around an ellipsis. A name a system gives a file, at most 255
  // characters, is quoted whole.
  var kLongestLine = 1000;

  function shortened(line) {
    if (line.length <= kLongestLine) return line;
    // By code point, so that no character is cut in two.
    var characters = Array.from(line);
    if (characters.length <= kLongestLine) return line;
    return characters.slice(0, 700).join("") + "…" + characters.slice(-299).join("");
  }

  function report(line) {
    // One box at a time, as on the desktop: a line made while it is open
    // waits its turn, unless it says what the open box or a waiting one
    // already says (a fault that recurs behind its box would otherwise
    // queue boxes without end). The animation goes on behind the box.
    if (!line) return;
    line = shortened(line);
    if (box.open) {
      if (boxText.textContent !== line && waiting.indexOf(line) < 0) waiting.push(line);
      return;
    }
    boxText.textContent = line;
    box.showModal();
  }

  function showWaiting() {
    if (waiting.length > 0) report(waiting.shift());
  }

  // The display's whole-factor enlargement: on a screen of 2.5 device pixels
  // per CSS pixel each frame pixel takes 2 x 2 device pixels.
  function factor() { return Math.max(1, Math.floor(window.devicePixelRatio || 1)); }

  function measure() {
    var ratio = window.devicePixelRatio || 1;
    if (fixedSize) return fixedSize;
    return [Math.floor(display.clientWidth * ratio / factor()), Math.floor(display.clientHeight * ratio / factor())];
  }

  function draw() {
    drawPending = false;
    var width = Module._ZintrelFrameWidth(), height = Module._ZintrelFrameHeight();
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    var ratio = window.devicePixelRatio || 1, scale = factor() / ratio;
    if (fixedSize) {
      // A picture larger than the display is shown at the largest whole
      // fraction that fits, still without smoothing.
      var shrink = Math.max(1, Math.ceil(Math.max(width * scale / display.clientWidth, height * scale / display.clientHeight)));
      scale /= shrink;
    }
    canvas.style.width = width * scale + "px";
    canvas.style.height = height * scale + "px";
    if (width === 0 || height === 0) return;
    var pixels = Module._ZintrelFramePixels();
    var bytes = new Uint8ClampedArray(Module.HEAPU8.buffer, pixels, width * height * 4);
    canvas.getContext("2d").putImageData(new ImageData(new Uint8ClampedArray(bytes), width, height), 0, 0);
  }

  function requestDraw() {
    if (drawPending) return;
    drawPending = true;
    requestAnimationFrame(draw);
  }

  function tick() {
    var size = measure();
    var line = call("ZintrelTick", ["number", "number"], size);
    if (video.recording()) video.frameDrawn();
    report(line);
  }

  // Timer1: a tick whenever its interval has passed. Expiries merge as the
  // desktop timer's do, so a slow machine ticks as fast as it can rather
  // than catching up. Waits under 4 ms, which the browser's timer would
  // stretch, are made of message round trips, which leave the page free
  // to handle input between them.
  function loop() {
    var now = performance.now();
    // A video encoder that falls behind holds the ticks back, as a slow
    // machine does, rather than drop a frame or let them pile up.
    if (now >= due && !video.behind()) {
      tick();
      due = Math.max(due + interval, performance.now());
    }
    var wait = due - performance.now();
    if (wait >= 4) setTimeout(loop, wait);
    else channel.port2.postMessage(0);
  }
  channel.port1.onmessage = loop;

  function startTimer(milliseconds) {
    interval = milliseconds;
    due = performance.now() + milliseconds;
    if (!timerOn) {
      timerOn = true;
      setTimeout(loop, milliseconds);
    }
    return true;
  }

  function now() {
    var d = new Date();
    return [d.getFullYear(), d.getMonth() + 1, d.getDate(), d.getHours(), d.getMinutes(), d.getSeconds()];
  }

  function download(blob, name) {
    var link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
  }

  // The kinds of file a download is named for.
  var kState = 0, kPicture = 1, kGif = 2, kVideo = 3;

  function proposedName(kind) {
    return call("ZintrelProposedName", ["number", "number", "number", "number", "number", "number", "number"],
                now().concat([kind]));
  }

  function saveState() {
    download(new Blob([call("ZintrelSavedState")], { type: "application/x-zintrel-state" }), proposedName(kState));
  }

  // Files being read, during which the display is marked busy: the open
  // ends, with the state shown or a line in the box, when the read does.
  var reading = 0;

  function setReading(change) {
    reading += change;
    if (reading > 0) display.setAttribute("aria-busy", "true");
    else display.removeAttribute("aria-busy");
  }

  // Opens the file's first bytes, at most one beyond the bound, under the
  // file's own name, so that its lines quote that name.
  function openState(file) {
    var limit = Module._ZintrelMaxStateBytes() + 1;
    setReading(1);
    file.slice(0, limit).arrayBuffer().then(function (data) {
      // A name the page's file system cannot hold as one entry (none, a
      // dot or two, or one with a slash or a NUL, which a system's file
      // names never have but a script's may) is read as "state".
      var name = /^\.{0,2}$|[\/\0]/.test(file.name) ? "state" : file.name;
      if (!give(name)) return;
      Module.FS.writeFile(name, new Uint8Array(data));
      var line;
      try {
        line = call("ZintrelOpenState");
      } finally {
        Module.FS.unlink(name);
      }
      if (!line) {
        fixedSize = [Module._ZintrelAskedWidth(), Module._ZintrelAskedHeight()];
        line = call("ZintrelFittedNotice");
      }
      report(line);
    }).catch(function (error) {
      report(String(error.message || error));
    }).finally(function () { setReading(-1); });
  }

  function pictureBlob(then) {
    var name = proposedName(kPicture);
    if (drawPending) draw();
    if (canvas.width === 0 || canvas.height === 0) {
      if (give(name)) report(call("ZintrelEmptyPictureText"));
      return;
    }
    canvas.toBlob(function (blob) { then(blob, name); }, "image/png");
  }

  function savePicture() { pictureBlob(download); }

  function copyPicture() {
    pictureBlob(function (blob) {
      if (!navigator.clipboard || !window.ClipboardItem) return;
      navigator.clipboard.write([new ClipboardItem({ "image/png": blob })]).catch(function (error) {
        report(String(error.message || error));
      });
    });
  }

  var linkCopiedText = "";

  // Puts a link to this run on the clipboard where the browser allows it,
  // and shows it beside the menu, so it can be opened or copied by hand.
  function copyLink() {
    var address = location.href.split("#")[0] + "#" + call("ZintrelLink");
    var notice = document.getElementById("notice");
    notice.textContent = linkCopiedText + " ";
    var link = document.createElement("a");
    link.href = address;
    link.textContent = "#";
    notice.appendChild(link);
    if (navigator.clipboard) navigator.clipboard.writeText(address).catch(function () {});
  }

  // A recording's bytes as they come, held outside the program's heap and
  // gathered into blobs every few megabytes (a browser may keep a large
  // blob on disk rather than in the tab), until they are downloaded as one
  // file or dropped. One recording at a time.
  var recording = (function () {
    // pieces: how many the program handed over for the last recording, a
    // frame's each and one the file's end, which the page's tests check the
    // file against.
    var blobs = [], parts = [], partBytes = 0, pieces = 0;
    function gather() {
      if (parts.length > 0) blobs.push(new Blob(parts));
      parts = [];
      partBytes = 0;
    }
    function drop() {
      blobs = [];
      parts = [];
      partBytes = 0;
    }
    return {
      begin: function () {
        drop();
        pieces = 0;
      },
      drop: drop,
      pieces: function () { return pieces; },
      // Returns false where the tab has no memory for bytes.
      append: function (bytes) {
        pieces += 1;
        try {
          // A copy: bytes is a view of the program's heap, which moves on.
          parts.push(bytes.slice());
        } catch (error) {
          return false;
        }
        partBytes += bytes.length;
        if (partBytes >= 4 << 20) gather();
        return true;
      },
      download: function (name, type) {
        gather();
        var blob = new Blob(blobs, { type: type });
        drop();
        download(blob, name);
      }
    };
  })();

  var video = ZintrelVideo({
    call: call, give: give, report: report, download: download,
    proposedName: function () { return proposedName(kVideo); },
    showRecordingStatus: function (status) { showRecordingStatus(status); },
    interval: function () { return interval; }
  });
  // Asked while the program loads, so that the answer is there when the
  // menu is built.
  video.supported();

  var recordButton = null, videoButton = null, recordingStatus = null;
  var recordText = "", stopRecordingText = "", recordVideoText = "", pageTitle = "";

  // What a recording adds to the page while it runs, beside the menu and in
  // the tab's title, never in the frame: what is recorded is what is drawn.
  function showRecordingStatus(status) {
    recordingStatus.textContent = status;
    document.title = status ? pageTitle + " \u2014 " + status : pageTitle;
    var gif = Module._ZintrelRecording() !== 0, moving = video.recording();
    recordButton.textContent = gif ? stopRecordingText : recordText;
    recordButton.disabled = moving;
    if (videoButton) {
      videoButton.textContent = moving ? stopRecordingText : recordVideoText;
      videoButton.disabled = gif;
    }
  }

  // Record… and Stop recording: the GIF, exact, every tick one frame.
  function record() {
    if (Module._ZintrelRecording()) {
      report(call("ZintrelStopRecording"));
    } else if (!video.recording() && give(proposedName(kGif))) {
      report(call("ZintrelStartRecording"));
    }
  }

  function recordVideo() {
    if (video.recording()) video.stop();
    else if (!Module._ZintrelRecording()) video.start();
  }

  var menuActions = [saveState, function () { document.getElementById("open-file").click(); }, savePicture,
                     copyPicture, record, copyLink];

  function place(element, bounds) {
    element.style.left = bounds[0] + "px";
    element.style.top = bounds[1] + "px";
    element.style.width = bounds[2] + "px";
    element.style.height = bounds[3] + "px";
  }

  function buildPanel(description) {
    var panel = document.getElementById("panel");
    panel.setAttribute("aria-label", description.title);
    description.controls.forEach(function (control) {
      var element;
      if (control.kind === "slider") {
        element = document.createElement("input");
        element.type = "range";
        element.min = control.minimum;
        element.max = control.maximum;
        element.value = control.position;
        if (control.everyStep) {
          var marks = document.createElement("datalist");
          marks.id = control.name + "-marks";
          for (var p = control.minimum; p <= control.maximum; ++p) marks.appendChild(new Option("", p));
          panel.appendChild(marks);
          element.setAttribute("list", marks.id);
        }
        element.addEventListener("input", function () {
          report(call("ZintrelSliderChanged", ["number"], [control.slider]));
        });
      } else if (control.kind === "checkbox") {
        element = document.createElement("label");
        var box = document.createElement("input");
        box.type = "checkbox";
        box.id = control.name;
        box.checked = control.checked;
        box.addEventListener("change", function () { report(call("ZintrelCheckBoxClicked")); });
        element.append(box, control.text);
      } else if (control.kind === "button") {
        element = document.createElement("button");
        element.type = "button";
        element.textContent = control.text;
        element.addEventListener("click", function () {
          report(call("ZintrelButtonClicked", ["number"], [control.button]));
        });
      } else {
        element = document.createElement("span");
        element.textContent = control.text;
      }
      if (control.kind !== "checkbox") element.id = control.name;
      place(element, control.bounds);
      panel.appendChild(element);
      // A longer word than the layout's grows within its row, as on the desktop.
      if (control.kind === "label" && element.scrollWidth > control.bounds[2]) {
        var b = control.bounds;
        var fitted = Module._ZintrelFittedLabel(b[0], b[1], b[2], b[3], element.scrollWidth);
        place(element, [Math.floor(fitted / 65536), b[1], fitted % 65536, b[3]]);
      }
      // A label names the slider to its right, for screen readers too.
      if (control.kind === "label") {
        var sliders = panel.querySelectorAll("input[type=range]");
        for (var i = 0; i < sliders.length; ++i) {
          var s = sliders[i].style;
          if (Math.abs(parseInt(s.top, 10) + 5 - control.bounds[1]) <= 1) sliders[i].setAttribute("aria-labelledby", control.name);
        }
      }
    });
    var menu = document.getElementById("menu");
    description.menu.forEach(function (item) {
      var button = document.createElement("button");
      button.type = "button";
      button.textContent = item.text;
      button.title = item.tip || item.shortcut;
      button.dataset.shortcut = item.shortcut;
      if (item.shortcut) shortcuts.set(item.shortcut, button);
      button.addEventListener("click", menuActions[item.action]);
      menu.appendChild(button);
      if (menuActions[item.action] === record) {
        recordButton = button;
        recordText = item.text;
        // Offered only where this browser can make the video.
        if (videoSupported) {
          videoButton = document.createElement("button");
          videoButton.type = "button";
          videoButton.id = "record-video";
          videoButton.textContent = description.recordVideo;
          videoButton.addEventListener("click", recordVideo);
          menu.appendChild(videoButton);
        }
      }
    });
    // The recording's status lies over the display's corner, outside the
    // frame and outside the layout: a line appearing in the menu could wrap
    // it and so resize the display, which ends a recording.
    recordingStatus = document.createElement("div");
    recordingStatus.id = "recording-status";
    recordingStatus.setAttribute("role", "status");
    display.appendChild(recordingStatus);
    // Record… and Stop recording take the same room, for the same reason.
    [[recordButton, recordText], [videoButton, description.recordVideo]].forEach(function (pair) {
      if (!pair[0]) return;
      pair[0].textContent = description.stopRecording;
      var wide = pair[0].offsetWidth;
      pair[0].textContent = pair[1];
      pair[0].style.minWidth = Math.max(wide, pair[0].offsetWidth) + "px";
    });
    var notice = document.createElement("span");
    notice.id = "notice";
    menu.appendChild(notice);
    linkCopiedText = description.linkCopied;
    stopRecordingText = description.stopRecording;
    recordVideoText = description.recordVideo;
  }

  // The menu's buttons by their shortcuts, "Ctrl+S" and so on.
  var shortcuts = new Map();

  function shortcutOf(event) {
    // Not every keydown names a key: the browser's autofill sends one
    // without any.
    if (typeof event.key !== "string" || event.key === "") return "";
    var keys = [];
    if (event.ctrlKey || event.metaKey) keys.push("Ctrl");
    if (event.shiftKey) keys.push("Shift");
    keys.push(event.key.length === 1 ? event.key.toUpperCase() : event.key);
    return keys.join("+");
  }

  // Whether this browser can record a video, known before the menu is
  // built: a button added later would change the display's size, and with
  // it a link's fixed one.
  var videoSupported = false;

  function start() {
    video.supported().then(function (supported) {
      videoSupported = supported;
      startPage();
    });
  }

  function startPage() {
    canvas = document.getElementById("frame");
    display = document.getElementById("display");
    box = document.getElementById("box");
    boxText = document.getElementById("box-text");
    box.addEventListener("close", showWaiting);
    // The browser's language, as the desktop programs follow the system's.
    if (give((navigator.languages || [navigator.language || ""]).join(","))) call("ZintrelChooseLanguage");
    var description = JSON.parse(call("ZintrelPanel"));
    document.documentElement.lang = description.language;
    pageTitle = document.title;
    buildPanel(description);
    document.getElementById("open-file").addEventListener("change", function (event) {
      if (event.target.files.length > 0) openState(event.target.files[0]);
      event.target.value = "";
    });
    document.addEventListener("dragover", function (event) { event.preventDefault(); });
    document.addEventListener("drop", function (event) {
      event.preventDefault();
      if (event.dataTransfer.files.length > 0) openState(event.dataTransfer.files[0]);
    });
    document.addEventListener("keydown", function (event) {
      if (box.open) return;
      // Looked up, not made into a selector: a key such as " or \ would
      // break one.
      var shortcut = shortcutOf(event);
      var button = shortcuts.get(shortcut);
      if (!button) return;
      // Ctrl+C copies selected text as usual, the picture otherwise.
      if (shortcut === "Ctrl+C" && String(window.getSelection())) return;
      event.preventDefault();
      button.click();
    });
    // Resizing the display ends a fixed field size: from then on the field
    // follows the display, as the desktop's does after the user resizes.
    var seen = null;
    new ResizeObserver(function () {
      var size = [display.clientWidth, display.clientHeight];
      if (seen && (seen[0] !== size[0] || seen[1] !== size[1])) fixedSize = null;
      seen = size;
      requestDraw();
    }).observe(display);
    Module.FS.mkdir("/opened");
    Module.FS.chdir("/opened");
    // Served pages keep working offline; a page opened from disk needs no help.
    if ("serviceWorker" in navigator && /^https?:$/.test(location.protocol)) {
      navigator.serviceWorker.register("service_worker.js").catch(function () {});
    }
    // A link whose memory cannot be had is not given: the page starts
    // afresh, as for a link that cannot be replayed, behind the box.
    give(location.hash);
    report(call("ZintrelStart"));
    if (Module._ZintrelLinkWidth() >= 0) fixedSize = [Module._ZintrelLinkWidth(), Module._ZintrelLinkHeight()];
  }

  return { start: start, startTimer: startTimer, requestDraw: requestDraw, recording: recording,
           showRecordingStatus: showRecordingStatus, notice: report, video: video };
})();

// The program itself: the threaded variant where the page is cross-origin
// isolated (its step then shares the work among the processors, with the
// same bits), the one-thread program everywhere else, a file:// page
// included.
(function () {
  var script = document.createElement("script");
  script.src = self.crossOriginIsolated ? "zintrel-threads.js" : "zintrel.js";
  document.body.appendChild(script);
})();
