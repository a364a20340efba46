#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <random>
#include <vector>

#include "render/frame_bitmap.h"

namespace zintrel {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

TEST(FrameBitmapTest, StartsEmptyWithWhitePenAndBlackBrush) {
  FrameBitmap bitmap;
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.PenColor, 0xFFFFFFu);
  EXPECT_EQ(bitmap.BrushColor, 0x000000u);
  bitmap.Rectangle(-5, -5, 5, 5);  // Drawing on nothing is allowed and does nothing.
  bitmap.Ellipse(-5, -5, 5, 5);
  bitmap.Polygon({{-5, -5}, {5, 0}, {0, 5}});
}

TEST(FrameBitmapTest, SizeChangesGiveBlackRowsOneStrideApart) {
  FrameBitmap bitmap;
  bitmap.SetWidth(5);
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 0);
  bitmap.SetHeight(3);
  EXPECT_EQ(bitmap.Stride(), 5);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(bitmap.Pixels()[i], kBlack);

  bitmap.PenColor = 0xAB123456;  // Bits above the colour are ignored.
  bitmap.Rectangle(3, 2, 4, 3);  // 1 x 1: nothing
  bitmap.Rectangle(3, 1, 4, 3);  // a vertical line at x = 3, rows 1 and 2
  EXPECT_EQ(bitmap.PixelAt(3, 2), 0xFF123456u);
  EXPECT_EQ(bitmap.Pixels()[2 * bitmap.Stride() + 3], 0xFF123456u);
  EXPECT_EQ(bitmap.PixelAt(3, 0), kBlack);

  bitmap.Resize(5, 3);  // Same size: the picture stays.
  bitmap.SetWidth(5);
  EXPECT_EQ(bitmap.PixelAt(3, 1), 0xFF123456u);
  bitmap.Resize(3, 5);  // Same pixel count, new shape: all black again.
  EXPECT_EQ(bitmap.Stride(), 3);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(bitmap.Pixels()[i], kBlack) << i;
}

TEST(FrameBitmapTest, NegativeSizesCountAsZero) {
  FrameBitmap bitmap;
  bitmap.Resize(4, 4);
  bitmap.SetWidth(-3);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 4);
  bitmap.Resize(7, -1);
  EXPECT_EQ(bitmap.Width(), 7);
  EXPECT_EQ(bitmap.Height(), 0);
}

// A frame as large as a state file may ask for is given back once the field
// shrinks again, and a size that cannot be had leaves the picture whole: the
// next paint reads Width() x Height() pixels from it.
TEST(FrameBitmapTest, HoldsOnlyTheMemoryOfItsSizeAndSurvivesAFailedResize) {
  FrameBitmap bitmap;
  bitmap.Resize(4000, 3000);
  EXPECT_GE(bitmap.HeldBytes(), 4000u * 3000u * 4u);
  bitmap.Resize(660, 440);
  EXPECT_EQ(bitmap.HeldBytes(), 660u * 440u * 4u);

  bitmap.PenColor = 0x123456;
  bitmap.Rectangle(10, 10, 11, 20);
  EXPECT_THROW(bitmap.Resize(INT_MAX, INT_MAX), std::bad_alloc);
  EXPECT_EQ(bitmap.Width(), 660);
  EXPECT_EQ(bitmap.Height(), 440);
  EXPECT_EQ(bitmap.ClipBottom(), 440);
  EXPECT_EQ(bitmap.HeldBytes(), 660u * 440u * 4u);
  EXPECT_EQ(bitmap.PixelAt(10, 15), 0xFF123456u);
  EXPECT_EQ(bitmap.PixelAt(659, 439), kBlack);
}

// Shapes of every kind and size, many crossing any given row: small and
// large rectangles, ellipses of both drawing methods (the large ones traced
// only over their visible part), and triangles inside, across the edges and
// with corners at the ends of the int range.
struct Shape {
  int kind;  // 0 rectangle, 1 ellipse, 2 polygon
  Point p[3];
};

