#pragma once

#include <QSlider>

namespace zintrel {

// Where a slider shows its tick marks.
enum class TickMarks { kEveryStep, kEndsOnly };

// A horizontal slider that reports a change the way the settings window's
// handlers expect: once for every scroll action of the user, even one that
// leaves the position where it was (an arrow key at the end of the range),
// and once whenever the program moves it to a different position. Building
// it reports nothing, so no handler runs at start.
class TrackBar : public QSlider {
  Q_OBJECT

 public:
  TrackBar(int minimum, int maximum, int position, TickMarks marks, QWidget* parent);

  // Returns the position a handler acts on. Inside a user action this is
  // already the new position.
  int Position() const { return sliderPosition(); }

  // Moves the slider without reporting a change, so that no handler stores
  // the position's value over a value the program set more exactly.
  void SetPositionQuietly(int position);

 signals:
  void Change();

 private:
  void OnActionTriggered();
  void OnValueChanged();

  // True while an action stores its own position, so that the value change
  // it causes is not reported a second time.
  bool inAction_ = false;
};

}  // namespace zintrel
