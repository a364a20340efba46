#include "render/ellipse_quadrant.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "render/raster.h"

namespace zintrel::raster {

void WalkEllipseQuadrant(std::int64_t width, std::int64_t height, QuadrantSink& sink) {
  const std::int64_t a = width - 1;
  const std::int64_t b = height - 1;
  const std::int64_t bOdd = b % 2;
  std::int64_t dx = 4 * b * b * (1 - a);
  std::int64_t dy = 4 * a * a * (1 + bOdd);
  std::int64_t err = dx + dy + a * a * bOdd;
  const std::int64_t stepK = 8 * a * a;
  const std::int64_t stepL = 8 * b * b;
  const std::int64_t xEnd = width / 2;

  std::int64_t x = a;
  std::int64_t y = height / 2;
  std::int64_t rowStart = x;  // The first (outermost) pixel of the current row.
  while (x >= xEnd) {
    const std::int64_t lastX = x;
    const std::int64_t lastY = y;
    // Both tests use the error taken before either update.
    const std::int64_t e2 = 2 * err;
    if (e2 >= dx) {
      --x;
      dx += stepL;
      err += dx;
    }
    if (e2 <= dy) {
      ++y;
      dy += stepK;
      err += dy;
    }
    if (y != lastY || x < xEnd) {
      sink.OutlineRun(lastX, rowStart, lastY, lastY);
      sink.BrushRow(lastY, lastX);
      rowStart = x;
    }
  }
}

namespace {

// Returns |value|^2 without overflow for any |value| < 2^63.
UInt128 Square(std::int64_t value) {
  const UInt128 magnitude = value < 0 ? static_cast<UInt128>(-static_cast<Int128>(value))
                                      : static_cast<UInt128>(value);
  return magnitude * magnitude;
}

// Returns whether the sum of the products p * q is at most limit. Products and
// partial sums may exceed 128 bits for boxes near 2^32, so the sum is never
// formed: each product is taken off what remains of the limit.
bool SumOfProductsAtMost(std::initializer_list<std::pair<UInt128, UInt128>> terms, UInt128 limit) {
  for (const auto& [p, q] : terms) {
    UInt128 product = 0;
    if (__builtin_mul_overflow(p, q, &product) || product > limit) return false;
    limit -= product;
  }
  return true;
}

// The walk's two decisions in closed form. With X = 2x - a and Y = 2y - b
// (twice the offset from the centre) the error held at (x, y) is
// F(X - 2, Y + 2) for F(X, Y) = b^2 X^2 + a^2 Y^2 - a^2 b^2, and the tests
// "2 err <= dy" and "2 err >= dx" reduce to the two predicates below. Both
// grow with y, and each decision depends only on the pixel, so a column of the
// path can be jumped over instead of walked.
class QuadrantShape {
 public:
  QuadrantShape(std::int64_t width, std::int64_t height)
      : a_(width - 1),
        b_(height - 1),
        a2_(Square(a_)),
        b2_(Square(b_)),
        limit_(a2_ * b2_),
        xEnd_(width / 2),
        mid_(height / 2) {}

  std::int64_t A() const { return a_; }
  std::int64_t XEnd() const { return xEnd_; }
  std::int64_t Mid() const { return mid_; }

  // Returns whether the walk moves down from (x, y):
  // b^2 (X-2)^2 + a^2 ((Y+1)^2 + 1) <= a^2 b^2.
  bool MovesDown(std::int64_t x, std::int64_t y) const {
    return SumOfProductsAtMost(
        {{b2_, Square(2 * x - a_ - 2)}, {a2_, Square(2 * y - b_ + 1) + 1}}, limit_);
  }

  // Returns whether the walk moves left from (x, y):
  // b^2 ((X-1)^2 + 1) + a^2 (Y+2)^2 >= a^2 b^2.
  bool MovesLeft(std::int64_t x, std::int64_t y) const {
    return !SumOfProductsAtMost(
        {{b2_, Square(2 * x - a_ - 1) + 1}, {a2_, Square(2 * y - b_ + 2)}}, limit_ - 1);
  }

  // Returns the first row y >= Mid() at which the walk leaves column x.
  std::int64_t FirstLeftRow(std::int64_t x) const {
    // MovesLeft <=> (Y+2)^2 >= b^2 (a^2 - (X-1)^2 - 1) / a^2; the square root
    // only gives a start, the exact predicate settles the last step or two.
    const Int128 room = static_cast<Int128>(a2_) - static_cast<Int128>(Square(2 * x - a_ - 1)) - 1;
    std::int64_t y = mid_;
    if (room > 0) {
      const long double bound = std::sqrt(static_cast<long double>(b2_) *
                                          static_cast<long double>(room) /
                                          static_cast<long double>(a2_));
      y = std::max(mid_, ClampRow(std::ceil((bound - 2 + static_cast<long double>(b_)) / 2)));
    }
    while (y > mid_ && MovesLeft(x, y - 1)) --y;
    while (!MovesLeft(x, y)) ++y;
    return y;
  }

