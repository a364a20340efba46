#include <algorithm>
#include <cstdint>

#include "render/ellipse_quadrant.h"
#include "render/frame_bitmap.h"
#include "render/raster.h"

namespace zintrel {
namespace {

using raster::FillClipped;

// Mirrors the quarter's runs into the four quarters of the box and paints
// them, clipped, into the bitmap.
class BitmapQuadrantSink final : public raster::QuadrantSink {
 public:
  BitmapQuadrantSink(FrameBitmap& bitmap, std::int64_t left, std::int64_t top, std::int64_t width,
                     std::int64_t height)
      : bitmap_(bitmap),
        left_(left),
        top_(top),
        width_(width),
        height_(height),
        pen_(raster::ToPixel(bitmap.PenColor)),
        brush_(raster::ToPixel(bitmap.BrushColor)) {}

  void OutlineRun(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) override {
    const std::int64_t right = left_ + width_ - 1;
    const std::int64_t bottom = top_ + height_ - 1;
    FillClipped(bitmap_, left_ + x0, left_ + x1, top_ + y0, top_ + y1, pen_);
    FillClipped(bitmap_, right - x1, right - x0, top_ + y0, top_ + y1, pen_);
    FillClipped(bitmap_, left_ + x0, left_ + x1, bottom - y1, bottom - y0, pen_);
    FillClipped(bitmap_, right - x1, right - x0, bottom - y1, bottom - y0, pen_);
  }

  void BrushRow(std::int64_t y, std::int64_t xOut) override {
    // The brush never meets the outline (it stops one pixel short of each
    // side's innermost outline pixel), so painting it after some of the
    // outline changes nothing.
    const std::int64_t first = left_ + width_ - xOut;
    const std::int64_t last = left_ + xOut - 1;
    FillClipped(bitmap_, first, last, top_ + y, top_ + y, brush_);
    if (height_ - 1 - y != y) {
      FillClipped(bitmap_, first, last, top_ + height_ - 1 - y, top_ + height_ - 1 - y, brush_);
    }
  }

 private:
  FrameBitmap& bitmap_;
  std::int64_t left_;
  std::int64_t top_;
  std::int64_t width_;
  std::int64_t height_;
  std::uint32_t pen_;
  std::uint32_t brush_;
};

struct Range {
  std::int64_t first;
  std::int64_t last;
};

// Returns the quarter offsets (size div 2 .. size-1) along one axis whose
// pixel, or whose mirror image, falls inside 0 .. frameSize-1. The two
// mirrored ranges overlap whenever both are non-empty (the frame then holds
// the centre), so their union is one range.
Range VisibleQuarter(std::int64_t origin, std::int64_t size, std::int64_t frameSize) {
  const std::int64_t lowest = size / 2;
  const Range direct{std::max(lowest, -origin), std::min(size - 1, frameSize - 1 - origin)};
  const Range mirrored{std::max(lowest, origin + size - frameSize),
                       std::min(size - 1, origin + size - 1)};
  if (direct.first > direct.last) return mirrored;
  if (mirrored.first > mirrored.last) return direct;
  return {std::min(direct.first, mirrored.first), std::max(direct.last, mirrored.last)};
}

}  // namespace

void FrameBitmap::Ellipse(int x1, int y1, int x2, int y2) {
  const std::int64_t left = std::min(x1, x2);
  const std::int64_t top = std::min(y1, y2);
  const std::int64_t right = std::max(x1, x2);
  const std::int64_t bottom = std::max(y1, y2);
  const std::int64_t width = right - left;
  const std::int64_t height = bottom - top;
  if (width <= 2 || height <= 2) {
    raster::DrawBox(*this, left, top, right, bottom);
    return;
  }
  if (right <= 0 || bottom <= ClipTop() || left >= Width() || top >= ClipBottom()) return;

  BitmapQuadrantSink sink(*this, left, top, width, height);
  if (width <= raster::kDirectWalkLimit && height <= raster::kDirectWalkLimit) {
    raster::WalkEllipseQuadrant(width, height, sink);
    return;
  }
  const Range columns = VisibleQuarter(left, width, Width());
  // A band's rows are a frame of their own, ClipTop() lower.
  const Range rows = VisibleQuarter(top - ClipTop(), height, ClipBottom() - ClipTop());
  raster::TraceEllipseQuadrant(width, height, {columns.first, columns.last, rows.first, rows.last},
                               sink);
}

}  // namespace zintrel
