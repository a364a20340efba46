#pragma once

// Helpers shared by the primitives of FrameBitmap. Coordinates here are 64-bit
// so that differences and mirrored positions of any two int values are exact.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "render/frame_bitmap.h"

namespace zintrel::raster {

// Products of two 64-bit differences need 128 bits; GCC and Clang provide them.
__extension__ using Int128 = __int128;
__extension__ using UInt128 = unsigned __int128;

// Returns the bitmap's opaque pixel value for a 0xRRGGBB colour.
constexpr std::uint32_t ToPixel(std::uint32_t color) { return 0xFF000000u | (color & 0xFFFFFFu); }

// Returns floor(numerator / denominator) for a positive denominator.
constexpr Int128 FloorDiv(Int128 numerator, Int128 denominator) {
  Int128 quotient = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --quotient;
  return quotient;
}

// Returns ceil(numerator / denominator) for a positive denominator.
constexpr Int128 CeilDiv(Int128 numerator, Int128 denominator) {
  return -FloorDiv(-numerator, denominator);
}

// Sets the pixels first .. end-1 of one row. The compiler keeps a plain loop
// one pixel per store; long runs (the frame's clear) go to the C library's
// wide-character fill, which uses the widest stores the CPU has (glibc's
// versions leave the upper vector state clean; a render test checks).
inline void FillRow(std::uint32_t* first, std::uint32_t* end, std::uint32_t pixel) {
  constexpr std::ptrdiff_t kLongRun = 32;
  if constexpr (sizeof(wchar_t) == sizeof(std::uint32_t)) {
    if (end - first >= kLongRun) {
      std::wmemset(reinterpret_cast<wchar_t*>(first), static_cast<wchar_t>(pixel),
                   static_cast<std::size_t>(end - first));
      return;
    }
  }
  for (; first < end; ++first) *first = pixel;
}

// Fills the part of the inclusive block x0..x1 by y0..y1 that lies inside the
// bitmap (inside its band's rows, for a band). An empty or wholly outside
// block costs nothing. Inline, like PlotClipped, because the primitives call
// it for every short run.
inline void FillClipped(FrameBitmap& bitmap, std::int64_t x0, std::int64_t x1, std::int64_t y0,
                        std::int64_t y1, std::uint32_t pixel) {
  x0 = std::max<std::int64_t>(x0, 0);
  y0 = std::max<std::int64_t>(y0, bitmap.ClipTop());
  x1 = std::min<std::int64_t>(x1, bitmap.Width() - 1);
  y1 = std::min<std::int64_t>(y1, bitmap.ClipBottom() - 1);
  if (x0 > x1 || y0 > y1) return;
  const auto stride = static_cast<std::size_t>(bitmap.Stride());
  if (x1 - x0 + 1 == bitmap.Stride()) {
    // Whole rows are one contiguous run.
    std::uint32_t* first = bitmap.Pixels() + static_cast<std::size_t>(y0) * stride;
    FillRow(first, first + static_cast<std::size_t>(y1 - y0 + 1) * stride, pixel);
    return;
  }
  for (std::int64_t y = y0; y <= y1; ++y) {
    std::uint32_t* row = bitmap.Pixels() + static_cast<std::size_t>(y) * stride;
    FillRow(row + x0, row + x1 + 1, pixel);
  }
}

// Sets one pixel if it lies inside the bitmap (and its band's rows).
inline void PlotClipped(FrameBitmap& bitmap, std::int64_t x, std::int64_t y, std::uint32_t pixel) {
  if (x < 0 || y < bitmap.ClipTop() || x >= bitmap.Width() || y >= bitmap.ClipBottom()) return;
  bitmap.Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.Stride()) +
                  static_cast<std::size_t>(x)] = pixel;
}

// Draws what Rectangle draws, for a box already normalised to left <= right
// and top <= bottom (the box is left <= x < right, top <= y < bottom).
void DrawBox(FrameBitmap& bitmap, std::int64_t left, std::int64_t top, std::int64_t right,
             std::int64_t bottom);

// Paints the brush region of Polygon: the pixels sampled at integer points
// that the alternate rule puts inside the triangle, without its outline.
void FillTriangle(FrameBitmap& bitmap, const Point (&vertices)[3], std::uint32_t pixel);

// Returns whether all three corners lie inside the bitmap and its band's
// rows. The triangle and its outline then lie inside too, so the two
// functions below apply.
bool CornersInside(const FrameBitmap& bitmap, const Point (&corners)[3]);

// FillTriangle for corners inside the bitmap: the same pixels, no clipping.
void FillTriangleInside(FrameBitmap& bitmap, const Point (&corners)[3], std::uint32_t pixel);

// Draws Polygon's edge from `from` (included) to `to` (excluded), both inside
// the bitmap: the same pixels as the clipped edge, no clipping.
void DrawEdgeInside(FrameBitmap& bitmap, Point from, Point to, std::uint32_t pixel);

}  // namespace zintrel::raster
