#include "render/frame_bitmap.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "render/raster.h"

namespace zintrel {

void FrameBitmap::SetWidth(int width) { Reallocate(width, height_); }

void FrameBitmap::SetHeight(int height) { Reallocate(width_, height); }

// One reallocation instead of two; the result is the same as SetWidth followed
// by SetHeight because a reallocated bitmap keeps no old pixels.
void FrameBitmap::Resize(int width, int height) { Reallocate(width, height); }

std::uint32_t FrameBitmap::PixelAt(int x, int y) const {
  assert(x >= 0 && x < width_ && y >= 0 && y < height_);
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)];
}

void FrameBitmap::Reallocate(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  // assign() rather than resize(): the old rows no longer line up with the new
  // stride, so keeping their bytes would only leave a sheared picture behind.
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                 raster::ToPixel(0x000000));
}

}  // namespace zintrel
