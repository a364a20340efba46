#pragma once

// The outline of an ellipse is built from its lower-right quarter. In
// box-relative pixels (the box is width W by height H, both at least 3) the
// quarter is a staircase path that starts at (W-1, H div 2), moves down and
// to the left one pixel at a time, and stops once x would drop below W div 2.
// Every pixel (x, y) of it also stands for (W-1-x, y), (x, H-1-y) and
// (W-1-x, H-1-y). These functions report the quarter to a sink; the bitmap
// does the mirroring and clipping.

#include <cstdint>

namespace zintrel::raster {

// Receives one quarter: runs of outline pixels and, row by row, where the
// brush ends.
class QuadrantSink {
 public:
  virtual ~QuadrantSink() = default;
  // Outline pixels x0..x1 by y0..y1, inclusive and box-relative; one of the
  // two ranges holds a single value.
  virtual void OutlineRun(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) = 0;
  // Row y's innermost outline pixel is xOut, so the brush fills W-xOut ..
  // xOut-1 of row y and of row H-1-y (nothing when that range is empty).
  virtual void BrushRow(std::int64_t y, std::int64_t xOut) = 0;
};

// A block of the quarter, inclusive and box-relative: the columns and rows
// whose pixels (or their mirror images) can be seen.
struct QuadrantWindow {
  std::int64_t columnFirst;
  std::int64_t columnLast;
  std::int64_t rowFirst;
  std::int64_t rowLast;
};

// The largest width and height WalkEllipseQuadrant accepts; its 64-bit error
// terms grow like the cube of the size.
inline constexpr std::int64_t kDirectWalkLimit = 1024;

// Walks the whole quarter with the classic integer midpoint recurrence and
// reports every row. Its cost grows with W + H, visible or not.
void WalkEllipseQuadrant(std::int64_t width, std::int64_t height, QuadrantSink& sink);

// Reports the same pixels as WalkEllipseQuadrant wherever they fall inside the
// window, for any width and height up to 2^32 - 1. Brush rows may be reported
// with xOut moved outside the window's columns when that changes no pixel in
// them. The cost grows with the size of the window, not with the box.
void TraceEllipseQuadrant(std::int64_t width, std::int64_t height, const QuadrantWindow& window,
                          QuadrantSink& sink);

}  // namespace zintrel::raster
