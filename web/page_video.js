// The page's video recording: every tick drawn while it records becomes a
// frame of an H.264 video, encoded by the browser (WebCodecs) and put into
// an MP4 file by the muxer the page bundles, downloaded when it stops. The
// GIF is the exact recording; this one is for the sites that take video but
// not GIF, and is offered only where the browser can encode it. Its frames
// are the ticks' frames, at the drawing speed's times; its size is the
// frame's, rounded up to even numbers of pixels (H.264 halves the colour's
// resolution), the added row or column black. Its texts and its ends are
// the GIF's: a resize, a fault, the page's memory bound or a failed
// encoding ends it, saved whole where it can be.
"use strict";

var ZintrelVideo = function (page) {
  // The levels of H.264 by the most 16 x 16 blocks a frame may have: 3.1,
  // 4.0, 5.0, 5.1 and 6.0 (up to 4096 x 4096, the largest field the page
  // draws).
  var kLevels = [[3600, "1f"], [8192, "28"], [22080, "32"], [36864, "33"], [139264, "3c"]];
  // A key frame every so many frames, so that a player can seek.
  var kKeyFrameEvery = 120;
  // The frames the encoder may have in hand before the ticks wait for it.
  var kMostQueued = 4;

  function config(width, height) {
    var blocks = Math.ceil(width / 16) * Math.ceil(height / 16);
    var level = kLevels.find(function (l) { return blocks <= l[0]; }) || kLevels[kLevels.length - 1];
    // Constrained baseline: the profile every H.264 encoder and player has.
    return { codec: codecFor(level[1]), width: width, height: height, avc: { format: "avc" },
             bitrate: Math.max(1e6, width * height * 8), latencyMode: "quality" };
  }

  function even(n) { return n + (n % 2); }

  // Whether this page offers Record video…: where the browser has the
  // encoder at all. Nothing of the encoder is touched before the first
  // Record video…: a browser may fault on its first use (WebKitGTK before
  // 2.52 aborts the whole page), and one that cannot encode the frame says
  // why through the encoder's error, which the box then shows.
  function offered() { return !!(self.VideoEncoder && self.VideoFrame) && typeof Mp4Muxer !== "undefined"; }

  // The codec's name for a frame's levels; the page's tests may name one
  // no browser has, to see a failed encoding told.
  var codecFor = function (level) { return "avc1.42e0" + level; };

  // The recording in progress, or null; and the frames of the last one
  // stopped, which the page's tests compare with the file.
  var now = null, lastFrames = 0;

  function recording() { return now !== null; }

  function behind() { return now !== null && now.encoder !== null && now.encoder.encodeQueueSize > kMostQueued; }

  function showStatus() {
    page.showRecordingStatus(now ? page.call("ZintrelVideoStatus", ["number", "number"],
                                             [Math.floor(now.milliseconds / 10), now.bytes]) : "");
  }

  function start() {
    var name = page.proposedName();
    if (!page.give(name)) return;
    page.call("ZintrelNameVideo");
    now = { name: name, encoder: null, muxer: null, width: 0, height: 0, frames: 0, milliseconds: 0, bytes: 0,
            failed: false };
    showStatus();
  }

  // Ends the recording: what was encoded is finished into its file and
  // downloaded, and line, if any, is shown once it is.
  function stop(line) {
    var ending = now;
    now = null;
    lastFrames = ending.frames;
    showStatus();
    if (!ending.encoder) {
      // Stopped before any tick drew: there is no video to keep.
      page.report(line);
      return;
    }
    ending.encoder.flush().then(function () {
      ending.encoder.close();
      if (ending.failed) return;
      ending.muxer.finalize();
      page.download(new Blob([ending.muxer.target.buffer], { type: "video/mp4" }), ending.name);
      page.report(line);
    }).catch(function (error) { fail(ending, error); });
  }

  // Drops a recording the encoder could not make, and says why.
  function fail(which, error) {
    if (which.failed) return;
    which.failed = true;
    if (which.encoder && which.encoder.state !== "closed") which.encoder.close();
    if (now === which) {
      now = null;
      showStatus();
    }
    if (page.give(String(error && error.message || error))) page.report(page.call("ZintrelVideoEndedText", ["number"], [2]));
  }

  function begin(width, height) {
    var which = now;
    which.width = width;
    which.height = height;
    which.muxer = new Mp4Muxer.Muxer({ target: new Mp4Muxer.ArrayBufferTarget(), fastStart: "in-memory",
                                       video: { codec: "avc", width: even(width), height: even(height) } });
    which.encoder = new VideoEncoder({
      output: function (chunk, meta) {
        if (which.failed) return;
        which.muxer.addVideoChunk(chunk, meta);
        which.bytes += chunk.byteLength;
      },
      error: function (error) { fail(which, error); }
    });
    which.encoder.configure(config(even(width), height + (height % 2)));
  }

  // Adds the frame the last tick drew, if it drew one: a tick that faulted
  // ends the recording before its box, as the GIF's does.
  function frameDrawn() {
    if (!Module._ZintrelTickDrew()) return stop("");
    var width = Module._ZintrelFrameWidth(), height = Module._ZintrelFrameHeight();
    if (now.encoder && (width !== now.width || height !== now.height)) {
      return stop(page.call("ZintrelVideoEndedText", ["number"], [0]));
    }
    if (now.bytes >= Module._ZintrelRecordingBound()) return stop(page.call("ZintrelVideoEndedText", ["number"], [1]));
    if (width === 0 || height === 0) return;
    // An encoder the browser refuses, at once or later through its error,
    // ends the recording with the browser's reason in the box; the ticks go
    // on.
    var which = now;
    try {
      encodeFrame(width, height);
    } catch (error) {
      fail(which, error);
    }
  }

  function encodeFrame(width, height) {
    if (!now.encoder) begin(width, height);
    var codedWidth = even(width), codedHeight = even(height);
    var pixels = new Uint8Array(codedWidth * codedHeight * 4);
    // The heap may grow for the frame's bytes: read it only after.
    var at = Module._ZintrelFramePixels();
    var rows = new Uint8Array(Module.HEAPU8.buffer, at, width * height * 4);
    if (codedWidth === width) {
      pixels.set(rows);
    } else {
      for (var y = 0; y < height; ++y) pixels.set(rows.subarray(y * width * 4, (y + 1) * width * 4), y * codedWidth * 4);
    }
    // The padding is black, the brush's colour, opaque.
    for (var i = 3; i < pixels.length; i += 4) pixels[i] = 255;
    var interval = page.interval();
    var frame = new VideoFrame(pixels, { format: "RGBA", codedWidth: codedWidth, codedHeight: codedHeight,
                                         timestamp: now.milliseconds * 1000, duration: interval * 1000 });
    try {
      now.encoder.encode(frame, { keyFrame: now.frames % kKeyFrameEvery === 0 });
    } finally {
      frame.close();
    }
    now.frames += 1;
    now.milliseconds += interval;
    showStatus();
  }

  return { offered: offered, recording: recording, behind: behind, start: start,
           lastFrames: function () { return lastFrames; },
           nameCodec: function (codec) { codecFor = function () { return codec; }; },
           stop: function () { stop(""); }, frameDrawn: frameDrawn };
};
