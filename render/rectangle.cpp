#include <algorithm>
#include <cstdint>

#include "render/frame_bitmap.h"
#include "render/raster.h"

namespace zintrel {
namespace raster {

void DrawBox(FrameBitmap& bitmap, std::int64_t left, std::int64_t top, std::int64_t right,
             std::int64_t bottom) {
  const std::int64_t width = right - left;
  const std::int64_t height = bottom - top;
  // A 1 x 1 box draws nothing: each of its four sides has zero length.
  if (width == 0 || height == 0 || (width == 1 && height == 1)) return;

  const std::uint32_t pen = ToPixel(bitmap.PenColor);
  // The brush lies strictly inside the ring, so the two never overlap and the
  // order in which they are painted does not matter.
  FillClipped(bitmap, left + 1, right - 2, top + 1, bottom - 2, ToPixel(bitmap.BrushColor));
  FillClipped(bitmap, left, right - 1, top, top, pen);
  FillClipped(bitmap, left, right - 1, bottom - 1, bottom - 1, pen);
  FillClipped(bitmap, left, left, top + 1, bottom - 2, pen);
  FillClipped(bitmap, right - 1, right - 1, top + 1, bottom - 2, pen);
}

}  // namespace raster

void FrameBitmap::Rectangle(int x1, int y1, int x2, int y2) {
  raster::DrawBox(*this, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

}  // namespace zintrel
