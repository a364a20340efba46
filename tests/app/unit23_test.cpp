#include "app/unit23.h"

#include <memory>

#include <QImage>

#include <gtest/gtest.h>

#include "app/app_icon.h"
#include "render/render_frame.h"
#include "simulation/scatter.h"

namespace zintrel {
namespace {

// The display window over a frame of two dozen darts scattered round the
// centre, so that neighbouring pixels differ and any smoothing shows.
class TForm2Test : public testing::Test {
 protected:
  TForm2Test() {
    field_ = std::make_unique<ParticleField>();
    SetStartValues(*field_);
    field_->ParticleCount = 24;
    field_->InitialRadius = 150.0;
    RandomSource random(12345);
    Scatter(*field_, random);
    bitmap_.Resize(660, 440);
    RenderFrame(*field_, bitmap_, true);
  }

  // Paints the window onto an image prefilled with a colour that neither the
  // frame nor the window's background contains, so any pixel left unpainted
  // shows.
  QImage PaintAt(qreal devicePixelRatio) {
    const QSize size = form2_.size() * devicePixelRatio;
    QImage image(size, QImage::Format_RGB32);
    image.fill(kUnpainted);
    image.setDevicePixelRatio(devicePixelRatio);
    form2_.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
  }

  static constexpr QRgb kUnpainted = 0xff123456;
  std::unique_ptr<ParticleField> field_;
  FrameBitmap bitmap_;
  TForm2 form2_{bitmap_};
};

TEST_F(TForm2Test, StartsAsASizeableWindowThatDoesNotEndTheProgram) {
  EXPECT_EQ(form2_.windowTitle(), QStringLiteral("Zintrel"));
  EXPECT_EQ(form2_.size(), QSize(660, 440));
  EXPECT_EQ(form2_.pos(), QPoint(304, 249));
  EXPECT_EQ(form2_.minimumSize(), QSize(0, 0));
  EXPECT_EQ(form2_.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  EXPECT_FALSE(form2_.testAttribute(Qt::WA_QuitOnClose));
  EXPECT_EQ(form2_.backgroundRole(), QPalette::Button);
  EXPECT_TRUE(form2_.children().isEmpty());
}

TEST_F(TForm2Test, CopiesTheFrameOnePixelForOne) {
  const QImage image = PaintAt(1.0);
  int white = 0;
  for (int y = 0; y < 440; ++y) {
    for (int x = 0; x < 660; ++x) {
      ASSERT_EQ(image.pixel(x, y), bitmap_.PixelAt(x, y)) << x << ", " << y;
      white += bitmap_.PixelAt(x, y) == 0xffffffffu;
    }
  }
  EXPECT_GT(white, 24 * 10);
}

// On a screen scaled by 2 or 3 every frame pixel becomes a clean square
// block of device pixels: no blur, no seams.
TEST_F(TForm2Test, EnlargesByWholeBlocksOnScaledScreens) {
  for (int scale : {2, 3}) {
    const QImage image = PaintAt(scale);
    for (int y = 0; y < 440 * scale; ++y) {
      for (int x = 0; x < 660 * scale; ++x) {
        ASSERT_EQ(image.pixel(x, y), bitmap_.PixelAt(x / scale, y / scale))
            << "scale " << scale << " at " << x << ", " << y;
      }
    }
  }
}

// Where the frame does not reach, the window fills in its own background,
// the button face, rather than leaving whatever was there before.
TEST_F(TForm2Test, ShowsTheButtonFaceWhereTheFrameDoesNotReach) {
  const QRgb buttonFace = form2_.palette().color(QPalette::Button).rgb();
  ASSERT_NE(buttonFace, kUnpainted);
  bitmap_.Resize(100, 50);
  QImage image = PaintAt(1.0);
  EXPECT_EQ(image.pixel(99, 49), bitmap_.PixelAt(99, 49));
  EXPECT_EQ(image.pixel(100, 49), buttonFace);
  EXPECT_EQ(image.pixel(99, 50), buttonFace);

  bitmap_.Resize(0, 440);
  image = PaintAt(1.0);
  EXPECT_EQ(image.pixel(0, 0), buttonFace);
  EXPECT_EQ(image.pixel(659, 439), buttonFace);
}

TEST(AppIconTest, IsA32By32PictureInTwoColours) {
  const QIcon icon = ZintrelIcon();
  ASSERT_FALSE(icon.isNull());
  const QImage image = icon.pixmap(32, 32).toImage();
  ASSERT_EQ(image.size(), QSize(32, 32));
  int white = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const QRgb pixel = image.pixel(x, y) | 0xff000000u;
      ASSERT_TRUE(pixel == 0xff000000u || pixel == 0xffffffffu) << x << ", " << y;
      white += pixel == 0xffffffffu;
    }
  }
  EXPECT_GT(white, 50);
  EXPECT_LT(white, 32 * 32 / 2);
}

}  // namespace
}  // namespace zintrel
