#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "render/frame_bitmap.h"
#include "render/raster.h"
#include "render/rational_stepper.h"

namespace zintrel {
namespace {

using raster::Int128;
using raster::RationalStepper;
using raster::Vertex;

// One non-horizontal edge, active on rows top.y <= y < bottom.y, with its
// crossing x tracked from the first row the fill visits.
struct ActiveEdge {
  std::int64_t firstRow = 0;
  std::int64_t endRow = 0;
  RationalStepper crossing;
};


}  // namespace

namespace raster {

void FillTriangle(FrameBitmap& bitmap, const Point (&corners)[3], std::uint32_t pixel) {
  const std::array<Vertex, 3> vertices{{{corners[0].x, corners[0].y},
                                        {corners[1].x, corners[1].y},
                                        {corners[2].x, corners[2].y}}};
  if (CornersInside(bitmap, corners)) {
    FillTriangleInside(bitmap, corners, pixel);
    return;
  }
  std::int64_t rowFirst = vertices[0].y;
  std::int64_t rowEnd = vertices[0].y;
  for (const Vertex& v : vertices) {
    rowFirst = std::min(rowFirst, v.y);
    rowEnd = std::max(rowEnd, v.y);
  }
  rowFirst = std::max<std::int64_t>(rowFirst, bitmap.ClipTop());
  rowEnd = std::min<std::int64_t>(rowEnd, bitmap.ClipBottom());
  if (rowFirst >= rowEnd) return;

  std::array<ActiveEdge, 3> edges{};
  int edgeCount = 0;
  for (int i = 0; i < 3; ++i) {
    Vertex top = vertices[i];
    Vertex bottom = vertices[(i + 1) % 3];
    if (top.y == bottom.y) continue;
    if (top.y > bottom.y) std::swap(top, bottom);
    const std::int64_t first = std::max(top.y, rowFirst);
    if (first >= bottom.y) continue;
    const std::int64_t dx = bottom.x - top.x;
    const std::int64_t dy = bottom.y - top.y;
    // x at row y is top.x + dx (y - top.y) / dy.
    edges[edgeCount++] = {first, bottom.y,
                          RationalStepper(top.x, static_cast<Int128>(dx) * (first - top.y), dx, dy)};
  }

  for (std::int64_t y = rowFirst; y < rowEnd; ++y) {
    // The two edges that meet at the middle vertex are never active on the
    // same row, so a row crosses exactly two edges or none. Pixel x is inside
    // when an odd number of crossings lie at or left of it: from the first
    // rounded-up crossing up to, not including, the second.
    std::int64_t crossings[2] = {0, 0};
    int count = 0;
    for (int i = 0; i < edgeCount; ++i) {
      ActiveEdge& edge = edges[i];
      if (y < edge.firstRow || y >= edge.endRow) continue;
      crossings[count++] = edge.crossing.Ceil();
      edge.crossing.Advance();
    }
    if (count == 2) {
      FillClipped(bitmap, std::min(crossings[0], crossings[1]),
                          std::max(crossings[0], crossings[1]) - 1, y, y, pixel);
    }
  }
}

}  // namespace raster

namespace {

// Draws the line from `from` (included) to `to` (excluded). Along the major
// axis every coordinate gets one pixel whose minor coordinate is the nearest
// to the ideal line, exact halves going to the smaller one.
void DrawEdge(FrameBitmap& bitmap, Vertex from, Vertex to, std::uint32_t pixel) {
  const std::int64_t dx = to.x - from.x;
  const std::int64_t dy = to.y - from.y;
  if (dx == 0 && dy == 0) return;
  const bool xMajor = std::llabs(dx) > std::llabs(dy);
  const std::int64_t major0 = xMajor ? from.x : from.y;
  const std::int64_t minor0 = xMajor ? from.y : from.x;
  const std::int64_t majorDelta = xMajor ? dx : dy;
  const std::int64_t minorDelta = xMajor ? dy : dx;
  // The drawable range of the major coordinate: low <= major < end.
  const std::int64_t majorLow = xMajor ? 0 : bitmap.ClipTop();
  const std::int64_t majorEnd = xMajor ? bitmap.Width() : bitmap.ClipBottom();
  const std::int64_t length = std::llabs(majorDelta);
  const std::int64_t direction = majorDelta > 0 ? 1 : -1;

  // Only the steps whose major coordinate lies inside the bitmap are visited.
  std::int64_t stepFirst = 0;
  std::int64_t stepLast = length - 1;
  if (direction > 0) {
    stepFirst = std::max(stepFirst, majorLow - major0);
    stepLast = std::min(stepLast, majorEnd - 1 - major0);
  } else {
    stepFirst = std::max(stepFirst, major0 - (majorEnd - 1));
    stepLast = std::min(stepLast, major0 - majorLow);
  }
  if (stepFirst > stepLast) return;

  // minor = minor0 + ceil(t * minorDelta / length - 1/2)
  //       = minor0 + ceil((2 t minorDelta - length) / (2 length)).
  RationalStepper minor(minor0,
                        static_cast<Int128>(2) * minorDelta * stepFirst - length,
                        2 * minorDelta, 2 * length);
  for (std::int64_t t = stepFirst; t <= stepLast; ++t) {
    const std::int64_t major = major0 + direction * t;
    if (xMajor) {
      raster::PlotClipped(bitmap, major, minor.Ceil(), pixel);
    } else {
      raster::PlotClipped(bitmap, minor.Ceil(), major, pixel);
    }
    minor.Advance();
  }
}

}  // namespace

void FrameBitmap::Polygon(const Point (&vertices)[3]) {
  const std::array<Vertex, 3> corners{{{vertices[0].x, vertices[0].y},
                                       {vertices[1].x, vertices[1].y},
                                       {vertices[2].x, vertices[2].y}}};
  const std::uint32_t pen = raster::ToPixel(PenColor);
  if (raster::CornersInside(*this, vertices)) {
    raster::FillTriangleInside(*this, vertices, raster::ToPixel(BrushColor));
    for (int i = 0; i < 3; ++i) raster::DrawEdgeInside(*this, vertices[i], vertices[(i + 1) % 3], pen);
    return;
  }
  raster::FillTriangle(*this, vertices, raster::ToPixel(BrushColor));
  for (int i = 0; i < 3; ++i) DrawEdge(*this, corners[i], corners[(i + 1) % 3], pen);
}

}  // namespace zintrel
