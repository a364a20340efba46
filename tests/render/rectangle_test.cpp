#include <gtest/gtest.h>

#include <climits>

#include "picture.h"

namespace zintrel {
namespace {

using testing::Picture;
using testing::Place;
using testing::ReferenceRectangle;

Picture Draw(int frameWidth, int frameHeight, int x1, int y1, int x2, int y2) {
  return testing::DrawBox(&FrameBitmap::Rectangle, frameWidth, frameHeight, x1, y1, x2, y2);
}

TEST(RectangleTest, SmallBoxesAreLinesRingsOrNothing) {
  EXPECT_EQ(Draw(3, 4, 1, 0, 2, 4), Picture(4, ".#."));  // one wide: a line of pen
  EXPECT_EQ(Draw(2, 3, 0, 0, 2, 3), Picture(3, "##"));   // two wide: pen only
  EXPECT_EQ(Draw(3, 3, 0, 0, 3, 3), Picture({"###", "#o#", "###"}));
  EXPECT_EQ(Draw(3, 3, 1, 1, 2, 2), Picture(3, "..."));  // 1 x 1: nothing
  EXPECT_EQ(Draw(3, 3, 1, 0, 1, 3), Picture(3, "..."));  // zero wide: nothing
}

TEST(RectangleTest, EverySmallBoxFollowsTheRuleInAnyCornerOrder) {
  for (int w = 0; w <= 20; ++w) {
    for (int h = 0; h <= 20; ++h) {
      const Picture expected = w * h == 0 ? Picture(25, std::string(26, '.'))
                                          : Place(ReferenceRectangle(w, h), 3, 2, 26, 25);
      testing::ExpectEveryCornerOrder(&FrameBitmap::Rectangle, 26, 25, 3, 2, 3 + w, 2 + h, expected);
    }
  }
}

TEST(RectangleTest, ClippingShowsTheShiftedWindowOfTheWholeBox) {
  for (int w : {1, 2, 3, 4, 7, 20}) {
    for (int h : {1, 2, 3, 5, 20}) {
      for (int left = -w - 1; left <= 9; ++left) {
        for (int top = -h - 1; top <= 8; ++top) {
          ASSERT_EQ(Draw(8, 7, left, top, left + w, top + h), Place(ReferenceRectangle(w, h), left, top, 8, 7))
              << w << "x" << h << " at " << left << "," << top;
        }
      }
    }
  }
}

TEST(RectangleTest, HugeCoordinatesClipWithoutOverflow) {
  EXPECT_EQ(Draw(6, 4, INT_MIN, INT_MIN, INT_MAX, INT_MAX), Picture(4, "oooooo"));
  EXPECT_EQ(Draw(6, 4, INT_MAX, 1, INT_MIN, 4), Picture({"......", "######", "oooooo", "######"}));
  EXPECT_EQ(Draw(6, 4, -100000, -100000, 4, 100000), Picture(4, "ooo#.."));
  EXPECT_EQ(Draw(6, 4, 100000, 0, 100005, 4), Picture(4, "......"));
  EXPECT_EQ(Draw(6, 4, INT_MIN, INT_MIN, INT_MIN + 1, INT_MAX), Picture(4, "......"));
}

}  // namespace
}  // namespace zintrel
