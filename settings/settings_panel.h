#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "render/frame_bitmap.h"
#include "settings/recorder.h"
#include "settings/slider_mapping.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "state/state_json.h"

namespace zintrel {

// A display area's size in frame pixels.
struct AreaSize {
  int width = 0;
  int height = 0;
  bool operator==(const AreaSize&) const = default;
};

// No screen limits the area: the largest size a state file may hold.
inline constexpr AreaSize kUnboundedArea{16384, 16384};

// Returns the area a display window takes for a field of size wanted on a
// screen that has room for room: each side at most room's and at least 1.
AreaSize FittedArea(AreaSize wanted, AreaSize room);

// Returns the address a link is shared as: the web page's address, where
// the build names one (ZINTREL_PAGE_ADDRESS), then "#" and fragment. Every
// program, zintrel-headless --link and the page read it, or its part from
// the "#" alone.
std::string LinkAddress(std::string_view fragment);

// Returns text, without the white space around it, when it is a link a
// program can replay, and "" otherwise: what Open link… proposes from the
// clipboard.
std::string ReplayableLink(std::string_view text);

// What a shell's settings window gives the shared handlers: its controls as
// they stand, and the few things only its toolkit can do. Each shell
// implements it over its own widgets and nothing more.
class SettingsControls {
 public:
  virtual ~SettingsControls() = default;

  virtual int SliderPosition(Slider slider) const = 0;
  // Moves a slider as the program does: the toolkit reports a change, and so
  // runs the slider's handler, only when the position really changes.
  virtual void MoveSlider(Slider slider, int position) = 0;
  // Moves a slider without any handler running.
  virtual void MoveSliderQuietly(Slider slider, int position) = 0;
  // CheckBox1.
  virtual bool OrientationShown() const = 0;
  virtual void ShowOrientationQuietly(bool shown) = 0;
  // Timer1, in milliseconds.
  virtual int TimerInterval() const = 0;
  // Starts Timer1 with a new period; returns false when the platform has no
  // timer to give.
  virtual bool StartTimer(int interval) = 0;
  // Shows the display window if the user closed it, and activates it; a
  // visible one, even a minimised one, is left exactly as it is.
  virtual void ShowHiddenDisplay() = 0;
  // Has the display window show the frame as it now stands.
  virtual void RedrawDisplay() = 0;
  // Shows what a recording adds to the display window's title ("" when none
  // runs); and a notice, no error, in the box.
  virtual void ShowRecordingStatus(const std::string& status) { (void)status; }
  virtual void ShowNotice(const std::string& text) { (void)text; }
  virtual void SetSliderTip(Slider slider, const std::string& text) = 0;
};

// What the settings window does, once for every shell: its creation, the
// tick it drives, and every control handler. A shell maps its toolkit's
// events onto these and shows what they throw in its error box; none of
// them knows a window.
class SettingsPanel {
 public:
  // The field, frame and random source are the process-wide ones; all four
  // must outlive the panel.
  SettingsPanel(ParticleField& field, FrameBitmap& bitmap, RandomSource& random, SettingsControls& controls);

  // Seeds the random source from the clock, sets the start values, sizes
  // the frame and scatters the particles onto the centre point.
  void FormCreate();

  // The seed the run started from: FormCreate's, or the last opened link's.
  std::uint32_t Seed() const { return seed_; }

  // Returns the fragment of a link (without the "#") that replays the run
  // from its start: the seed, with every parameter, the drawing mode and the
  // display area as they now stand. The present moment itself travels as a
  // state file instead.
  std::string LinkFragment() const;

  // Starts the run of a link (a whole address, or its fragment) exactly as
  // zintrel-headless --link does, for a screen with room: the sliders show
  // its settings and the display window is to be given AskedArea(), the
  // link's display area where the screen has room for it. Returns "" or the
  // line the box shows; a link that cannot be replayed changes nothing.
  std::string OpenLink(std::string_view address, AreaSize room = kUnboundedArea);

