// The unclipped path of Polygon: triangles whose corners all lie inside the
// bitmap, which is nearly every dart of a frame. The pixels are those of the
// clipped path in polygon.cpp; the work per row and per pixel is less.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/frame_bitmap.h"
#include "render/raster.h"
#include "render/rational_stepper.h"

namespace zintrel::raster {
namespace {

// Sets count pixels from first (0 <= count <= kShortSpan), where the
// kShortSpan pixels from first all lie inside the bitmap. The rows of a small
// triangle are a few pixels long, each length different, and a loop would
// mispredict its exit on nearly every row. Here both halves are read,
// blended with the pixel and written back whole, so the pixels past the span
// keep their values.
constexpr std::int64_t kShortSpan = 8;

void FillShortSpan(std::uint32_t* first, std::int64_t count, std::uint32_t pixel) {
#if defined(__SSE2__)
  const __m128i value = _mm_set1_epi32(static_cast<int>(pixel));
  const __m128i length = _mm_set1_epi32(static_cast<int>(count));
  const __m128i lanes = _mm_setr_epi32(0, 1, 2, 3);
  for (int half = 0; half < 2; ++half) {
    auto* address = reinterpret_cast<__m128i*>(first + 4 * half);
    const __m128i inside = _mm_cmplt_epi32(_mm_add_epi32(lanes, _mm_set1_epi32(4 * half)), length);
    const __m128i old = _mm_loadu_si128(address);
    const __m128i blended = _mm_or_si128(_mm_and_si128(inside, value), _mm_andnot_si128(inside, old));
    _mm_storeu_si128(address, blended);
  }
#else
  FillRow(first, first + count, pixel);
#endif
}

}  // namespace

// Returns whether all three corners lie inside the bitmap's drawable rows.
// The triangle and its outline then lie inside too (every pixel either rule
// lights is within the corners' bounding box), so nothing needs clipping,
// and every coordinate and difference fits comfortably in 64-bit arithmetic.
bool CornersInside(const FrameBitmap& bitmap, const Point (&corners)[3]) {
  for (const Point& v : corners) {
    if (v.x < 0 || v.y < bitmap.ClipTop() || v.x >= bitmap.Width() || v.y >= bitmap.ClipBottom()) {
      return false;
    }
  }
  return true;
}

// FillTriangle for a triangle inside the bitmap: the same spans, found with
// one division per edge and written without clipping. Sorted by row, the
// long edge from the top to the bottom vertex is active on every row, and
// one of the two short edges beside it.
void FillTriangleInside(FrameBitmap& bitmap, const Point (&corners)[3], std::uint32_t pixel) {
  // Sorted by row with a network of minima and maxima of (y, x) packed in one
  // integer: no branch to mispredict on the darts' random orientations. The
  // coordinates are non-negative, so the packed order is the order by y.
  const auto pack = [](const Point& p) {
    return (std::uint64_t{static_cast<std::uint32_t>(p.y)} << 32) | static_cast<std::uint32_t>(p.x);
  };
  std::uint64_t k0 = pack(corners[0]);
  std::uint64_t k1 = pack(corners[1]);
  std::uint64_t k2 = pack(corners[2]);
  const auto order = [](std::uint64_t& p, std::uint64_t& q) {
    const std::uint64_t low = std::min(p, q);
    q = std::max(p, q);
    p = low;
  };
  order(k0, k1);
  order(k1, k2);
  order(k0, k1);
  const auto unpack = [](std::uint64_t key) {
    return Vertex{static_cast<std::int64_t>(key & 0xFFFFFFFFu), static_cast<std::int64_t>(key >> 32)};
  };
  const std::array<Vertex, 3> v{{unpack(k0), unpack(k1), unpack(k2)}};
  if (v[0].y == v[2].y) return;
  // Each edge's crossing x on the rows from its top vertex down, starting at
  // the vertex itself.
  const auto walk = [](const Vertex& top, const Vertex& bottom) {
    return RationalStepper(top.x, 0, bottom.x - top.x, bottom.y - top.y);
  };
  RationalStepper longEdge = walk(v[0], v[2]);
  const auto stride = static_cast<std::size_t>(bitmap.Stride());
  std::uint32_t* row = bitmap.Pixels() + static_cast<std::size_t>(v[0].y) * stride;
  // Spans starting at or before this index have kShortSpan pixels to spare
  // before the end of the drawable rows: in a band, the pixels written back
  // past a span must not be ones another thread is drawing.
  const std::int64_t lastShortSpan = std::int64_t{bitmap.ClipBottom()} * bitmap.Stride() - kShortSpan;
  for (int half = 0; half < 2; ++half) {
    const Vertex& top = v[half];
    const Vertex& bottom = v[half + 1];
    if (top.y == bottom.y) continue;
    RationalStepper shortEdge = walk(top, bottom);
    for (std::int64_t y = top.y; y < bottom.y; ++y, row += stride) {
      const std::int64_t a = longEdge.Ceil();
      const std::int64_t b = shortEdge.Ceil();
      std::uint32_t* first = row + std::min(a, b);
      const std::int64_t count = std::max(a, b) - std::min(a, b);
      if (count <= kShortSpan && first - bitmap.Pixels() <= lastShortSpan) {
        FillShortSpan(first, count, pixel);
      } else {
        raster::FillRow(first, first + count, pixel);
      }
      longEdge.Advance();
      shortEdge.Advance();
    }
  }
}

// DrawEdge for a line inside the bitmap. The minor coordinate starts exactly
// at the start vertex and moves by minorDelta / length per step, a ratio
// between -1 and 1, so the stepping needs no division.
void DrawEdgeInside(FrameBitmap& bitmap, Point from, Point to, std::uint32_t pixel) {
  const std::int64_t dx = std::int64_t{to.x} - from.x;
  const std::int64_t dy = std::int64_t{to.y} - from.y;
  if (dx == 0 && dy == 0) return;
  const bool xMajor = std::llabs(dx) > std::llabs(dy);
  const std::int64_t length = std::llabs(xMajor ? dx : dy);
  const std::int64_t minorDelta = xMajor ? dy : dx;
  const std::int64_t stride = bitmap.Stride();
  const std::int64_t majorStep = xMajor ? (dx > 0 ? 1 : -1) : (dy > 0 ? stride : -stride);
  const std::int64_t minorStep = xMajor ? stride : 1;
  // minor = minor0 + ceil((2 t minorDelta - length) / (2 length)), kept as
  // minor0 - 1 + floor plus a remainder in 0 .. 2 length - 1.
  const std::int64_t denominator = 2 * length;
  std::int64_t stepFloor = minorDelta == length ? 1 : (minorDelta >= 0 ? 0 : -1);
  std::int64_t stepRemainder = 2 * minorDelta - stepFloor * denominator;
  std::int64_t remainder = length;
  std::uint32_t* pixels = bitmap.Pixels();
  // Index of (from.x, from.y - 1) or (from.x - 1, from.y): the floor part.
  std::int64_t base = std::int64_t{from.y} * stride + from.x - minorStep;
  for (std::int64_t t = 0; t < length; ++t) {
    pixels[base + (remainder > 0 ? minorStep : 0)] = pixel;
    base += majorStep + stepFloor * minorStep;
    remainder += stepRemainder;
    if (remainder >= denominator) {
      remainder -= denominator;
      base += minorStep;
    }
  }
}

}  // namespace zintrel::raster
