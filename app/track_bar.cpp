#include "app/track_bar.h"

#include <QSignalBlocker>

namespace zintrel {

TrackBar::TrackBar(int minimum, int maximum, int position, TickMarks marks, QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
  setRange(minimum, maximum);
  setValue(position);
  // Arrow keys move by one; Page Up / Page Down and a click in the channel
  // by two. Home and End are QSlider's own.
  setSingleStep(1);
  setPageStep(2);
  setTickPosition(QSlider::TicksBelow);
  // An interval spanning the whole range leaves one mark at each end.
  setTickInterval(marks == TickMarks::kEveryStep ? 1 : maximum - minimum);
  // Connected only now, so the initial position above reports nothing.
  connect(this, &QAbstractSlider::actionTriggered, this, &TrackBar::OnActionTriggered);
  connect(this, &QAbstractSlider::valueChanged, this, &TrackBar::OnValueChanged);
}

void TrackBar::SetPositionQuietly(int position) {
  const QSignalBlocker quiet(this);
  setValue(position);
}

void TrackBar::OnActionTriggered() {
  // QSlider emits the action before it stores the new position as the value.
  // Storing it here first makes the value current for the handler, and turns
  // the slider's own store afterwards into a no-op.
  inAction_ = true;
  setValue(sliderPosition());
  inAction_ = false;
  emit Change();
}

void TrackBar::OnValueChanged() {
  if (!inAction_) emit Change();
}

}  // namespace zintrel
