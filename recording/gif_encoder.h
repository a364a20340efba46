#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/frame_bitmap.h"

namespace zintrel {

// The pieces of an animated GIF of frames as they are drawn: the header
// (size, the two colours, endless looping), one piece per frame, and the
// trailer. Every frame is the whole frame, pixel for pixel, so the file
// shows exactly what was drawn; the same frames and delays give the same
// bytes on every processor and in every program.
//
// The encoder is our own rather than a library's: a frame has two colours,
// and an LZW table indexed by code and colour encodes a 660 x 440 frame in a
// fraction of the time a general encoder takes (bench/recording_bench).

// Returns the header of a width x height animation in two colours, the
// frame's brush (index 0) and pen (index 1), 0xRRGGBB. width and height are
// 1 .. 65535.
std::string GifHeader(int width, int height, std::uint32_t brushColor, std::uint32_t penColor);

struct LzwTables;

// Encodes the frames of one animation in turn. Each frame holds only the
// rectangle that changed since the one before (the whole frame first, and
// after a change of size), drawn over what is on screen: what a player
// shows is still each frame, pixel for pixel.
class GifFrameEncoder {
 public:
  GifFrameEncoder();
  ~GifFrameEncoder();
  GifFrameEncoder(const GifFrameEncoder&) = delete;
  GifFrameEncoder& operator=(const GifFrameEncoder&) = delete;

  // Returns the next frame: its pixels of the pen colour as index 1, all
  // others as 0, shown for delay hundredths of a second (0 .. 65535). The
  // frame must have the header's size.
  std::string Encode(const FrameBitmap& frame, int delay);

 private:
  struct Rectangle {
    int left, top, right, bottom;
  };
  // Returns the rectangle of current_ that differs from previous_.
  Rectangle Changed(int width, int height) const;

  std::vector<std::uint8_t> previous_;
  std::vector<std::uint8_t> current_;
  std::vector<std::uint8_t> rectangle_;
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<LzwTables> tables_;
};

// Returns the end of the file.
std::string GifTrailer();

// The shortest delay players show as it is; shorter ones are slowed down
// (most show 0 or 1 hundredth as a tenth of a second).
inline constexpr int kFastestGifDelay = 2;

// Returns the delay, in hundredths of a second, that shows a frame drawn
// every interval milliseconds: the nearest one players show.
int GifDelay(int intervalMilliseconds);

}  // namespace zintrel
