#include "settings/settings_panel.h"

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "render/render_frame.h"
#include "render/tick.h"
#include "settings/catalog.h"
#include "settings/display_texts.h"
#include "simulation/rescale_field.h"
#include "simulation/scatter.h"
#include "state/share_link.h"
#include "state/state_file.h"

namespace zintrel {
namespace {

// The words of the box for a tick's fault.
const char* FaultMessage(StepFault fault) {
  switch (fault) {
    case StepFault::kOverflow: return Tr("Floating point overflow");
    case StepFault::kInvalidOperation: return Tr("Invalid floating point operation");
    case StepFault::kDivisionByZero: return Tr("Floating point division by zero");
    case StepFault::kNone: break;
  }
  return "";
}

}  // namespace

SettingsPanel::SettingsPanel(ParticleField& field, FrameBitmap& bitmap, RandomSource& random,
                             SettingsControls& controls)
    : field_(field), bitmap_(bitmap), random_(random), controls_(controls) {}

void SettingsPanel::FormCreate() {
  seed_ = MillisecondsSinceMidnightUtc();
  random_.Seed(seed_);
  // The display window does not exist yet; its start size is a constant that
  // equals its initial client area, so the first tick finds no change.
  // Also starts running with 50 particles (not the slider's 52) and type1.
  SetStartValues(field_);
  bitmap_.SetWidth(kStartWidth);
  bitmap_.SetHeight(kStartHeight);
  bitmap_.PenColor = 0xFFFFFF;
  // InitialRadius is still 0, so every particle starts on the centre point.
  Scatter(field_, random_);
}

namespace {

// How long ticks may run at the size asked of the display window before it
// has it: far longer than any window manager takes to answer.
constexpr std::chrono::seconds kAwaitAskedArea{1};

}  // namespace

AreaSize FittedArea(AreaSize wanted, AreaSize room) {
  return {std::max(1, std::min(wanted.width, room.width)), std::max(1, std::min(wanted.height, room.height))};
}

void SettingsPanel::Timer1Timer(int width, int height) {
  measured_ = {width, height};
  if (awaitingArea_) {
    if ((measured_ == asked_ || measured_ == measuredAtAsk_) && now_() < awaitUntil_) {
      width = asked_.width;
      height = asked_.height;
    } else {
      awaitingArea_ = false;
    }
  }
  StepFault fault;
  std::string problem;
  try {
    fault = RunTick(field_, bitmap_, width, height, controls_.OrientationShown());
  } catch (const std::bad_alloc&) {
    // The frame is resized before the step, and keeps its old size when the
    // new one cannot be had: the field is untouched.
    fault = StepFault::kNone;
    problem = NotEnoughMemoryText(width, height);
  }
  if (fault != StepFault::kNone) problem = FaultMessage(fault);
  if (!problem.empty() && recorder_.Recording()) {
    // The fault's box ends a recording, whole up to the last good tick.
    if (std::string failed = recorder_.Stop(); !failed.empty()) problem = failed + "\n" + problem;
    controls_.ShowRecordingStatus({});
  }
  if (!problem.empty()) {
    // The same state faults again on every tick until something changes it.
    // Reporting each one would bring a new box the moment the last was
    // closed, leaving no chance to change the law or press Initialise; so a
    // run of faulting ticks is reported once, and the next tick that
    // completes ends the run.
    if (tickFaultReported_) return;
    tickFaultReported_ = true;
    throw std::runtime_error(problem);
  }
  tickFaultReported_ = false;
  controls_.RedrawDisplay();
  if (recorder_.Recording()) {
    const Recorder::Outcome outcome = recorder_.FrameDrawn(bitmap_, controls_.TimerInterval());
    controls_.ShowRecordingStatus(recorder_.Status());
    if (!outcome.line.empty()) {
      if (outcome.failed) throw std::runtime_error(outcome.line);
      controls_.ShowNotice(outcome.line);
    }
  }
}

void SettingsPanel::StartRecording(std::unique_ptr<RecordingSink> sink, const std::string& path) {
  recorder_.Stop();
  recorder_.Start(std::move(sink), path, controls_.TimerInterval());
  controls_.ShowRecordingStatus(recorder_.Status());
}

std::string SettingsPanel::StopRecording() {
  std::string problem = recorder_.Stop();
  controls_.ShowRecordingStatus({});
  return problem;
}

void SettingsPanel::TrackBar1Change() { field_.ParticleCount = ParticleCountAt(Position(Slider::kTrackBar1)); }

void SettingsPanel::CheckBox1Click() {
  field_.ParticleSize = ParticleSizeAt(Position(Slider::kTrackBar2), controls_.OrientationShown());
}

void SettingsPanel::TrackBar2Change() { CheckBox1Click(); }

void SettingsPanel::TrackBar3Change() { field_.MaxSpeed = Position(Slider::kTrackBar3); }

void SettingsPanel::TrackBar6Change() { field_.Activity = Position(Slider::kTrackBar6); }

void SettingsPanel::TrackBar7Change() { field_.Repulsion = Position(Slider::kTrackBar7); }

void SettingsPanel::TrackBar4Change() { field_.Acceleration = ExponentAt(Position(Slider::kTrackBar4)); }

void SettingsPanel::TrackBar5Change() {
  field_.RepulsiveAcceleration = ExponentAt(Position(Slider::kTrackBar5));
}

void SettingsPanel::Button1Click() { ApplyPreset(kPresetType1); }

void SettingsPanel::Button2Click() { ApplyPreset(kPresetType2); }

void SettingsPanel::ApplyPreset(const ForceLawPreset& preset) {
  // Each slider's handler runs only if its position really changes, and then
  // stores the value just set.
  field_.Activity = preset.activity;
  controls_.MoveSlider(Slider::kTrackBar6, preset.activityPosition);
  field_.Repulsion = preset.repulsion;
  controls_.MoveSlider(Slider::kTrackBar7, preset.repulsionPosition);
  field_.Acceleration = preset.acceleration;
  controls_.MoveSlider(Slider::kTrackBar4, preset.accelerationPosition);
  field_.RepulsiveAcceleration = preset.repulsiveAcceleration;
  controls_.MoveSlider(Slider::kTrackBar5, preset.repulsiveAccelerationPosition);
}

void SettingsPanel::Button3Click() {
  // The size seen by the last tick, not a fresh measurement, so the disc is
  // centred where Scatter will put it.
  field_.InitialRadius = InitialRadiusAt(Position(Slider::kTrackBar8), field_.FieldWidth, field_.FieldHeight);
  Scatter(field_, random_);
}

void SettingsPanel::Button4Click() {
  field_.Running = 1 - field_.Running;
  controls_.ShowHiddenDisplay();
}

void SettingsPanel::TrackBar9Change() {
  const int interval = TimerIntervalAt(Position(Slider::kTrackBar9));
  // Restarting would reset the period, so the same interval changes nothing.
  if (interval != controls_.TimerInterval()) StartTimer(interval);
}

void SettingsPanel::StartTimer(int interval) {
  if (!controls_.StartTimer(interval)) throw std::runtime_error(Tr("Cannot obtain a timer"));
}

std::string SettingsPanel::ValueText(Slider slider) const {
  switch (slider) {
    case Slider::kTrackBar1:
      return SliderValueText(SliderQuantity::kParticleCount, field_.ParticleCount);
    case Slider::kTrackBar2:
      return SliderValueText(SliderQuantity::kParticleSize, field_.ParticleSize);
    case Slider::kTrackBar3:
      return SliderValueText(SliderQuantity::kMaxSpeed, field_.MaxSpeed);
    case Slider::kTrackBar4:
      return SliderValueText(SliderQuantity::kAcceleration, field_.Acceleration);
    case Slider::kTrackBar5:
      return SliderValueText(SliderQuantity::kRepulsiveAcceleration, field_.RepulsiveAcceleration);
    case Slider::kTrackBar6:
      return SliderValueText(SliderQuantity::kActivity, field_.Activity);
    case Slider::kTrackBar7:
      return SliderValueText(SliderQuantity::kRepulsion, field_.Repulsion);
    case Slider::kTrackBar8:
      return SliderValueText(SliderQuantity::kInitialRadius,
                             InitialRadiusAt(Position(Slider::kTrackBar8), field_.FieldWidth, field_.FieldHeight));
    case Slider::kTrackBar9:
      return SliderValueText(SliderQuantity::kTimerInterval, controls_.TimerInterval());
  }
  return {};
}

void SettingsPanel::RefreshTips() {
  for (const Slider slider : kSliders) controls_.SetSliderTip(slider, ValueText(slider));
}

DisplaySettings SettingsPanel::CurrentDisplay() const {
  return {controls_.OrientationShown(), controls_.TimerInterval()};
}

std::string SettingsPanel::OpenStateFile(const std::string& path, AreaSize room) {
  auto field = std::make_unique<ParticleField>();
  DisplaySettings display;
  if (const StateFileError error = ReadStateFileReason(path, *field, &display, StateSource::kRegularFile);
      error.problem != StateFileProblem::kNone) {
    return OpenFailedText(path, error);
  }
  try {
    AdoptState(*field, display, room);
  } catch (const std::exception& error) {
    return error.what();
  }
  return {};
}

std::string LinkAddress(std::string_view fragment) {
  return std::string(ZINTREL_PAGE_ADDRESS) + "#" + std::string(fragment);
}

std::string ReplayableLink(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  text = text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
  SharedRun run;
  return ReadLink(text, run).empty() ? std::string(text) : std::string();
}

std::string SettingsPanel::LinkFragment() const {
  return zintrel::LinkFragment(RunOf(field_, seed_, controls_.OrientationShown()));
}

std::string SettingsPanel::OpenLink(std::string_view address, AreaSize room) {
  SharedRun run;
  if (const std::string problem = ReadLink(address, run); !problem.empty()) return OpenLinkFailedText(problem);
  auto field = std::make_unique<ParticleField>();
  RandomSource random;
  StartRun(run, *field, random);
  // The tool's first tick measures the link's display area and stretches
  // the start onto it. Stretched here instead, the state asks its window for
  // that area, and that first tick finds it and stretches by exactly 1.
  field->FieldWidth = run.width;
  field->FieldHeight = run.height;
  // A start lies within a disc of at most 10000 pixels: its stretch cannot
  // overflow.
  static_cast<void>(RescaleField(*field));
  try {
    AdoptState(*field, DisplaySettings{run.darts, std::nullopt}, room);
  } catch (const std::exception& error) {
    return error.what();
  }
  random_ = random;
  seed_ = run.seed;
  return {};
}

void SettingsPanel::AdoptState(const ParticleField& field, const DisplaySettings& display, AreaSize room) {
  // First everything that can fail, into a frame of its own and the timer.
  const bool shown = display.ShowOrientation.value_or(controls_.OrientationShown());
  const int oldInterval = controls_.TimerInterval();
  const int interval = display.TimerInterval.value_or(oldInterval);
  const AreaSize asked = FittedArea({field.FieldWidth, field.FieldHeight}, room);
  FrameBitmap frame;
  frame.PenColor = bitmap_.PenColor;
  frame.BrushColor = bitmap_.BrushColor;
  try {
    frame.Resize(asked.width, asked.height);
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(NotEnoughMemoryText(asked.width, asked.height));
  }
  // A field larger than the screen is drawn clipped to it, as its window
  // shows it; the first tick stretches it to fit.
  RenderFrame(field, frame, shown);
  SliderPositions current{};
  for (const Slider slider : kSliders) current[slider] = Position(slider);
  const SliderPositions positions = PositionsShowing(field, shown, interval, current);
  if (interval != oldInterval) StartTimer(interval);

  // Then the changes, none of which can fail.
  field_ = field;
  bitmap_ = std::move(frame);
  // A new state has not faulted yet; its first fault deserves a box.
  tickFaultReported_ = false;
  asked_ = asked;
  measuredAtAsk_ = measured_;
  awaitingArea_ = true;
  awaitUntil_ = now_() + kAwaitAskedArea;
  // Quietly: the check box's handler would recompute ParticleSize.
  controls_.ShowOrientationQuietly(shown);
  for (const Slider slider : kSliders) controls_.MoveSliderQuietly(slider, positions[slider]);
  // The tips read the field and the timer, so they show the exact values.
  RefreshTips();
  controls_.RedrawDisplay();
}

}  // namespace zintrel