  // Runs one tick of a display area measured at width x height and has the
  // display show it. A run of faulting ticks throws its fault's text once,
  // at the first of them; the next tick that completes ends the run. A
  // frame of a size that cannot be had is such a fault too.
  //
  // After a state is adopted the display window is asked for the state's
  // size, which a window manager grants some ticks later, sometimes after
  // answering an earlier request with the old size. So for up to a second
  // after the adoption, while the window measures the asked size or the one
  // it had, ticks run at the asked size (AskedArea), and the state goes on
  // exactly as saved instead of being stretched to the old size and back.
  // Any other size (the user's, or the one the manager gives instead) ends
  // the wait at once, and a window that keeps its old size gets it back
  // when the second is over.
  void Timer1Timer(int width, int height);

  void TrackBar1Change();
  void CheckBox1Click();
  void TrackBar2Change();
  void TrackBar3Change();
  void TrackBar6Change();
  void TrackBar7Change();
  void TrackBar4Change();
  void TrackBar5Change();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void TrackBar9Change();

  // Starts Timer1 with interval; throws the timer error when there is none.
  void StartTimer(int interval);

  // Records every tick's frame into sink, named path, until StopRecording,
  // a fault, a failed write or a display of another size ends it; see
  // Recorder. Starting anew ends the recording before.
  void StartRecording(std::unique_ptr<RecordingSink> sink, const std::string& path);
  // Ends the recording with its file whole. Returns "" or the box's line.
  std::string StopRecording();
  // Ends the recording, its file whole, without a word to the windows: for
  // a process leaving without them. Returns "" or the failure's line.
  std::string StopRecordingAtExit() { return recorder_.Stop(); }
  bool Recording() const { return recorder_.Recording(); }

  // Returns a slider's tooltip: the value the program now uses for it, and
  // for TrackBar8 the radius the next Initialise would use on the display
  // area of the last tick.
  std::string ValueText(Slider slider) const;
  // Gives every slider its current tooltip.
  void RefreshTips();

  // Returns the display settings a saved state carries: the drawing mode
  // and the timer interval as they stand.
  DisplaySettings CurrentDisplay() const;

  // Takes over a state opened from a file: every parameter exactly as the
  // state has it, the drawing mode and interval it names (those it does not
  // name stay as they are), the sliders at the positions nearest the new
  // values without any handler running, and the frame drawn at once, since
  // the next tick may be seconds away. The frame is at most room, the
  // largest display area the screen shows, whatever size the state asks
  // for; the display window is to be given AskedArea().
  //
  // All or nothing: what can fail (the timer, the frame's memory) is done
  // before the first change, and a failure throws with everything as it was.
  void AdoptState(const ParticleField& field, const DisplaySettings& display, AreaSize room = kUnboundedArea);

  // Reads the plain state file at path (UTF-8) and adopts it for a screen
  // with room. Returns "" or the line the box shows; a file that cannot be
  // opened or adopted changes nothing.
  std::string OpenStateFile(const std::string& path, AreaSize room = kUnboundedArea);

  // The display area the last adopted state asked the window for.
  AreaSize AskedArea() const { return asked_; }

  // The clock the wait for the asked size is timed by; tests set their own.
  using Clock = std::chrono::steady_clock;
  void SetClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

  // Returns the text of a saved state: the field with the display settings.
  std::string SavedStateText() const { return StateToJson(field_, CurrentDisplay()); }

  const ParticleField& Field() const { return field_; }

 private:
  void ApplyPreset(const ForceLawPreset& preset);
  int Position(Slider slider) const { return controls_.SliderPosition(slider); }

  ParticleField& field_;
  FrameBitmap& bitmap_;
  RandomSource& random_;
  SettingsControls& controls_;
  std::uint32_t seed_ = 0;
  // Set once a tick's fault has been reported, cleared by the next tick that
  // completes.
  bool tickFaultReported_ = false;
  Recorder recorder_;
  // The size the last tick measured, before any substitution.
  AreaSize measured_{kStartWidth, kStartHeight};
  // The area asked for at the last adoption, the size the window measured
  // then, and until when ticks may still run at the asked size.
  AreaSize asked_;
  AreaSize measuredAtAsk_;
  bool awaitingArea_ = false;
  Clock::time_point awaitUntil_;
  std::function<Clock::time_point()> now_ = &Clock::now;
};

}  // namespace zintrel
