#include "app/unit23.h"

#include <QImage>
#include <QPainter>

#include "app/japanese_font.h"
#include "settings/catalog.h"

namespace zintrel {

QImage FrameView(const FrameBitmap& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
  return QImage(reinterpret_cast<const uchar*>(bitmap.Pixels()), bitmap.Width(), bitmap.Height(),
                static_cast<qsizetype>(bitmap.Stride()) * 4, QImage::Format_RGB32);
}

void PaintFrame(QPainter& painter, const FrameBitmap& bitmap) {
  const QImage frame = FrameView(bitmap);
  if (frame.isNull()) return;
  // Without smooth transformation the raster engine samples the nearest
  // pixel, so a device pixel ratio of 2 gives clean 2 x 2 blocks.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRect(0, 0, frame.width(), frame.height()), frame);
}

TForm2::TForm2(const FrameBitmap& bitmap) : bitmap_(bitmap) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QString::fromUtf8(Tr("Zintrel")));
  setFont(JapaneseUiFont());
  // Wherever no frame covers the window yet (after it grew, before the next
  // tick), the button-face colour shows. A top-level window paints its
  // background in the Window colour unless it fills it itself.
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  // Only the settings window ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  // Qt places a window by its frame and sizes it by its client area.
  move(304, 249);
  resize(660, 440);
}

void TForm2::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintFrame(painter, bitmap_);
}

}  // namespace zintrel
