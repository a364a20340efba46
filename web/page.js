// The page's main thread: builds the controls from the panel's description,
// maps every event onto a message to the program's worker
// (page_worker.js), and shows what the worker sends back: the box's lines,
// the controls' positions and tips, and the files it hands over. The
// worker draws the frame on the display's canvas itself, or, where the
// browser cannot hand a canvas to a worker, sends it here. Nothing here
// decides what a control does, and nothing here waits for a tick or a
// frame: a touch is answered at once however many particles move.
"use strict";

var Zintrel = (function () {
  var worker, canvas, box, boxText, display, panel, gallery;
  // The canvas's context where the page draws the frames itself, or null,
  // and the image each frame is put into.
  var context = null, image = null;

  function send(message, transfer) { worker.postMessage(message, transfer || []); }

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
    // A browser without the dialog element still shows it, without its modality.
    if (box.showModal) box.showModal();
    else box.setAttribute("open", "");
  }

  function showWaiting() {
    if (waiting.length > 0) report(waiting.shift());
  }

  // The display's whole-factor enlargement: on a screen of 2.5 device pixels
  // per CSS pixel each frame pixel takes 2 x 2 device pixels.
  function factor() { return Math.max(1, Math.floor(window.devicePixelRatio || 1)); }

  // The frame's size in its pixels, as the worker last drew it, and whether
  // it is a fixed size from a link or a state rather than the display's.
  var frameSize = { width: 0, height: 0, fixed: false };

  // Lays the canvas out: one frame pixel per whole number of device pixels.
  function layFrame() {
    var width = frameSize.width, height = frameSize.height;
    var scale = factor() / (window.devicePixelRatio || 1);
    if (frameSize.fixed && width > 0 && height > 0) {
      // A picture larger than the display is shown at the largest whole
      // fraction that fits, still without smoothing.
      var shrink = Math.max(1, Math.ceil(Math.max(width * scale / display.clientWidth,
                                                   height * scale / display.clientHeight)));
      scale /= shrink;
    }
    canvas.style.width = width * scale + "px";
    canvas.style.height = height * scale + "px";
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

  // Files being read, during which the display is marked busy: the open
  // ends, with the state shown or a line in the box, when the worker's
  // answer comes.
  var reading = 0, maxStateBytes = 0;

  function setReading(change) {
    reading += change;
    if (reading > 0) display.setAttribute("aria-busy", "true");
    else display.removeAttribute("aria-busy");
  }

  // Hands the worker the file's first bytes, at most one beyond the bound,
  // under the file's own name, so that its lines quote that name.
  function openState(file) {
    setReading(1);
    file.slice(0, maxStateBytes + 1).arrayBuffer().then(function (data) {
      // A name the program's file system cannot hold as one entry (none, a
      // dot or two, or one with a slash or a NUL, which a system's file
      // names never have but a script's may) is read as "state".
      var name = /^\.{0,2}$|[\/\0]/.test(file.name) ? "state" : file.name;
      send({ type: "open", name: name, data: data }, [data]);
    }).catch(function (error) {
      report(String(error.message || error));
      setReading(-1);
    });
  }

  // Copy picture: the clipboard is promised the worker's PNG of the frame
  // at once, while the press still lets the page write to it.
  var copies = new Map(), lastCopy = 0;

  function copyPicture() {
    lastCopy += 1;
    var id = lastCopy;
    var blob = new Promise(function (resolve, reject) {
      copies.set(id, function (made) {
        if (made) resolve(made);
        else reject(new Error(""));
      });
    });
    send({ type: "action", action: "picture", copy: true, id: id });
    if (!navigator.clipboard || !window.ClipboardItem) return;
    navigator.clipboard.write([new ClipboardItem({ "image/png": blob })]).catch(function (error) {
      // An empty display has been told in the box already.
      if (error.message) report(String(error.message));
    });
  }

  var linkCopiedText = "";
  // The links asked of the worker, each waited for by a press of Copy link.
  var linksAsked = [];

  // Copy link: the clipboard is promised the worker's link within the
  // press itself, as for Copy picture: a browser may refuse a write made
  // after the press's own task, as Safari does. Where the browser takes no
  // promise, the link is written when it comes.
  function copyLink() {
    var address = new Promise(function (resolve) { linksAsked.push(resolve); });
    send({ type: "action", action: "copyLink" });
    if (!navigator.clipboard) return;
    var written;
    if (window.ClipboardItem) {
      var text = address.then(function (a) { return new Blob([a], { type: "text/plain" }); });
      written = navigator.clipboard.write([new ClipboardItem({ "text/plain": text })]);
    } else {
      written = address.then(function (a) { return navigator.clipboard.writeText(a); });
    }
    // The link is shown beside the menu either way, to copy by hand.
    written.catch(function () {});
  }

  // Shows a link to this run beside the menu, so it can be opened or
  // copied by hand, and hands it to the press that asked for it.
  function showLink(fragment) {
    var address = location.href.split("#")[0] + "#" + fragment;
    var notice = document.getElementById("notice");
    notice.textContent = linkCopiedText + " ";
    var link = document.createElement("a");
    link.href = address;
    link.textContent = "#";
    notice.appendChild(link);
    if (linksAsked.length > 0) linksAsked.shift()(address);
  }

  var recordButton = null, videoButton = null, recordingStatus = null;
  var recordText = "", stopRecordingText = "", recordVideoText = "", pageTitle = "";

  // What a recording adds to the page while it runs, beside the menu and in
  // the tab's title, never in the frame: what is recorded is what is drawn.
  function showRecordingStatus(message) {
    recordingStatus.textContent = message.status;
    document.title = message.status ? pageTitle + " \u2014 " + message.status : pageTitle;
    recordButton.textContent = message.gif ? stopRecordingText : recordText;
    recordButton.disabled = message.video;
    if (videoButton) {
      videoButton.textContent = message.video ? stopRecordingText : recordVideoText;
      videoButton.disabled = message.gif;
    }
  }

  function action(name) { return function () { send({ type: "action", action: name }); }; }

  // Full screen: the display alone, filling the screen in either
  // orientation, left with Esc or the same action. Where the browser has
  // no full screen for an element, the display fills the page's window.
  function fullScreen() {
    if (document.fullscreenElement || display.classList.contains("filling")) {
      if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
      display.classList.remove("filling");
    } else if (document.fullscreenEnabled && display.requestFullscreen) {
      display.requestFullscreen({ navigationUI: "hide" }).catch(function () { display.classList.add("filling"); });
    } else {
      display.classList.add("filling");
    }
  }

  // A link followed within the page starts its run as the page opened at
  // its address does: the worker opens it the way it opens the address's.
  function openLink(hash) {
    if (hash) send({ type: "link", hash: hash });
  }

  // The gallery: a dialog of runs, each a link to this page with the run's
  // fragment, its thumbnail playing beside its name. Following one in the
  // page changes the address's fragment, and the hashchange opens its run;
  // a middle click or a new tab loads the page at that address.
  function buildGallery(description) {
    gallery = document.getElementById("gallery");
    document.getElementById("gallery-title").textContent = description.title;
    document.getElementById("gallery-close").textContent = description.close;
    var list = document.getElementById("gallery-runs");
    var page = location.href.split("#")[0];
    description.runs.forEach(function (run) {
      var link = document.createElement("a");
      link.href = page + run.link;
      var picture = document.createElement("img");
      // Lazy before its address: a picture of a closed dialog is loaded
      // only once the dialog shows it.
      picture.loading = "lazy";
      picture.width = run.width;
      picture.height = run.height;
      picture.alt = "";
      picture.src = "gallery/" + run.thumbnail;
      var name = document.createElement("span");
      name.textContent = run.name;
      link.append(picture, name);
      link.addEventListener("click", followRun);
      var entry = document.createElement("li");
      entry.appendChild(link);
      list.appendChild(entry);
    });
  }

  function followRun(event) {
    // A click with a key held, or another button, is the browser's: a new
    // tab or window at the run's address.
    if (event.button !== 0 || event.ctrlKey || event.metaKey || event.shiftKey || event.altKey) return;
    gallery.close();
    // The address has the run's fragment already, so following it changes
    // nothing and no hashchange comes: the run starts again from here.
    if (this.hash === location.hash) {
      event.preventDefault();
      openLink(this.hash);
    }
  }

  function showGallery() {
    if (!gallery.open) gallery.showModal();
  }

  // By the display menu's actions, in their order; the fifth records. Open
  // link… is the page's address bar.
  var kRecordAction = 4;
  var menuActions = [action("saveState"), function () { document.getElementById("open-file").click(); },
                     action("picture"), copyPicture,
                     action("record"), copyLink, fullScreen, null, showGallery];

  function place(element, bounds) {
    element.style.left = bounds[0] + "px";
    element.style.top = bounds[1] + "px";
    element.style.width = bounds[2] + "px";
    element.style.height = bounds[3] + "px";
  }

  // A slider's exact value beside it while a finger or a pointer holds it:
  // a touch screen shows no tooltip. Above the thumb, never over it.
  var valueShown = null;

  function placeValue(slider) {
    var value = document.getElementById("slider-value");
    value.textContent = slider.title;
    var share = (slider.valueAsNumber - Number(slider.min)) / (Number(slider.max) - Number(slider.min) || 1);
    var left = slider.offsetLeft + 8 + share * (slider.offsetWidth - 16) - value.offsetWidth / 2;
    value.style.left = Math.max(0, Math.min(panel.offsetWidth - value.offsetWidth, left)) + "px";
    value.style.top = slider.offsetTop - value.offsetHeight + 2 + "px";
  }

  function holdSlider(slider, held) {
    var value = document.getElementById("slider-value");
    valueShown = held ? slider : null;
    value.hidden = !held;
    if (held) placeValue(slider);
  }

  function buildPanel(description) {
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
          send({ type: "slider", name: control.name, value: element.valueAsNumber });
          if (valueShown === element) placeValue(element);
        });
        element.addEventListener("pointerdown", function () { holdSlider(element, true); });
        ["pointerup", "pointercancel", "lostpointercapture", "blur"].forEach(function (type) {
          element.addEventListener(type, function () { if (valueShown === element) holdSlider(element, false); });
        });
      } else if (control.kind === "checkbox") {
        element = document.createElement("label");
        var check = document.createElement("input");
        check.type = "checkbox";
        check.id = control.name;
        check.checked = control.checked;
        check.addEventListener("change", function () { send({ type: "checkbox", checked: check.checked }); });
        element.append(check, control.text);
      } else if (control.kind === "button") {
        element = document.createElement("button");
        element.type = "button";
        element.textContent = control.text;
        element.addEventListener("click", function () { send({ type: "button", button: control.button }); });
      } else {
        element = document.createElement("span");
        element.textContent = control.text;
      }
      if (control.kind !== "checkbox") element.id = control.name;
      place(element, control.bounds);
      panel.appendChild(element);
      // A longer word than the layout's grows within its row, as on the
      // desktop: measured here, placed where the program's layout says.
      if (control.kind === "label" && element.scrollWidth > control.bounds[2]) {
        ask("fittedLabel", control.bounds.concat([element.scrollWidth])).then(function (fitted) {
          place(element, fitted);
        });
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
    var value = document.createElement("output");
    value.id = "slider-value";
    value.hidden = true;
    panel.appendChild(value);
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
      if (menuActions[item.action] === fullScreen) shortcuts.set("F", button);
      if (item.action === kRecordAction) {
        recordButton = button;
        recordText = item.text;
        // Offered only where this browser can make the video.
        if (videoSupported) {
          videoButton = document.createElement("button");
          videoButton.type = "button";
          videoButton.id = "record-video";
          videoButton.textContent = description.recordVideo;
          videoButton.addEventListener("click", action("recordVideo"));
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

  // The panel enlarged as a whole for a finger: on a touch screen every
  // control grows to at least 24 CSS pixels, up to 44 where the screen has
  // the room, keeping the design's arrangement. A mouse gets the design's
  // own pixels.
  var kFingerLeast = 1.5, kFingerMost = 2.75;

  function fitPanel() {
    if (!window.matchMedia("(pointer: coarse)").matches) {
      panel.style.zoom = "";
      return;
    }
    var narrow = window.matchMedia("(max-width: 640px)").matches;
    var room = narrow ? document.documentElement.clientWidth / panel.offsetWidth
                      : (window.innerHeight - document.getElementById("menu").offsetHeight) / panel.offsetHeight;
    panel.style.zoom = String(Math.max(kFingerLeast, Math.min(kFingerMost, room)));
  }

  // The menu's buttons by their shortcuts, "Ctrl+S" and so on.
  var shortcuts = new Map();

  function shortcutOf(event) {
    // Not every keydown names a key: the browser's autofill sends one
    // without any.
    if (typeof event.key !== "string" || event.key === "") return "";
    var keys = [];
    if (event.ctrlKey || event.metaKey) keys.push("Ctrl");
    if (event.altKey) keys.push("Alt");
    if (event.shiftKey) keys.push("Shift");
    keys.push(event.key.length === 1 ? event.key.toUpperCase() : event.key);
    return keys.join("+");
  }

  var videoSupported = false;

  // Two presses on the display close together in time and place, by touch
  // or by mouse, enter or leave full screen.
  var lastPress = null;

  function pressOnDisplay(event) {
    var press = { time: event.timeStamp, x: event.clientX, y: event.clientY };
    if (lastPress && press.time - lastPress.time < 400 && Math.abs(press.x - lastPress.x) < 32 &&
        Math.abs(press.y - lastPress.y) < 32) {
      lastPress = null;
      fullScreen();
      return;
    }
    lastPress = press;
  }

  // The display's size in frame pixels, for the worker's field to follow,
  // and whether the display was resized since it was last told.
  var measuredCss = null;

  function measuredDisplay() {
    var ratio = window.devicePixelRatio || 1, css = [display.clientWidth, display.clientHeight];
    var resized = measuredCss !== null && css.join() !== measuredCss.join();
    measuredCss = css;
    return { type: "display", size: [Math.floor(css[0] * ratio / factor()), Math.floor(css[1] * ratio / factor())],
             resized: resized };
  }

  var messages = {
    panel: function (m) {
      videoSupported = m.videoSupported;
      maxStateBytes = m.maxStateBytes;
      document.documentElement.lang = m.description.language;
      pageTitle = document.title;
      buildPanel(m.description);
      buildGallery(m.description.gallery);
      fitPanel();
      // The run starts at the display's size with the panel built; from
      // then on the worker's field follows the display's size, and drops a
      // fixed size from a link or a state once the display is resized.
      measuredCss = null;
      send({ type: "built", display: measuredDisplay() });
      new ResizeObserver(function () {
        send(measuredDisplay());
        layFrame();
      }).observe(display);
    },
    slider: function (m) {
      var slider = document.getElementById(m.name);
      slider.value = m.value;
      if (valueShown === slider) placeValue(slider);
    },
    checkbox: function (m) { document.getElementById("CheckBox1").checked = m.checked; },
    tip: function (m) {
      // The tooltip a mouse shows, and what a screen reader says of the
      // slider's position.
      var slider = document.getElementById(m.name);
      slider.title = m.text;
      slider.setAttribute("aria-valuetext", m.text);
      if (valueShown === slider) placeValue(slider);
    },
    frameSize: function (m) {
      frameSize = { width: m.width, height: m.height, fixed: m.fixed };
      if (context) {
        canvas.width = m.width;
        canvas.height = m.height;
      }
      layFrame();
    },
    // Where the page draws the frames: each as the worker drew it, and its
    // PNG when the worker asks for one.
    // The bytes are copied into an image the page made: in WebKitGTK 2.50
    // a page that put images made of the buffers the worker handed over
    // now and then died of a corrupt heap.
    frame: function (m) {
      if (!image || image.width !== m.width || image.height !== m.height) {
        image = context.createImageData(m.width, m.height);
      }
      image.data.set(m.pixels);
      context.putImageData(image, 0, 0);
    },
    encode: function (m) {
      canvas.toBlob(function (blob) {
        send({ type: "encoded", id: m.id, blob: blob, error: "" });
      }, "image/png");
    },
    report: function (m) { report(m.line); },
    status: showRecordingStatus,
    download: function (m) { download(m.blob, m.name); },
    copy: function (m) {
      var then = copies.get(m.id);
      copies.delete(m.id);
      if (then) then(m.blob);
    },
    link: function (m) { showLink(m.fragment); },
    opened: function () { setReading(-1); },
    answer: function (m) {
      var then = asked.get(m.id);
      asked.delete(m.id);
      // A picture in the answer comes as its PNG's data address.
      var last = Array.isArray(m.value) ? m.value[m.value.length - 1] : null;
      if (!(last instanceof Blob)) return then(m.value);
      var reader = new FileReader();
      reader.onload = function () { then(m.value.slice(0, -1).concat([reader.result])); };
      reader.readAsDataURL(last);
    }
  };

  // Questions put to the program, by their numbers, for the page's tests
  // and measurements.
  var asked = new Map(), lastQuestion = 0;

  function ask(what, args) {
    return new Promise(function (resolve) {
      lastQuestion += 1;
      asked.set(lastQuestion, resolve);
      send({ type: "ask", id: lastQuestion, what: what, args: args || [] });
    });
  }

  function startWorker() {
    // A page opened from disk may not load a worker's files; the worker
    // built into one script comes in the page's own, as a function whose
    // text starts the worker.
    if (typeof ZintrelWorkerMain === "function") {
      var source = new Blob(["(" + ZintrelWorkerMain.toString() + ")();"], { type: "text/javascript" });
      return new Worker(URL.createObjectURL(source));
    }
    return new Worker("page_worker.js");
  }

  // Starts the worker and hands it the display: its canvas where the
  // browser can draw on one from a worker, which spares the page's thread
  // every frame; otherwise the page draws the frames the worker sends.
  function startProgram() {
    worker = startWorker();
    worker.onmessage = function (event) { messages[event.data.type](event.data); };
    worker.onerror = function (event) { report(String(event.message || "")); };
    var offscreen = null;
    if (typeof OffscreenCanvas === "function" && canvas.transferControlToOffscreen) {
      offscreen = canvas.transferControlToOffscreen();
    } else {
      context = canvas.getContext("2d");
    }
    send({ type: "start", languages: (navigator.languages || [navigator.language || ""]).join(","),
           hash: location.hash, display: measuredDisplay(), canvas: offscreen }, offscreen ? [offscreen] : []);
  }

  function start() {
    canvas = document.getElementById("frame");
    display = document.getElementById("display");
    panel = document.getElementById("panel");
    box = document.getElementById("box");
    boxText = document.getElementById("box-text");
    box.addEventListener("close", showWaiting);
    // A page that cannot start says why in its box, never stays blank.
    try {
      startProgram();
    } catch (error) {
      report(String(error && error.message || error));
      return;
    }
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
      if (box.open || (gallery && gallery.open)) return;
      // Esc leaves full screen, the browser's own or the display filling
      // the window, where the browser leaves it to the page.
      if (event.key === "Escape" && (document.fullscreenElement || display.classList.contains("filling"))) {
        fullScreen();
        return;
      }
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
    display.addEventListener("pointerdown", pressOnDisplay);
    window.addEventListener("hashchange", function () { openLink(location.hash); });
    window.addEventListener("resize", function () { if (panel.childElementCount > 0) fitPanel(); });
    // Served pages keep working offline; a page opened from disk needs no help.
    if ("serviceWorker" in navigator && /^https?:$/.test(location.protocol)) {
      navigator.serviceWorker.register("service_worker.js").catch(function () {});
    }
  }

  return {
    start: start, ask: ask,
    // The frame's size on the display, in its pixels: [width, height].
    frameSize: function () { return [frameSize.width, frameSize.height]; }
  };
})();

// A page opened from disk takes its worker from a script of its own, which
// holds the whole worker; a served page's worker loads its files itself.
if (location.protocol === "file:") {
  (function () {
    var script = document.createElement("script");
    script.src = "zintrel-worker.js";
    script.onload = Zintrel.start;
    document.body.appendChild(script);
  })();
} else {
  Zintrel.start();
}
