#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>

#include "picture.h"
#include "render/ellipse_quadrant.h"

namespace zintrel {
namespace {

using testing::Picture;
using testing::ReferenceEllipse;

Picture Draw(int frameWidth, int frameHeight, int x1, int y1, int x2, int y2) {
  return testing::DrawBox(&FrameBitmap::Ellipse, frameWidth, frameHeight, x1, y1, x2, y2);
}

std::map<int, Picture> LoadPicturedSquares() {
  std::ifstream in(ZINTREL_ELLIPSE_SQUARES);
  std::map<int, Picture> squares;
  std::string line;
  int size = 0;
  while (std::getline(in, line)) {
    int x1 = 0, y1 = 0, y2 = 0;
    if (std::sscanf(line.c_str(), "Ellipse(%d,%d,%d,%d)", &x1, &y1, &size, &y2) == 4) continue;
    if (!line.empty()) squares[size].push_back(line);
  }
  return squares;
}

TEST(EllipseTest, MatchesEveryPicturedSquare) {
  const std::map<int, Picture> squares = LoadPicturedSquares();
  ASSERT_EQ(squares.size(), 19u);
  for (const auto& [size, picture] : squares) {
    ASSERT_EQ(picture.size(), static_cast<size_t>(size));
    EXPECT_EQ(Draw(size, size, 0, 0, size, size), picture) << size;
    EXPECT_EQ(ReferenceEllipse(size, size), picture) << "reference " << size;
  }
}

TEST(EllipseTest, EverySmallBoxMatchesTheRuleInAnyCornerOrder) {
  for (int w = 0; w <= 32; ++w) {
    for (int h = 0; h <= 32; ++h) {
      const Picture expected = ReferenceEllipse(w, h, 3, 2, 38, 37);
      testing::ExpectEveryCornerOrder(&FrameBitmap::Ellipse, 38, 37, 3, 2, 3 + w, 2 + h, expected);
    }
  }
}

// Properties that hold whatever the walk does: mirror symmetry, one
// 8-connected outline, and brush exactly where the outside cannot reach.
TEST(EllipseTest, OutlineIsSymmetricAndClosedWithBrushStrictlyInside) {
  for (int w = 3; w <= 40; ++w) {
    for (int h = 3; h <= 40; ++h) {
      const Picture p = Draw(w + 2, h + 2, 1, 1, w + 1, h + 1);
      std::vector<std::pair<int, int>> stack;
      std::vector<std::vector<int>> seen(h + 2, std::vector<int>(w + 2, 0));
      int outline = 0, firstX = -1, firstY = -1;
      for (int y = 0; y < h + 2; ++y) {
        for (int x = 0; x < w + 2; ++x) {
          ASSERT_EQ(p[y][x], p[h + 1 - y][x]) << w << "x" << h;
          ASSERT_EQ(p[y][x], p[y][w + 1 - x]) << w << "x" << h;
          if (p[y][x] == '#') ++outline, firstX = x, firstY = y;
        }
      }
      // Flood the outline with 8-neighbour steps, the outside with 4-neighbour steps.
      const auto flood = [&](int x, int y, bool wantOutline, int mark) {
        for (stack = {{x, y}}; !stack.empty();) {
          auto [cx, cy] = stack.back();
          stack.pop_back();
          if (cx < 0 || cy < 0 || cx >= w + 2 || cy >= h + 2 || seen[cy][cx]) continue;
          if ((p[cy][cx] == '#') != wantOutline) continue;
          seen[cy][cx] = mark;
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              if (wantOutline || dx == 0 || dy == 0) stack.push_back({cx + dx, cy + dy});
            }
          }
        }
      };
      flood(firstX, firstY, true, 1);
      flood(0, 0, false, 2);
      for (int y = 0; y < h + 2; ++y) {
        for (int x = 0; x < w + 2; ++x) {
          const char expected = seen[y][x] == 1 ? '#' : seen[y][x] == 2 ? '.' : 'o';
          ASSERT_EQ(p[y][x], expected) << w << "x" << h << " at " << x << "," << y;
        }
      }
      ASSERT_GT(outline, 0);
    }
  }
}

TEST(EllipseTest, ClippingShowsTheShiftedWindowOfTheWholeEllipse) {
  for (int w : {1, 2, 3, 4, 5, 8, 11, 16, 20}) {
    for (int h : {1, 2, 3, 4, 6, 9, 13, 20}) {
      const Picture whole = ReferenceEllipse(w, h);
      for (int left = -w - 1; left <= 13; ++left) {
        for (int top = -h - 1; top <= 11; ++top) {
          ASSERT_EQ(Draw(12, 10, left + w, top, left, top + h), testing::Place(whole, left, top, 12, 10))
              << w << "x" << h << " at " << left << "," << top;
        }
      }
    }
  }
}

