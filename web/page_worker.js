// The program's own thread: the page's worker owns the field, the settings
// panel's logic, the timer and the frame (page.cpp), so that a tick of
// thousands of particles never stands between a touch and the page's answer
// to it. The worker draws on the display's canvas itself where the browser
// can hand the canvas over. The page's main thread (page.js) only maps the
// browser's events and controls onto the messages below and shows what
// comes back: the box's lines, the controls' new positions, the frame's
// size, the downloads, and the frames where it draws them.
//
// From the page:   start, built, display, slider, checkbox, button, action, open, link,
//                  ask, encoded
// To the page:     panel, slider, checkbox, tip, frameSize, frame, encode, report,
//                  status, download, copy, link, opened, answer
"use strict";

// The video recording and its muxer. A page opened from disk gets all of
// the worker in one script made at build time, since a worker there may
// not load files.
if (typeof ZintrelBundled === "undefined") importScripts("mp4-muxer.js", "page_video.js");

var Module = { onRuntimeInitialized: function () { Zintrel.loaded(); } };

var Zintrel = (function () {
  var call = function (name, types, args) {
    return Module.ccall(name, "string", types || [], args || []);
  };
  var encoder = new TextEncoder();

  function post(message, transfer) { self.postMessage(message, transfer || []); }

  function report(line) {
    if (line) post({ type: "report", line: line });
  }

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

  // The panel's controls as the page shows them: each slider's position
  // and the check box, read and written by the program as it would the
  // controls themselves. A position the page reports, or the program sets,
  // is clamped to the slider's range and made whole, as an input's is.
  var sliders = new Map(), checked = true;

  function clamp(name, value) {
    var range = sliders.get(name);
    var whole = Math.round(Number(value));
    if (!isFinite(whole)) whole = range.minimum;
    return Math.min(range.maximum, Math.max(range.minimum, whole));
  }

  // The display's size in frame pixels, as the page last measured it.
  var displaySize = [0, 0];
  // A fixed field size from a link or an opened state, kept until the
  // display is resized; otherwise null and the field follows the display.
  var fixedSize = null;

  function measure() { return fixedSize || displaySize; }

  // The display's canvas, handed over by the page where the browser can
  // (an OffscreenCanvas): the frame is drawn here and reaches the screen
  // without the page's thread. Where it cannot, canvas stays null and each
  // frame goes to the page, which draws it. Either way once per screen
  // refresh at most. The page is told the frame's size when it changes,
  // and whether it is fixed, to lay the canvas out.
  var canvas = null, context = null, shownSize = "", shown = [0, 0];
  var drawPending = false, drawAskedAt = 0;
  var nextRefresh = typeof requestAnimationFrame === "function" ? requestAnimationFrame
    : function (then) { return setTimeout(then, 16); };
  // The frame's bytes, copied out of the program's heap, which an image
  // may not share in the threaded program (and which WebKit's web process
  // does not take as an image's bytes without faulting now and then).
  var pixels = new Uint8ClampedArray(0);

  function draw() {
    drawPending = false;
    var width = Module._ZintrelFrameWidth(), height = Module._ZintrelFrameHeight();
    var size = [width, height, fixedSize !== null].join();
    if (size !== shownSize) {
      if (canvas) {
        canvas.width = width;
        canvas.height = height;
      }
      shownSize = size;
      shown = [width, height];
      post({ type: "frameSize", width: width, height: height, fixed: fixedSize !== null });
    }
    if (width === 0 || height === 0) return;
    try {
      // The heap may grow for the frame's bytes: read it only after.
      var at = Module._ZintrelFramePixels();
      var frame = new Uint8ClampedArray(Module.HEAPU8.buffer, at, width * height * 4);
      if (!canvas) {
        var sent = new Uint8ClampedArray(frame);
        post({ type: "frame", width: width, height: height, pixels: sent }, [sent.buffer]);
        return;
      }
      if (pixels.length !== frame.length) pixels = new Uint8ClampedArray(frame.length);
      pixels.set(frame);
      context.putImageData(new ImageData(pixels, width, height), 0, 0);
    } catch (error) {
      // A frame the tab has no memory for is told, and the next one tried.
      report(String(error.message || error));
    }
  }

  function requestDraw() {
    if (drawPending) return;
    drawPending = true;
    drawAskedAt = performance.now();
    nextRefresh(function () { if (drawPending) draw(); });
  }

  // A worker kept busy by ticks slower than their interval may never be
  // offered a refresh (Chromium starves a worker's animation frames then,
  // and the display stayed empty): a frame asked for and not drawn within
  // a few refreshes is drawn between two ticks instead.
  var kLongestDrawWait = 50;
  function drawIfStarved() {
    if (drawPending && performance.now() - drawAskedAt > kLongestDrawWait) draw();
  }

  var interval = 16, due = 0, timerOn = false;
  var channel = new MessageChannel();

  // The ticks the timer has run, for the page's speed measurements.
  var ticksRun = 0;

  function tick() {
    ticksRun += 1;
    var line = call("ZintrelTick", ["number", "number"], measure());
    if (video.recording()) video.frameDrawn();
    report(line);
  }

  // Timer1: a tick whenever its interval has passed. Expiries merge as the
  // desktop timer's do, so a slow machine ticks as fast as it can rather
  // than catching up. Waits under 4 ms, which the browser's timer would
  // stretch, are made of message round trips, which leave the worker free
  // to take the page's messages between them.
  function loop() {
    var now = performance.now();
    // A video encoder that falls behind holds the ticks back, as a slow
    // machine does, rather than drop a frame or let them pile up.
    if (now >= due && !video.behind()) {
      tick();
      due = Math.max(due + interval, performance.now());
    }
    drawIfStarved();
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

  // The frame on the display as PNG: the canvas's where the worker draws
  // it, the page's where the page does.
  var encodings = new Map(), lastEncoding = 0;

  function pictureBlob() {
    if (canvas) return canvas.convertToBlob({ type: "image/png" });
    return new Promise(function (resolve, reject) {
      lastEncoding += 1;
      encodings.set(lastEncoding, { resolve: resolve, reject: reject });
      post({ type: "encode", id: lastEncoding });
    });
  }

  // The kinds of file a download is named for.
  var kState = 0, kPicture = 1, kGif = 2, kVideo = 3;

  function proposedName(kind) {
    var d = new Date();
    return call("ZintrelProposedName", ["number", "number", "number", "number", "number", "number", "number"],
                [d.getFullYear(), d.getMonth() + 1, d.getDate(), d.getHours(), d.getMinutes(), d.getSeconds(), kind]);
  }

  function download(blob, name) { post({ type: "download", blob: blob, name: name }); }

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

  // What a recording adds to the page while it runs, beside the menu and in
  // the tab's title, never in the frame: what is recorded is what is drawn.
  function showRecordingStatus(status) {
    post({ type: "status", status: status, gif: Module._ZintrelRecording() !== 0, video: video.recording() });
  }

  var video = ZintrelVideo({
    call: call, give: give, report: report, download: download,
    proposedName: function () { return proposedName(kVideo); },
    showRecordingStatus: showRecordingStatus,
    interval: function () { return interval; }
  });

  // The menu's actions the program answers; the page does the rest.
  var actions = {
    saveState: function () {
      download(new Blob([call("ZintrelSavedState")], { type: "application/x-zintrel-state" }), proposedName(kState));
    },
    // The frame as PNG, one pixel per pixel, downloaded or handed to the
    // page for the clipboard, unless there is no frame.
    picture: function (request) {
      var name = proposedName(kPicture);
      if (drawPending) draw();
      if (shown[0] === 0 || shown[1] === 0) {
        if (give(name)) report(call("ZintrelEmptyPictureText"));
        if (request.copy) post({ type: "copy", id: request.id, blob: null });
        return;
      }
      pictureBlob().then(function (blob) {
        if (request.copy) post({ type: "copy", id: request.id, blob: blob });
        else download(blob, name);
      }, function (error) {
        if (request.copy) post({ type: "copy", id: request.id, blob: null });
        report(String(error.message || error));
      });
    },
    // Record… and Stop recording: the GIF, exact, every tick one frame.
    record: function () {
      if (Module._ZintrelRecording()) {
        report(call("ZintrelStopRecording"));
      } else if (!video.recording() && give(proposedName(kGif))) {
        report(call("ZintrelStartRecording"));
      }
    },
    recordVideo: function () {
      if (video.recording()) video.stop();
      else if (!Module._ZintrelRecording()) video.start();
    },
    copyLink: function () { post({ type: "link", fragment: call("ZintrelLink") }); }
  };

  // Opens a state file's first bytes, under the file's own name, so that
  // its lines quote that name.
  function openState(name, data) {
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
  }

  // What the page asks of the program itself, and its tests and
  // measurements.
  var questions = {
    stepThreads: function () { return Module._ZintrelStepThreads(); },
    // The frame on the display: its size and its PNG, which the page reads
    // into a data address (WebKit's worker of a page from disk cannot read
    // a canvas's blob).
    frame: function () {
      if (drawPending) draw();
      var size = shown.slice();
      if (size[0] === 0 || size[1] === 0) return size.concat([""]);
      return pictureBlob().then(function (blob) { return size.concat([blob]); });
    },
    savedState: function () { return call("ZintrelSavedState"); },
    recordingPieces: function () { return recording.pieces(); },
    videoFrames: function () { return video.lastFrames(); },
    // Names a codec for the next video, to see one the browser refuses told.
    videoCodec: function (codec) { video.nameCodec(codec); },
    // Whether the worker draws the frame itself, or hands it to the page.
    drawsItself: function () { return canvas !== null; },
    setRecordingBound: function (bytes) { Module._ZintrelSetRecordingBound(bytes); },
    // Where a label of textWidth pixels goes, given its place in the
    // layout, as the desktop programs fit a longer word.
    fittedLabel: function (left, top, width, height, textWidth) {
      var fitted = Module._ZintrelFittedLabel(left, top, width, height, textWidth);
      return [Math.floor(fitted / 65536), top, fitted % 65536, height];
    },
    // The ticks the timer has run so far, and when this was asked (ms).
    ticksRun: function () { return [ticksRun, performance.now()]; },
    // Times count ticks of a width x height display back to back, after a
    // warm-up; the timer waits meanwhile. Returns [threads, ms per tick].
    timeTicks: function (width, height, count) {
      var once = function () { call("ZintrelTick", ["number", "number"], [width, height]); };
      for (var i = 0; i < 20; ++i) once();
      var start = performance.now();
      for (var j = 0; j < count; ++j) once();
      return [Module._ZintrelStepThreads(), (performance.now() - start) / count];
    }
  };

  // The page's messages, each handled as its event was on the page's own
  // thread; a fault comes back as the box's line.
  var handlers = {
    display: function (m) {
      // Resizing the display ends a fixed field size: from then on the
      // field follows the display, as the desktop's does after the user
      // resizes.
      if (m.resized) fixedSize = null;
      displaySize = m.size;
      requestDraw();
    },
    slider: function (m) {
      sliders.get(m.name).position = clamp(m.name, m.value);
      report(call("ZintrelSliderChanged", ["number"], [sliders.get(m.name).slider]));
    },
    checkbox: function (m) {
      checked = m.checked;
      report(call("ZintrelCheckBoxClicked"));
    },
    button: function (m) { report(call("ZintrelButtonClicked", ["number"], [m.button])); },
    action: function (m) { actions[m.action](m); },
    encoded: function (m) {
      var then = encodings.get(m.id);
      encodings.delete(m.id);
      if (m.blob) then.resolve(m.blob);
      else then.reject(new Error(m.error));
    },
    open: function (m) {
      try {
        openState(m.name, m.data);
      } finally {
        post({ type: "opened" });
      }
    },
    // A link followed within the page: its run, as the page opened anew
    // at that address starts it.
    link: function (m) {
      if (!give(m.hash)) return;
      var line = call("ZintrelOpenLink");
      keepLinkSize();
      report(line);
    },
    ask: function (m) {
      new Promise(function (resolve) { resolve(questions[m.what].apply(null, m.args || [])); }).then(function (value) {
        post({ type: "answer", id: m.id, value: value === undefined ? null : value });
      }, function (error) {
        post({ type: "answer", id: m.id, value: { error: String(error.message || error) } });
      });
    }
  };

  // The page's start message and those after it, kept until the program
  // has loaded: the page may speak first.
  var started = null, loadedYet = false, waiting = [];

  function handle(message) { handlers[message.type](message); }

  // The panel's description goes to the page, which builds the controls
  // and then says how large the display has become; only then does the
  // run start, so that its first tick has the display's real size.
  function describe() {
    var m = started;
    canvas = m.canvas || null;
    if (canvas) context = canvas.getContext("2d");
    handlers.display(m.display);
    // The browser's language, as the desktop programs follow the system's.
    if (give(m.languages)) call("ZintrelChooseLanguage");
    var description = JSON.parse(call("ZintrelPanel"));
    description.controls.forEach(function (control) {
      if (control.kind === "slider") {
        sliders.set(control.name, { slider: control.slider, minimum: control.minimum, maximum: control.maximum,
                                    position: control.position });
      } else if (control.kind === "checkbox") {
        checked = control.checked;
      }
    });
    // Known before the panel is built, so that the menu has its button from
    // the start: a button added later would change the display's size, and
    // with it a link's fixed one.
    post({ type: "panel", description: description, videoSupported: video.offered(),
           maxStateBytes: Module._ZintrelMaxStateBytes() });
  }

  // A link's display size, which the field keeps until the display is
  // resized, once its run has started.
  function keepLinkSize() {
    if (Module._ZintrelLinkWidth() >= 0) fixedSize = [Module._ZintrelLinkWidth(), Module._ZintrelLinkHeight()];
  }

  function begin(built) {
    handlers.display(built.display);
    Module.FS.mkdir("/opened");
    Module.FS.chdir("/opened");
    // A link whose memory cannot be had is not given: the page starts
    // afresh, as for a link that cannot be replayed, behind the box.
    give(started.hash);
    report(call("ZintrelStart"));
    keepLinkSize();
    self.onmessage = function (event) { handle(event.data); };
    waiting.splice(0).forEach(handle);
  }

  self.onmessage = function (event) {
    var m = event.data;
    if (m.type === "start") {
      started = m;
      if (loadedYet) describe();
    } else if (m.type === "built") {
      begin(m);
    } else {
      waiting.push(m);
    }
  };

  return {
    loaded: function () {
      loadedYet = true;
      if (started) describe();
    },
    // What page.cpp's controls call.
    sliderPosition: function (name) { return sliders.get(name).position; },
    moveSlider: function (name, position) {
      var slider = sliders.get(name);
      slider.position = clamp(name, position);
      post({ type: "slider", name: name, value: slider.position });
    },
    checkBox: function () { return checked; },
    setCheckBox: function (shown) {
      checked = shown;
      post({ type: "checkbox", checked: shown });
    },
    setTip: function (name, text) { post({ type: "tip", name: name, text: text }); },
    startTimer: startTimer, requestDraw: requestDraw, recording: recording,
    showRecordingStatus: showRecordingStatus, notice: report
  };
})();

// Whether the threaded program can run here: a page that is cross-origin
// isolated may still have no SharedArrayBuffer (WebKitGTK keeps it off), or
// no shared WebAssembly memory, which the threaded program is made of.
function ZintrelThreadsCanRun() {
  if (!self.crossOriginIsolated || typeof SharedArrayBuffer === "undefined") return false;
  try {
    return new WebAssembly.Memory({ initial: 1, maximum: 1, shared: true }).buffer instanceof SharedArrayBuffer;
  } catch (error) {
    return false;
  }
}

// The program itself: the threaded variant where threads can run (its step
// then shares the work among the processors, with the same bits), the
// one-thread program everywhere else, which the page opened from disk has
// in its one script.
if (typeof ZintrelBundled === "undefined") {
  if (ZintrelThreadsCanRun()) {
    // The step's helpers load the program's own script, not this one.
    Module.mainScriptUrlOrBlob = new URL("zintrel-threads.js", self.location.href).href;
    importScripts("zintrel-threads.js");
  } else {
    importScripts("zintrel.js");
  }
}