std::vector<Shape> RandomShapes(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> near(-20, std::max(width, height) + 20), size(0, 40), kind(0, 2);
  std::vector<Shape> shapes;
  for (int i = 0; i < 300; ++i) {
    Shape s{kind(random), {}};
    for (Point& p : s.p) p = {near(random), near(random)};
    if (s.kind != 2 && i % 3 != 0) s.p[1] = {s.p[0].x + size(random), s.p[0].y + size(random)};
    shapes.push_back(s);
  }
  shapes.push_back({1, {{-1500, -1200}, {width + 900, height + 1700}, {}}});  // traced, crossing all rows
  shapes.push_back({1, {{-3000, 5}, {1100, height - 3}, {}}});
  shapes.push_back({2, {{INT_MIN, 3}, {width / 2, INT_MAX}, {INT_MAX, height / 3}}});
  shapes.push_back({2, {{5, INT_MIN}, {width - 2, height / 2}, {-7, INT_MAX}}});
  shapes.push_back({0, {{INT_MIN, INT_MIN}, {INT_MAX, 7}, {}}});
  return shapes;
}

void Draw(FrameBitmap& bitmap, const std::vector<Shape>& shapes) {
  int colour = 0;
  for (const Shape& s : shapes) {
    bitmap.PenColor = 0x010203 * (++colour % 80);
    bitmap.BrushColor = 0x030201 * (colour % 70);
    if (s.kind == 0) bitmap.Rectangle(s.p[0].x, s.p[0].y, s.p[1].x, s.p[1].y);
    if (s.kind == 1) bitmap.Ellipse(s.p[0].x, s.p[0].y, s.p[1].x, s.p[1].y);
    if (s.kind == 2) bitmap.Polygon(s.p);
  }
}

// A band gives its rows the pixels the whole bitmap gets and leaves every
// other row alone, wherever the band boundaries fall.
TEST(FrameBitmapTest, BandsDrawExactlyTheirRowsOfTheWholePicture) {
  constexpr int kWidth = 90, kHeight = 70;
  constexpr std::uint32_t kUntouched = 0xFF123456u;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const std::vector<Shape> shapes = RandomShapes(kWidth, kHeight, seed);
    FrameBitmap whole;
    whole.Resize(kWidth, kHeight);
    Draw(whole, shapes);
    for (const int top : {0, 1, 17, 35, 69}) {
      for (const int bottom : {top, top + 1, top + 9, 52, kHeight}) {
        if (bottom < top) continue;
        FrameBitmap banded;
        banded.Resize(kWidth, kHeight);
        std::fill(banded.Pixels(), banded.Pixels() + kWidth * kHeight, kUntouched);
        FrameBitmap band = FrameBitmap::Band(banded, top, bottom);
        ASSERT_EQ(band.ClipTop(), top);
        ASSERT_EQ(band.ClipBottom(), std::min(bottom, kHeight));
        Draw(band, shapes);
        for (int y = 0; y < kHeight; ++y) {
          for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t expected = y >= top && y < bottom ? whole.PixelAt(x, y) : kUntouched;
            ASSERT_EQ(banded.PixelAt(x, y), expected) << seed << " band " << top << ".." << bottom << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(FrameBitmapTest, BandsStayInsideTheirBitmapAndCannotBeResized) {
  FrameBitmap whole;
  whole.Resize(8, 6);
  whole.PenColor = 0x112233;
  FrameBitmap band = FrameBitmap::Band(whole, -4, 99);
  EXPECT_EQ(band.ClipTop(), 0);
  EXPECT_EQ(band.ClipBottom(), 6);
  EXPECT_EQ(band.PenColor, 0x112233u);
  EXPECT_EQ(band.Pixels(), whole.Pixels());
  FrameBitmap inner = FrameBitmap::Band(band, 4, 2);  // A band of a band stays within it.
  EXPECT_EQ(inner.ClipTop(), 4);
  EXPECT_EQ(inner.ClipBottom(), 4);
#ifdef NDEBUG
  band.Resize(3, 3);  // Ignored: the pixels are the whole bitmap's.
  EXPECT_EQ(band.Width(), 8);
  EXPECT_EQ(band.Pixels(), whole.Pixels());
#endif
}

}  // namespace
}  // namespace zintrel
