#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zintrel
