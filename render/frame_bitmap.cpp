#include "render/frame_bitmap.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>

#include "render/raster.h"

namespace zintrel {

void FrameBitmap::SetWidth(int width) { Reallocate(width, height_); }

void FrameBitmap::SetHeight(int height) { Reallocate(width_, height); }

// One reallocation instead of two; the result is the same as SetWidth followed
// by SetHeight because a reallocated bitmap keeps no old pixels.
void FrameBitmap::Resize(int width, int height) { Reallocate(width, height); }

std::uint32_t FrameBitmap::PixelAt(int x, int y) const {
  assert(x >= 0 && x < width_ && y >= 0 && y < height_);
  return Pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                  static_cast<std::size_t>(x)];
}

FrameBitmap FrameBitmap::Band(FrameBitmap& whole, int top, int bottom) {
  FrameBitmap band;
  band.width_ = whole.width_;
  band.height_ = whole.height_;
  band.clipTop_ = std::clamp(top, whole.clipTop_, whole.clipBottom_);
  band.clipBottom_ = std::clamp(bottom, band.clipTop_, whole.clipBottom_);
  band.borrowed_ = whole.Pixels();
  band.PenColor = whole.PenColor;
  band.BrushColor = whole.BrushColor;
  return band;
}

void FrameBitmap::Reallocate(int width, int height) {
  assert(borrowed_ == nullptr && "a band cannot be resized");
  if (borrowed_ != nullptr) return;  // Its pixels belong to the whole bitmap.
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  // A fresh buffer rather than assign(): the old rows no longer line up with
  // the new stride, so keeping their bytes would only leave a sheared picture
  // behind; a shrinking frame gives its memory back, where assign() would keep
  // the largest capacity it ever had; and when the allocation fails the
  // bitmap is left exactly as it was, its size still matching its pixels.
  // Counted in 64 bits: where std::size_t has 32 (WebAssembly), the product
  // of two large sides would wrap to a small buffer under a large size.
  const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  // Beyond what a vector can index is as unobtainable as beyond memory, and
  // is reported the same way.
  if (count > pixels_.max_size()) throw std::bad_alloc();
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(count), raster::ToPixel(0x000000));
  pixels_.swap(pixels);
  width_ = width;
  height_ = height;
  clipTop_ = 0;
  clipBottom_ = height;
}

}  // namespace zintrel