  // Returns the last row y >= Mid() from which the walk moves down in column
  // x, or Mid() - 1 if there is none.
  std::int64_t LastDownRow(std::int64_t x) const {
    // MovesDown <=> (Y+1)^2 <= b^2 (a^2 - (X-2)^2) / a^2 - 1.
    const Int128 room = static_cast<Int128>(a2_) - static_cast<Int128>(Square(2 * x - a_ - 2));
    std::int64_t y = mid_ - 1;
    if (room > 0) {
      const long double bound = static_cast<long double>(b2_) * static_cast<long double>(room) /
                                    static_cast<long double>(a2_) - 1;
      if (bound >= 0) {
        y = ClampRow(std::floor((std::sqrt(bound) - 1 + static_cast<long double>(b_)) / 2));
      }
    }
    while (MovesDown(x, y + 1)) ++y;
    while (y >= mid_ && !MovesDown(x, y)) --y;
    return y;
  }

  // Returns whether the path, entering column x at row y, leaves it by a
  // plain left move and so enters column x - 1 at the same row.
  bool KeepsRow(std::int64_t x, std::int64_t y) const {
    return MovesLeft(x, y) && !MovesDown(x, y);
  }

  // Returns the first column at or right of which both predicates grow with
  // x (X >= 2), so KeepsRow holds for a top range of columns.
  std::int64_t FirstMonotoneColumn() const { return (a_ + 3) / 2; }

 private:
  std::int64_t ClampRow(long double row) const {
    const long double low = static_cast<long double>(mid_ - 1);
    const long double high = static_cast<long double>(b_ + 1);
    return static_cast<std::int64_t>(std::clamp(row, low, high));
  }

  std::int64_t a_;
  std::int64_t b_;
  UInt128 a2_;
  UInt128 b2_;
  UInt128 limit_;
  std::int64_t xEnd_;
  std::int64_t mid_;
};

// Returns the row the path enters column target at, given that it enters
// column x at row entry (x >= target). A column is one step: down to its
// exit row, then left or diagonally. In flat stretches a row can run on for
// many columns; those are skipped with a binary search, since the columns
// that keep the row form one range at the right.
std::int64_t Advance(const QuadrantShape& shape, std::int64_t x, std::int64_t entry,
                     std::int64_t target) {
  while (x > target) {
    const std::int64_t exit = std::max(entry, shape.FirstLeftRow(x));
    entry = exit + (shape.MovesDown(x, exit) ? 1 : 0);
    --x;
    const std::int64_t low = std::max(target, shape.FirstMonotoneColumn());
    if (x <= low || !shape.KeepsRow(x, entry)) continue;
    if (shape.KeepsRow(low, entry)) {
      x = low;
      continue;
    }
    std::int64_t stops = low;  // !KeepsRow(stops, entry)
    std::int64_t keeps = x;    // KeepsRow(keeps, entry)
    while (keeps - stops > 1) {
      const std::int64_t middle = stops + (keeps - stops) / 2;
      (shape.KeepsRow(middle, entry) ? keeps : stops) = middle;
    }
    x = stops;
  }
  return entry;
}

// Returns the row at which the path enters column x (XEnd() <= x <= A()).
// Advance is monotone in its entry row, so two walks started below and above
// the true entry of a column further right enclose the path; where they
// agree, they are the path. The lower start is the first row; the upper one
// holds because the row before a column's entry ends in a down move taken
// further right, and down moves shrink towards the centre.
std::int64_t EntryRow(const QuadrantShape& shape, std::int64_t x) {
  for (std::int64_t margin = 4; x + margin < shape.A(); margin *= 4) {
    const std::int64_t start = x + margin;
    const std::int64_t low = Advance(shape, start, shape.Mid(), x);
    const std::int64_t high =
        Advance(shape, start, std::max(shape.Mid(), shape.LastDownRow(start + 1) + 1), x);
    if (low == high) return low;
  }
  // Close to the start the walk itself is as cheap as any bound.
  return Advance(shape, shape.A(), shape.Mid(), x);
}

}  // namespace

void TraceEllipseQuadrant(std::int64_t width, std::int64_t height, const QuadrantWindow& window,
                          QuadrantSink& sink) {
  const QuadrantShape shape(width, height);
  const std::int64_t columnFirst = std::max(window.columnFirst, shape.XEnd());
  const std::int64_t columnLast = std::min(window.columnLast, shape.A());
  const std::int64_t rowFirst = std::max(window.rowFirst, shape.Mid());
  const std::int64_t rowLast = std::min(window.rowLast, height - 1);
  if (columnFirst > columnLast || rowFirst > rowLast) return;

  std::int64_t entry = EntryRow(shape, columnLast);
  // Rows the path crosses right of the window have brush all across it.
  for (std::int64_t y = rowFirst; y <= std::min(rowLast, entry - 1); ++y) {
    sink.BrushRow(y, columnLast + 1);
  }
  for (std::int64_t x = columnLast; x >= columnFirst; --x) {
    const std::int64_t exit = std::max(entry, shape.FirstLeftRow(x));
    const std::int64_t next = exit + (shape.MovesDown(x, exit) ? 1 : 0);
    if (exit >= rowFirst && entry <= rowLast) {
      sink.OutlineRun(x, x, std::max(entry, rowFirst), std::min(exit, rowLast));
    }
    // Rows entry .. exit-1 end in this column; the exit row does too unless
    // the path goes on left in it. Past the window's first column that no
    // longer matters: the brush left of it is out of sight.
    const std::int64_t lastEnded = (next > exit || x == columnFirst) ? exit : exit - 1;
    for (std::int64_t y = std::max(entry, rowFirst); y <= std::min(lastEnded, rowLast); ++y) {
      sink.BrushRow(y, x);
    }
    entry = next;
  }
}

}  // namespace zintrel::raster
