#pragma once

// Pictures of bitmaps as rows of characters, and reference pictures built
// straight from the stated pixel rules, independent of the library's code.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/frame_bitmap.h"

namespace zintrel::testing {

using Picture = std::vector<std::string>;
__extension__ using Int128 = __int128;

inline constexpr std::uint32_t kPen = 0xFFFFFF;    // '#'
inline constexpr std::uint32_t kBrush = 0x00FF00;  // 'o'; untouched pixels stay black, '.'

inline FrameBitmap MakeCanvas(int width, int height) {
  FrameBitmap bitmap;
  bitmap.Resize(width, height);
  bitmap.PenColor = kPen;
  bitmap.BrushColor = kBrush;
  return bitmap;
}

inline Picture Capture(const FrameBitmap& bitmap) {
  Picture picture(bitmap.Height(), std::string(bitmap.Width(), '?'));
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint32_t pixel = bitmap.PixelAt(x, y);
      picture[y][x] = pixel == 0xFF000000u ? '.' : pixel == (0xFF000000u | kPen) ? '#'
                    : pixel == (0xFF000000u | kBrush) ? 'o' : '?';
    }
  }
  return picture;
}

// A primitive drawn from the two corners of its box: Rectangle or Ellipse.
using BoxPrimitive = void (FrameBitmap::*)(int, int, int, int);

// Returns the picture of one primitive drawn on a fresh canvas.
inline Picture DrawBox(BoxPrimitive primitive, int frameWidth, int frameHeight, int x1, int y1,
                       int x2, int y2) {
  FrameBitmap bitmap = MakeCanvas(frameWidth, frameHeight);
  (bitmap.*primitive)(x1, y1, x2, y2);
  return Capture(bitmap);
}

// Expects the box (left, top)-(right, bottom) to give expected whichever pair
// of opposite corners is passed, and in either order.
inline void ExpectEveryCornerOrder(BoxPrimitive primitive, int frameWidth, int frameHeight,
                                   int left, int top, int right, int bottom,
                                   const Picture& expected) {
  const int corners[4][4] = {{left, top, right, bottom},
                             {right, top, left, bottom},
                             {left, bottom, right, top},
                             {right, bottom, left, top}};
  for (const auto& c : corners) {
    EXPECT_EQ(DrawBox(primitive, frameWidth, frameHeight, c[0], c[1], c[2], c[3]), expected)
        << (right - left) << "x" << (bottom - top) << " from (" << c[0] << "," << c[1] << ")";
  }
}

// Returns the frame 0..width-1 x 0..height-1 of a picture whose top-left
// pixel sits at (left, top); pixels the picture does not cover are '.'.
inline Picture Place(const Picture& picture, std::int64_t left, std::int64_t top, int width,
                     int height) {
  Picture frame(height, std::string(width, '.'));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::int64_t px = x - left;
      const std::int64_t py = y - top;
      if (py >= 0 && py < static_cast<std::int64_t>(picture.size()) && px >= 0 &&
          px < static_cast<std::int64_t>(picture[py].size())) {
        frame[y][x] = picture[py][px];
      }
    }
  }
  return frame;
}

// Rectangle: border ring of pen, inside of brush; 1 x 1 draws nothing.
inline Picture ReferenceRectangle(int width, int height) {
  Picture picture(height, std::string(width, '.'));
  if (width * height == 1) return picture;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool border = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      picture[y][x] = border ? '#' : 'o';
    }
  }
  return picture;
}

// Ellipse of a width x height box whose top-left pixel is (left, top), seen
// through the frame 0..frameWidth-1 x 0..frameHeight-1: the midpoint walk of
// the lower-right quarter as the rule states it, mirrored four ways, then the
// non-outline pixels between each row's outermost outline pixels as brush.
inline Picture ReferenceEllipse(std::int64_t width, std::int64_t height, std::int64_t left = 0,
                                std::int64_t top = 0, int frameWidth = -1, int frameHeight = -1) {
  if (frameWidth < 0) frameWidth = static_cast<int>(width);
  if (frameHeight < 0) frameHeight = static_cast<int>(height);
  if (width <= 2 || height <= 2) {
    if (width <= 0 || height <= 0) return Picture(frameHeight, std::string(frameWidth, '.'));
    return Place(ReferenceRectangle(static_cast<int>(width), static_cast<int>(height)), left, top,
                 frameWidth, frameHeight);
  }
  Picture frame(frameHeight, std::string(frameWidth, '.'));
  std::vector<std::int64_t> rowMin(frameHeight, INT64_MAX), rowMax(frameHeight, INT64_MIN);
  const auto plot = [&](std::int64_t x, std::int64_t y) {
    const std::int64_t fx = left + x, fy = top + y;
    if (fy < 0 || fy >= frameHeight) return;
    rowMin[fy] = std::min(rowMin[fy], fx);
    rowMax[fy] = std::max(rowMax[fy], fx);
    if (fx >= 0 && fx < frameWidth) frame[fy][fx] = '#';
  };
  const Int128 a = width - 1, b = height - 1, b1 = b % 2;
  Int128 dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b1), err = dx + dy + a * a * b1;
  std::int64_t x = width - 1, y = height / 2;
  while (x >= width / 2) {
    plot(x, y), plot(width - 1 - x, y), plot(x, height - 1 - y), plot(width - 1 - x, height - 1 - y);
    const Int128 e2 = 2 * err;
    if (e2 >= dx) --x, dx += 8 * b * b, err += dx;
    if (e2 <= dy) ++y, dy += 8 * a * a, err += dy;
  }
  for (int fy = 0; fy < frameHeight; ++fy) {
    for (std::int64_t fx = std::max<std::int64_t>(rowMin[fy], 0);
         fx <= std::min<std::int64_t>(rowMax[fy], frameWidth - 1); ++fx) {
      if (frame[fy][fx] == '.') frame[fy][fx] = 'o';
    }
  }
  return frame;
}

}  // namespace zintrel::testing
