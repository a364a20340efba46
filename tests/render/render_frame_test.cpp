#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <random>
#include <thread>

#include "picture.h"
#include "render/render_frame.h"
#include "simulation/vector_state.h"

namespace zintrel {
namespace {

using testing::Picture;

constexpr std::uint32_t kBlack = 0xFF000000u;

struct Particle {
  double x, y, heading;
};

std::unique_ptr<ParticleField> MakeField(int width, int height, double size,
                                         std::initializer_list<Particle> particles) {
  auto field = std::make_unique<ParticleField>();
  field->FieldWidth = width;
  field->FieldHeight = height;
  field->ParticleSize = size;
  for (const Particle& p : particles) {
    const int i = field->ParticleCount++;
    field->x[i] = p.x, field->y[i] = p.y, field->Heading[i] = p.heading;
  }
  return field;
}

FrameBitmap Render(const ParticleField& field, bool darts) {
  FrameBitmap bitmap;
  bitmap.Resize(field.FieldWidth, field.FieldHeight);
  RenderFrame(field, bitmap, darts);
  return bitmap;
}

// The frame as a picture; the brush is black, so it reads as background.
Picture Capture(const FrameBitmap& bitmap) {
  Picture picture = testing::Capture(bitmap);
  for (std::string& row : picture) std::replace(row.begin(), row.end(), 'o', '.');
  return picture;
}

TEST(RenderFrameTest, ClearsThePreviousFrameAndKeepsTheCallersPen) {
  FrameBitmap bitmap = testing::MakeCanvas(30, 20);
  bitmap.BrushColor = 0xFF0000;
  bitmap.Rectangle(0, 0, 30, 20);
  bitmap.PenColor = 0x00FF00;
  RenderFrame(*MakeField(30, 20, 3, {}), bitmap, false);
  for (int i = 0; i < 30 * 20; ++i) ASSERT_EQ(bitmap.Pixels()[i], kBlack) << i;

  RenderFrame(*MakeField(30, 20, 3, {{10, 10, 0}}), bitmap, false);
  EXPECT_EQ(bitmap.PenColor, 0x00FF00u);
  EXPECT_EQ(bitmap.BrushColor, 0x000000u);
  EXPECT_EQ(bitmap.PixelAt(12, 10), 0xFF00FF00u);  // right end of the disc's outline
  EXPECT_EQ(bitmap.PixelAt(10, 10), kBlack);
}

// Each disc's box is (x - s, y - s, x + s, y + s), each corner truncated
// toward zero; discs at the frame's edge are cut off, never moved inward.
TEST(RenderFrameTest, DiscsFillTruncatedBoxesClippedAtTheEdges) {
  struct Case {
    double x, y, size;
    int left, top, right, bottom;
  };
  const Case cases[] = {
      {10.5, 8.25, 4, 6, 4, 14, 12},   {0, 10, 4, -4, 6, 4, 14},   {1.3, 0.4, 4, -2, -3, 5, 4},
      {39.9, 29.5, 7, 32, 22, 46, 36}, {20, 15, 1, 19, 14, 21, 16}, {5.5, 5.5, 2.6, 2, 2, 8, 8},
  };
  for (const Case& c : cases) {
    const Picture expected = testing::ReferenceEllipse(c.right - c.left, c.bottom - c.top, c.left,
                                                       c.top, 40, 30);
    Picture darkened = expected;
    for (std::string& row : darkened) std::replace(row.begin(), row.end(), 'o', '.');
    EXPECT_EQ(Capture(Render(*MakeField(40, 30, c.size, {{c.x, c.y, 0}}), false)), darkened)
        << c.x << "," << c.y;
  }
}

TEST(RenderFrameTest, DartAtHeadingZeroPointsRight) {
  const FrameBitmap frame = Render(*MakeField(40, 30, 5, {{20.5, 10.5, 0}}), true);
  // Tip (25, 10); the rear corners at angles +-4 pi / 5 land at (16, 13) and (16, 7).
  FrameBitmap expected;
  expected.Resize(40, 30);
  expected.Polygon({{25, 10}, {16, 13}, {16, 7}});
  EXPECT_EQ(Capture(frame), Capture(expected));
  EXPECT_EQ(frame.PixelAt(25, 10), 0xFFFFFFFFu);
  EXPECT_EQ(frame.PixelAt(16, 7), 0xFFFFFFFFu);
  EXPECT_EQ(frame.PixelAt(16, 12), 0xFFFFFFFFu);
}

// Each dart alone, against the polygon of the corners computed by the rule
// itself, three libm calls each. Headings at multiples of pi / 10 on whole
// and half positions put corners exactly on pixel boundaries; large and
// non-finite headings take other routes to the corners.
TEST(RenderFrameTest, DartCornersFollowTheRuleForEveryHeading) {
  std::vector<Particle> cases;
  for (int k = -40; k <= 40; ++k) {
    for (const double x : {20.0, 20.5, 19.999999999999996}) {
      cases.push_back({x, 15.0 - k % 3 * 0.5, k * 0.3141592653589793});
    }
  }
  for (const double heading : {1023.9, -1024.0, 1e6, -3e9, double{INFINITY}, double{NAN}}) {
    cases.push_back({20, 15, heading});
  }
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> position(10.0, 30.0), angle(-7.0, 7.0);
  for (int i = 0; i < 4000; ++i) {
    cases.push_back({position(random), position(random) * 0.5 + 5, angle(random)});
  }
  for (const double size : {3.0, 9.0}) {
    for (const Particle& p : cases) {
      const FrameBitmap frame = Render(*MakeField(40, 30, size, {p}), true);
      Point corners[3];
      for (int k = 0; k < 3; ++k) {
        const double turn = k == 0 ? 0.0 : k == 1 ? 2.5132741228718345 : -2.5132741228718345;
        const double angle = p.heading + turn;
        corners[k] = {TruncToCoordinate(p.x + std::cos(angle) * size),
                      TruncToCoordinate(p.y + std::sin(angle) * size)};
      }
      FrameBitmap expected;
      expected.Resize(40, 30);
      expected.Polygon(corners);
      ASSERT_EQ(Capture(frame), Capture(expected))
          << p.x << " " << p.y << " " << p.heading << " " << size;
    }
  }
}

// A crowded frame of darts, many overlapping and some hanging over the
// edges, against the polygons of the rule's corners drawn one by one in
// index order: later darts cover earlier ones wherever they overlap.
TEST(RenderFrameTest, CrowdedDartsEqualTheirPolygonsInIndexOrder) {
  std::mt19937_64 random(29);
  std::uniform_real_distribution<double> x(-8.0, 68.0), y(-8.0, 48.0), angle(-3.2, 3.2);
  // The larger frames are drawn in bands, on two threads where there are two.
  for (const int count : {0, 1, 2, 3, 400, 1500, MaxParticles}) {
    auto field = MakeField(60, 40, 6, {});
    FrameBitmap expected;
    expected.Resize(60, 40);
    expected.PenColor = 0x00FF00;
    for (int i = 0; i < count; ++i) {
      const Particle p{x(random), y(random), angle(random)};
      field->x[i] = p.x, field->y[i] = p.y, field->Heading[i] = p.heading;
      Point corners[3];
      for (int k = 0; k < 3; ++k) {
        const double turn = k == 0 ? 0.0 : k == 1 ? 2.5132741228718345 : -2.5132741228718345;
        corners[k] = {TruncToCoordinate(p.x + std::cos(p.heading + turn) * 6),
                      TruncToCoordinate(p.y + std::sin(p.heading + turn) * 6)};
      }
      expected.Polygon(corners);
    }
    field->ParticleCount = count;
    FrameBitmap frame;
    frame.Resize(60, 40);
    frame.PenColor = 0x00FF00;
    RenderFrame(*field, frame, true);
    for (int i = 0; i < 60 * 40; ++i) ASSERT_EQ(frame.Pixels()[i], expected.Pixels()[i]) << count << " " << i;
  }
}

// The same for discs, of sizes from a dot to wider than the frame, in a
// cloud bunched in the middle as a running field is: many discs lie across
// the row where the frame is cut into bands. Each disc's black inside
// covers the outlines drawn before it, so the order shows.
TEST(RenderFrameTest, CrowdedDiscsEqualTheirEllipsesInIndexOrder) {
  std::mt19937_64 random(31);
  std::normal_distribution<double> x(40.0, 12.0), y(30.0, 6.0);
  for (const double size : {0.5, 2.0, 5.5, 45.0}) {
    for (const int count : {999, 1000, MaxParticles}) {
      auto field = MakeField(80, 60, size, {});
      FrameBitmap expected;
      expected.Resize(80, 60);
      expected.PenColor = 0x00FF00;
      for (int i = 0; i < count; ++i) {
        field->x[i] = x(random), field->y[i] = y(random);
        expected.Ellipse(TruncToCoordinate(field->x[i] - size), TruncToCoordinate(field->y[i] - size),
                         TruncToCoordinate(field->x[i] + size), TruncToCoordinate(field->y[i] + size));
      }
      field->ParticleCount = count;
      FrameBitmap frame;
      frame.Resize(80, 60);
      frame.PenColor = 0x00FF00;
      RenderFrame(*field, frame, false);
      for (int i = 0; i < 80 * 60; ++i) {
        ASSERT_EQ(frame.Pixels()[i], expected.Pixels()[i]) << size << " " << count << " " << i;
      }
    }
  }
}

// Frames drawn at the same time on two threads (the banding helper serves
// one of them; the other draws alone) each get their own pixels.
TEST(RenderFrameTest, FramesDrawnAtOnceOnTwoThreadsAreEachWhole) {
  std::mt19937_64 random(37);
  std::uniform_real_distribution<double> x(-5.0, 125.0), y(-5.0, 95.0), angle(-3.2, 3.2);
  std::unique_ptr<ParticleField> fields[2];
  FrameBitmap expected[2];
  for (auto& field : fields) {
    field = MakeField(120, 90, 4, {});
    for (int i = 0; i < MaxParticles; ++i) field->x[i] = x(random), field->y[i] = y(random), field->Heading[i] = angle(random);
    field->ParticleCount = MaxParticles;
  }
  for (int k = 0; k < 2; ++k) expected[k] = Render(*fields[k], k == 0);
  for (int round = 0; round < 20; ++round) {
    FrameBitmap drawn[2];
    std::thread other([&] { drawn[1] = Render(*fields[1], false); });
    drawn[0] = Render(*fields[0], true);
    other.join();
    for (int k = 0; k < 2; ++k) {
      ASSERT_TRUE(std::equal(drawn[k].Pixels(), drawn[k].Pixels() + 120 * 90, expected[k].Pixels()))
          << "round " << round << " frame " << k;
    }
  }
}

// Drawing is scalar SSE code; it must not run, nor leave the caller, with
// the upper vector state a library may have left dirty.
TEST(RenderFrameTest, LeavesTheUpperVectorStateClean) {
  if (!VectorStateInUse() || !DirtyUpperVectorState()) GTEST_SKIP() << "not observable";
  ASSERT_NE(*VectorStateInUse() & kUpperVectorStateBit, 0u);
  Render(*MakeField(40, 30, 5, {{20.5, 10.5, 1.0}, {3, 4, 2.0}}), true);
  EXPECT_EQ(*VectorStateInUse() & kUpperVectorStateBit, 0u);
}

TEST(RenderFrameTest, DrawsOnlyActiveParticlesLaterOnesOnTop) {
  auto field = MakeField(40, 30, 4, {{10, 10, 0}, {13, 10, 0}, {30, 20, 0}});
  field->ParticleCount = 1;
  const FrameBitmap one = Render(*field, false);
  EXPECT_EQ(one.PixelAt(13, 10), 0xFFFFFFFFu);  // right end of the first disc
  EXPECT_EQ(one.PixelAt(33, 20), kBlack);       // the third slot is inactive
  field->ParticleCount = 2;
  const FrameBitmap two = Render(*field, false);
  EXPECT_EQ(two.PixelAt(13, 10), kBlack);  // now inside the second disc
  EXPECT_EQ(two.PixelAt(16, 10), 0xFFFFFFFFu);
  EXPECT_EQ(two.PixelAt(6, 10), 0xFFFFFFFFu);  // the first disc's left end survives
}

TEST(RenderFrameTest, EmptyFramesAndFarParticlesAreSafe) {
  const Particle far[] = {{1e300, 5, 1}, {-1e300, -1e300, 2}, {5, 1e10, 3}, {-2147483649.5, 5, 0},
                          {2147483647.9, 2147483647.9, 0.5}, {INFINITY, 3, 0}};
  for (bool darts : {false, true}) {
    auto field = MakeField(0, 0, 9, {{1, 1, 0}, {-5, 3, 1}});
    EXPECT_EQ(Render(*field, darts).Width(), 0);
    field = MakeField(40, 30, 9, {});
    for (const Particle& p : far) {
      const int i = field->ParticleCount++;
      field->x[i] = p.x, field->y[i] = p.y, field->Heading[i] = p.heading;
    }
    const FrameBitmap frame = Render(*field, darts);
    for (int i = 0; i < 40 * 30; ++i) ASSERT_EQ(frame.Pixels()[i], kBlack) << darts << " " << i;
  }
}

TEST(RenderFrameTest, CoordinatesTruncateTowardZeroAndSaturate) {
  EXPECT_EQ(TruncToCoordinate(2.7), 2);
  EXPECT_EQ(TruncToCoordinate(-2.7), -2);
  EXPECT_EQ(TruncToCoordinate(-0.5), 0);
  EXPECT_EQ(TruncToCoordinate(2147483647.9), INT_MAX);
  EXPECT_EQ(TruncToCoordinate(2147483648.0), INT_MAX);
  EXPECT_EQ(TruncToCoordinate(-2147483648.9), INT_MIN);
  EXPECT_EQ(TruncToCoordinate(-2147483649.0), INT_MIN);
  EXPECT_EQ(TruncToCoordinate(1e300), INT_MAX);
  EXPECT_EQ(TruncToCoordinate(-INFINITY), INT_MIN);
  EXPECT_EQ(TruncToCoordinate(NAN), INT_MIN);
}

}  // namespace
}  // namespace zintrel
