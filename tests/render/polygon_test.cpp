#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "picture.h"
#include "render/raster.h"

namespace zintrel {
namespace {

using testing::Capture;
using testing::Int128;
using testing::MakeCanvas;
using testing::Picture;

Int128 FloorDiv(Int128 n, Int128 d) { return n / d - ((n % d != 0 && (n < 0) != (d < 0)) ? 1 : 0); }

// Returns whether the alternate rule puts the integer point (x, y) inside the
// polygon: an odd number of edges active on row y cross it at or left of x.
bool Inside(const std::vector<Point>& polygon, Int128 x, Int128 y) {
  int crossings = 0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    Point p = polygon[i], q = polygon[(i + 1) % polygon.size()];
    if (p.y == q.y) continue;
    if (p.y > q.y) std::swap(p, q);
    if (y < p.y || y >= q.y) continue;
    // x_e = p.x + (q.x - p.x)(y - p.y) / (q.y - p.y) <= x, with q.y - p.y > 0.
    const Int128 dy = Int128{q.y} - p.y;
    if (Int128{p.x} * dy + (Int128{q.x} - p.x) * (y - p.y) <= x * dy) ++crossings;
  }
  return crossings % 2 == 1;
}

// Returns whether the line from `from` (included) to `to` (excluded) lights (x, y).
bool OnLine(Point from, Point to, Int128 x, Int128 y) {
  const Int128 dx = Int128{to.x} - from.x, dy = Int128{to.y} - from.y;
  if (dx == 0 && dy == 0) return false;
  const bool xMajor = (dx < 0 ? -dx : dx) > (dy < 0 ? -dy : dy);
  const Int128 major = xMajor ? x : y, minor = xMajor ? y : x;
  const Int128 m0 = xMajor ? from.x : from.y, n0 = xMajor ? from.y : from.x;
  const Int128 dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
  const Int128 t = dMajor > 0 ? major - m0 : m0 - major;
  const Int128 length = dMajor > 0 ? dMajor : -dMajor;
  if (t < 0 || t >= length) return false;
  // minor = ceil(ideal - 1/2) with ideal = n0 + t dMinor / length.
  return minor == -FloorDiv(-(2 * n0 * length + 2 * t * dMinor - length), 2 * length);
}

Picture Reference(const std::vector<Point>& polygon, int width, int height, bool outline = true) {
  Picture picture(height, std::string(width, '.'));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (Inside(polygon, x, y)) picture[y][x] = 'o';
      for (size_t i = 0; outline && i < polygon.size(); ++i) {
        if (OnLine(polygon[i], polygon[(i + 1) % polygon.size()], x, y)) picture[y][x] = '#';
      }
    }
  }
  return picture;
}

Picture Draw(int width, int height, Point a, Point b, Point c) {
  FrameBitmap bitmap = MakeCanvas(width, height);
  bitmap.Polygon({a, b, c});
  return Capture(bitmap);
}

TEST(PolygonTest, RightTriangleFillsLeftAndTopAndOutlinesEveryEdge) {
  const Picture expected = {"#####", "#oo#.", "#o#..", "##...", "#...."};
  EXPECT_EQ(Draw(5, 5, {0, 0}, {4, 0}, {0, 4}), expected);
}

TEST(PolygonTest, EverySmallTriangleMatchesTheRule) {
  for (int i = 0; i < 25 * 25 * 25; ++i) {
    const Point a{i % 5, i / 5 % 5}, b{i / 25 % 5, i / 125 % 5}, c{i / 625 % 5, i / 3125 % 5};
    for (const Point shift : {Point{2, 2}, Point{-2, -1}, Point{3, -3}}) {
      const Point sa{a.x + shift.x, a.y + shift.y}, sb{b.x + shift.x, b.y + shift.y},
          sc{c.x + shift.x, c.y + shift.y};
      ASSERT_EQ(Draw(8, 7, sa, sb, sc), Reference({sa, sb, sc}, 8, 7)) << i << " shift " << shift.x;
    }
  }
}

