// Runs under Xvfb on the xcb platform: the program's windows on a real X
// server, its first tick, and the frame as the server shows it.

#include <cmath>
#include <memory>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "app/program.h"

namespace zintrel {
namespace {

// Settings window pixels can cover the display's left edge (there is no
// window manager to place them); the columns from here on are uncovered.
constexpr int kFirstUncoveredColumn = 64;

bool Exposed(QWidget& window) {
  return window.windowHandle() != nullptr && window.windowHandle()->isExposed();
}

// Returns what the X server shows in the display window's client area.
QImage GrabClientArea(QWidget& window) {
  const QPoint origin = window.mapToGlobal(QPoint(0, 0));
  return window.screen()
      ->grabWindow(0, origin.x(), origin.y(), window.width(), window.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

bool ShowsFrame(const QImage& screen, const FrameBitmap& bitmap) {
  if (screen.width() != bitmap.Width() || screen.height() != bitmap.Height()) return false;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = kFirstUncoveredColumn; x < bitmap.Width(); ++x) {
      if (screen.pixel(x, y) != bitmap.PixelAt(x, y)) return false;
    }
  }
  return true;
}

TEST(FirstFrameTest, ReachesTheScreenWithTwoMarks) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
  auto program = std::make_unique<Program>();
  // The test runs the first tick itself, once both windows are on screen.
  program->Form1().Timer1->stop();
  TForm2& display = program->Form2();
  const QDeadlineTimer exposure(20000);
  while (!exposure.hasExpired() && !(Exposed(display) && Exposed(program->Form1()))) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  ASSERT_TRUE(Exposed(display));
  ASSERT_EQ(display.size(), QSize(660, 440));

  program->Form1().Timer1Timer();
  const ParticleField& field = program->Field();
  const FrameBitmap& bitmap = program->Bitmap();
  QImage screen;
  const QDeadlineTimer painting(20000);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    screen = GrabClientArea(display);
  } while (!painting.hasExpired() && !ShowsFrame(screen, bitmap));
  ASSERT_TRUE(ShowsFrame(screen, bitmap)) << "the screen never showed the first frame 1:1";

  // Particle 1 moved by its own start velocity only; the other 49 were all
  // pushed MaxSpeed = 8 pixels straight away from it.
  const double firstX = field.x[0] - 330.0;
  const double firstY = field.y[0] - 220.0;
  EXPECT_LT(std::hypot(firstX, firstY), 1.0);
  double bunchX = 0.0;
  double bunchY = 0.0;
  for (int i = 1; i < 50; ++i) {
    bunchX += (field.x[i] - 330.0) / 49.0;
    bunchY += (field.y[i] - 220.0) / 49.0;
  }
  EXPECT_NEAR(std::hypot(bunchX, bunchY), 8.0, 0.5);
  EXPECT_LT(bunchX * firstX + bunchY * firstY, 0.0);

  // On screen: white only within a dart's reach (radius 6, plus a pixel of
  // truncation) of one of the two marks, and some white around each.
  int nearFirst = 0;
  int nearBunch = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = kFirstUncoveredColumn; x < screen.width(); ++x) {
      if (screen.pixel(x, y) != 0xffffffffu) continue;
      const double toFirst = std::hypot(x - 330.0 - firstX, y - 220.0 - firstY);
      const double toBunch = std::hypot(x - 330.0 - bunchX, y - 220.0 - bunchY);
      EXPECT_TRUE(toFirst <= 7.5 || toBunch <= 8.5) << "stray white at " << x << ", " << y;
      nearFirst += toFirst <= 7.5;
      nearBunch += toBunch <= 8.5;
    }
  }
  EXPECT_GT(nearFirst, 5);
  EXPECT_GT(nearBunch, 5);
}

}  // namespace
}  // namespace zintrel