// Boxes past the direct walk's limit take the column tracer; the frame is put
// over edges, corners, the centre and random places of each.
TEST(EllipseTest, LargeBoxesMatchTheWalkWhereverTheFrameLooks) {
  std::mt19937 random(7);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int i = 0; i < 60; ++i) {
    const int w = i % 3 == 1 ? pick(3, 40) : pick(1025, 6000);
    const int h = i % 3 == 2 ? pick(3, 40) : pick(1025, 6000);
    const int left = i % 4 == 0 ? -pick(-30, w) : -w + pick(0, 40);
    const int top = i % 5 == 0 ? -h / 2 + pick(-20, 20) : -pick(-25, h);
    EXPECT_EQ(Draw(40, 30, left, top, left + w, top + h), ReferenceEllipse(w, h, left, top, 40, 30))
        << w << "x" << h << " at " << left << "," << top;
  }
}

TEST(EllipseTest, HugeCoordinatesClipWithoutOverflow) {
  const Picture allBrush(24, std::string(32, 'o'));
  const Picture nothing(24, std::string(32, '.'));
  EXPECT_EQ(Draw(32, 24, INT_MIN, INT_MIN, INT_MAX, INT_MAX), allBrush);
  EXPECT_EQ(Draw(32, 24, INT_MAX, INT_MAX, INT_MIN, INT_MIN), allBrush);
  EXPECT_EQ(Draw(32, 24, -100000, -100000, 100000, 100000), allBrush);
  EXPECT_EQ(Draw(32, 24, 100000, 100000, 100010, 100010), nothing);
  EXPECT_EQ(Draw(32, 24, -100010, 5, -100000, 15), nothing);
  EXPECT_EQ(Draw(32, 24, INT_MIN, INT_MIN, INT_MIN + 10, INT_MAX), nothing);

  // A flat ellipse seen near its centre: top and bottom rows are outline.
  Picture flat(24, std::string(32, 'o'));
  flat[0] = flat[19] = std::string(32, '#');
  for (int y = 20; y < 24; ++y) flat[y] = std::string(32, '.');
  EXPECT_EQ(ReferenceEllipse(2000001, 20, -1000000, 0, 32, 24), flat);
  EXPECT_EQ(Draw(32, 24, -1000000, 0, 1000001, 20), flat);
  EXPECT_EQ(Draw(32, 24, INT_MIN, 0, INT_MAX, 20), flat);

  // The right end of a box as wide as the int range: one steep column.
  Picture edge(24, std::string(19, 'o') + '#' + std::string(12, '.'));
  EXPECT_EQ(Draw(32, 24, INT_MIN, -1000000, 20, 1000000), edge);
}

// Paints the quarter into a whole-box picture, mirrored, in call order.
class PictureSink final : public raster::QuadrantSink {
 public:
  PictureSink(int width, int height) : picture(height, std::string(width, '.')) {}
  void OutlineRun(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) override {
    for (std::int64_t y = y0; y <= y1; ++y) {
      for (std::int64_t x = x0; x <= x1; ++x) Set(x, y, '#');
    }
  }
  void BrushRow(std::int64_t y, std::int64_t xOut) override {
    for (std::int64_t x = Width() - xOut; x < xOut; ++x) Set(x, y, 'o');
  }
  Picture picture;

 private:
  std::int64_t Width() const { return static_cast<std::int64_t>(picture[0].size()); }
  void Set(std::int64_t x, std::int64_t y, char c) {
    const std::int64_t h = static_cast<std::int64_t>(picture.size());
    for (std::int64_t py : {y, h - 1 - y}) {
      for (std::int64_t px : {x, Width() - 1 - x}) {
        if (px >= 0 && py >= 0 && px < Width() && py < h) picture[py][px] = c;
      }
    }
  }
};

TEST(EllipseQuadrantTest, TraceMatchesWalkInsideAnyWindow) {
  std::mt19937 random(11);
  for (int w = 3; w <= 64; ++w) {
    for (int h = 3; h <= 64; ++h) {
      PictureSink walked(w, h);
      raster::WalkEllipseQuadrant(w, h, walked);
      ASSERT_EQ(walked.picture, ReferenceEllipse(w, h)) << w << "x" << h;
      for (int i = 0; i < 4; ++i) {
        const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
        raster::QuadrantWindow window{w / 2, w - 1, h / 2, h - 1};
        if (i > 0) {
          window.columnFirst = pick(w / 2, w - 1), window.columnLast = pick(window.columnFirst, w - 1);
          window.rowFirst = pick(h / 2, h - 1), window.rowLast = pick(window.rowFirst, h - 1);
        }
        PictureSink traced(w, h);
        raster::TraceEllipseQuadrant(w, h, window, traced);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            const int qx = std::max(x, w - 1 - x), qy = std::max(y, h - 1 - y);
            if (qx < window.columnFirst || qx > window.columnLast || qy < window.rowFirst || qy > window.rowLast) continue;
            ASSERT_EQ(traced.picture[y][x], walked.picture[y][x])
                << w << "x" << h << " window " << i << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace zintrel
