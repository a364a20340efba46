#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zintrel {

// A lattice point; vertex coordinates of the frame's primitives are whole pixels.
struct Point {
  int x;
  int y;
};

// The off-screen frame every tick draws into, and the three primitives it is
// drawn with. Coordinates may lie anywhere in the int range: every primitive
// clips per pixel against the bitmap and never shifts a shape inward.
class FrameBitmap {
 public:
  // Changing a dimension reallocates the pixels and turns them all opaque
  // black; setting the current value again keeps them. Negative sizes count as 0.
  // The memory held is always that of the current size; when it cannot be
  // had, std::bad_alloc leaves the bitmap as it was.
  void SetWidth(int width);
  void SetHeight(int height);
  void Resize(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Returns the distance between the starts of two rows, in pixels.
  int Stride() const { return width_; }
  // Returns the bytes the pixels take, which follow the current size.
  std::size_t HeldBytes() const { return pixels_.capacity() * sizeof(std::uint32_t); }

  // Returns a bitmap that draws into rows top .. bottom - 1 of `whole` and
  // nowhere else, with whole's size, coordinates and colours: those rows get
  // exactly the pixels that drawing the same shapes into `whole` gives them,
  // so several threads can draw one frame, each into its own band. It borrows
  // whole's pixels, so `whole` must outlive it and keep its size; the band
  // itself cannot be resized.
  static FrameBitmap Band(FrameBitmap& whole, int top, int bottom);
  // The rows drawing may change: ClipTop() <= y < ClipBottom(). A bitmap
  // that is not a band may change all of them.
  int ClipTop() const { return clipTop_; }
  int ClipBottom() const { return clipBottom_; }

  // Pixels are 0xffRRGGBB (the layout of QImage::Format_RGB32), rows top to
  // bottom, Stride() pixels apart.
  const std::uint32_t* Pixels() const { return borrowed_ != nullptr ? borrowed_ : pixels_.data(); }
  std::uint32_t* Pixels() { return borrowed_ != nullptr ? borrowed_ : pixels_.data(); }
  // Returns the pixel at (x, y), which must lie inside the bitmap.
  std::uint32_t PixelAt(int x, int y) const;

  std::uint32_t PenColor = 0xFFFFFF;    // 0xRRGGBB; the pen is always solid and one pixel wide.
  std::uint32_t BrushColor = 0x000000;  // 0xRRGGBB; the brush is always solid.

  // Outlines the box x1 <= x < x2, y1 <= y < y2 (corners in any order) with
  // the pen and fills its inside with the brush.
  void Rectangle(int x1, int y1, int x2, int y2);
  // Draws the ellipse inscribed in the same box as Rectangle would.
  void Ellipse(int x1, int y1, int x2, int y2);
  // Fills the triangle (alternate rule, sampled at integer points) with the
  // brush, then outlines its three edges with the pen.
  void Polygon(const Point (&vertices)[3]);

 private:
  void Reallocate(int width, int height);

  int width_ = 0;
  int height_ = 0;
  int clipTop_ = 0;
  int clipBottom_ = 0;
  std::vector<std::uint32_t> pixels_;
  std::uint32_t* borrowed_ = nullptr;  // A band's pixels, owned by the whole bitmap.
};

}  // namespace zintrel
