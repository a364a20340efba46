#pragma once

#include <cstdint>
#include <string>

#include "recording/gif_encoder.h"
#include "render/frame_bitmap.h"

namespace zintrel {

// The drawing speed every program starts at, in milliseconds: what a
// recording of a state that names no speed shows.
inline constexpr int kStartTimerInterval = 16;

// A recording in progress, as every program and the headless tool keep it:
// each tick's frame becomes the file's next bytes as it is drawn, so nothing
// but the file grows. The first frame fixes the animation's size; a frame of
// another size (the display resized) cannot join it, and the caller ends
// the recording there. The same frames at the same speeds give the same
// bytes everywhere.
class GifRecording {
 public:
  // intervalMilliseconds: the drawing speed at the start.
  explicit GifRecording(int intervalMilliseconds) { SetInterval(intervalMilliseconds); }

  // The drawing speed from the next frame on.
  void SetInterval(int intervalMilliseconds);

  // Returns whether frame can join: the first one always, the others when
  // they have its size.
  bool Fits(const FrameBitmap& frame) const;
  // Returns the bytes that add frame (and, with the first, the file's
  // header). The frame must fit.
  std::string Add(const FrameBitmap& frame);
  // Returns the bytes that end the file: the trailer, or with no frame yet
  // nothing (there is no animation to end).
  std::string End() const;

  std::int64_t Frames() const { return frames_; }
  // The file's size so far, the trailer included once a frame is in.
  std::int64_t Bytes() const { return bytes_ + (frames_ > 0 ? 1 : 0); }
  // How long the animation plays so far, in hundredths of a second.
  std::int64_t Length() const { return length_; }
  // Whether the speed asked for is faster than players show, so that the
  // recording plays slower than the screen.
  bool SlowerThanDrawn() const { return slower_; }

 private:
  GifFrameEncoder encoder_;
  int delay_ = 0;
  bool slower_ = false;
  int width_ = 0;
  int height_ = 0;
  std::int64_t frames_ = 0;
  std::int64_t bytes_ = 0;
  std::int64_t length_ = 0;
};

}  // namespace zintrel
