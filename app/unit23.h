#pragma once

#include <QWidget>

#include "render/frame_bitmap.h"

class QPainter;

namespace zintrel {

// Copies a frame onto a painter's device with its top-left corner at (0, 0):
// one frame pixel per logical pixel, which on a scaled screen is a
// nearest-neighbour enlargement, never a smoothed one. An empty frame draws
// nothing.
void PaintFrame(QPainter& painter, const FrameBitmap& bitmap);

// Returns the frame's pixels as an image without copying them (FrameBitmap
// keeps QImage's RGB32 layout); null for an empty frame. Valid while the
// frame is neither resized nor destroyed.
QImage FrameView(const FrameBitmap& bitmap);

// The display window, Form2. It has no controls and no handlers; it only
// shows the frame the latest tick drew. Closing it hides it and the ticks go
// on; only the settings window's Play / Pause brings it back.
class TForm2 : public QWidget {
 public:
  explicit TForm2(const FrameBitmap& bitmap);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const FrameBitmap& bitmap_;
};

}  // namespace zintrel