TEST(PolygonTest, VertexOrderAndEdgeDirectionDoNotChangeThePicture) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> coordinate(-8, 30);
  for (int i = 0; i < 400; ++i) {
    Point v[3] = {{coordinate(random), coordinate(random)}, {coordinate(random), coordinate(random)},
                  {coordinate(random), coordinate(random)}};
    const Picture first = Draw(24, 24, v[0], v[1], v[2]);
    EXPECT_EQ(first, Reference({v[0], v[1], v[2]}, 24, 24));
    std::sort(v, v + 3, [](Point p, Point q) { return p.x != q.x ? p.x < q.x : p.y < q.y; });
    do {
      EXPECT_EQ(Draw(24, 24, v[0], v[1], v[2]), first) << i;
    } while (std::next_permutation(v, v + 3, [](Point p, Point q) { return p.x != q.x ? p.x < q.x : p.y < q.y; }));
  }
}

Picture FillOnly(int width, int height, Point a, Point b, Point c) {
  FrameBitmap bitmap = MakeCanvas(width, height);
  raster::FillTriangle(bitmap, {a, b, c}, 0xFF000000u | testing::kBrush);
  return Capture(bitmap);
}

// Two triangles on either side of a shared diagonal must fill their union,
// the quadrilateral, with no pixel missing and none painted twice.
TEST(PolygonTest, TrianglesSharingAnEdgeCoverTheirUnionOnce) {
  EXPECT_EQ(FillOnly(5, 5, {0, 0}, {4, 0}, {4, 4}), Picture({"oooo.", ".ooo.", "..oo.", "...o.", "....."}));
  std::mt19937 random(5);
  std::uniform_int_distribution<int> coordinate(-4, 24);
  int checked = 0;
  while (checked < 500) {
    const Point a{coordinate(random), coordinate(random)}, b{coordinate(random), coordinate(random)},
        c{coordinate(random), coordinate(random)}, d{coordinate(random), coordinate(random)};
    const auto side = [&](Point p) { return Int128{c.x - a.x} * (p.y - a.y) - Int128{c.y - a.y} * (p.x - a.x); };
    if (!((side(b) > 0 && side(d) < 0) || (side(b) < 0 && side(d) > 0))) continue;
    ++checked;
    const Picture first = FillOnly(20, 20, a, b, c), second = FillOnly(20, 20, a, c, d);
    const Picture quad = Reference({a, b, c, d}, 20, 20, false);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        ASSERT_FALSE(first[y][x] == 'o' && second[y][x] == 'o') << checked << " overlap " << x << "," << y;
        ASSERT_EQ(first[y][x] == 'o' || second[y][x] == 'o', quad[y][x] == 'o') << checked << " at " << x << "," << y;
      }
    }
  }
}

// A zero-length edge makes the triangle one line drawn both ways; the ideal
// line passes exactly half-way between two pixels at every other step.
TEST(PolygonTest, HalfwayLinesGoToTheSmallerCoordinate) {
  struct Case {
    Point from, to;
    Picture expected;
  };
  const Case cases[] = {
      {{0, 0}, {4, 2}, {"##...", "..##.", "....#"}},
      {{0, 0}, {2, 4}, {"#..", "#..", ".#.", ".#.", "..#"}},
      {{4, 2}, {0, 0}, {"##...", "..##.", "....#"}},
      {{0, 1}, {4, 0}, {"..###", "##..."}},
  };
  for (const Case& c : cases) {
    const int w = static_cast<int>(c.expected[0].size()), h = static_cast<int>(c.expected.size());
    EXPECT_EQ(Draw(w, h, c.from, c.to, c.to), c.expected);
  }
}

TEST(PolygonTest, DegenerateTrianglesDrawOnlyTheirEdges) {
  EXPECT_EQ(Draw(4, 3, {1, 1}, {1, 1}, {1, 1}), Picture(3, "...."));
  EXPECT_EQ(Draw(5, 3, {0, 0}, {2, 1}, {4, 2}), Picture({"##...", "..##.", "....#"}));
}

TEST(PolygonTest, HugeCoordinatesClipExactly) {
  const Point cases[][3] = {
      {{INT_MIN, INT_MIN}, {INT_MAX, 3}, {INT_MIN, INT_MAX}},
      {{INT_MAX, INT_MIN}, {INT_MAX, INT_MAX}, {-5, 6}},
      {{-100000, 7}, {100000, 2}, {6, 100000}},
      {{100000, 100000}, {100010, 100000}, {100000, 100010}},
      {{INT_MIN, -1}, {INT_MAX, 0}, {INT_MIN, 1}},
  };
  for (const auto& v : cases) {
    EXPECT_EQ(Draw(16, 12, v[0], v[1], v[2]), Reference({v[0], v[1], v[2]}, 16, 12));
  }
}

}  // namespace
}  // namespace zintrel
