#include "settings/settings_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "render/tick.h"
#include "state/share_link.h"
#include "simulation/step_fault.h"
#include "tests/simulation/field_hash.h"

namespace zintrel {
namespace {

// The controls as a toolkit keeps them: a slider moved by the program runs
// its handler only when its position really changes, the way both shells'
// sliders report a change. Every handler run is recorded in order.
class FakeControls : public SettingsControls {
 public:
  SettingsPanel* panel = nullptr;
  std::map<Slider, int> positions{{Slider::kTrackBar1, 50}, {Slider::kTrackBar2, 3}, {Slider::kTrackBar3, 8},
                                  {Slider::kTrackBar4, 33}, {Slider::kTrackBar5, 33}, {Slider::kTrackBar6, 1},
                                  {Slider::kTrackBar7, 8},  {Slider::kTrackBar8, 10}, {Slider::kTrackBar9, 33}};
  bool orientation = true;
  int interval = 16;
  bool timerAvailable = true;
  int timerStarts = 0;
  int displayShows = 0;
  int redraws = 0;
  std::vector<Slider> handlersRun;
  std::map<Slider, std::string> tips;

  int SliderPosition(Slider slider) const override { return positions.at(slider); }
  void MoveSlider(Slider slider, int position) override {
    if (positions[slider] == position) return;
    positions[slider] = position;
    RunHandler(slider);
  }
  void MoveSliderQuietly(Slider slider, int position) override { positions[slider] = position; }
  bool OrientationShown() const override { return orientation; }
  void ShowOrientationQuietly(bool shown) override { orientation = shown; }
  int TimerInterval() const override { return interval; }
  bool StartTimer(int newInterval) override {
    if (!timerAvailable) return false;
    interval = newInterval;
    ++timerStarts;
    return true;
  }
  void ShowHiddenDisplay() override { ++displayShows; }
  void RedrawDisplay() override { ++redraws; }
  void SetSliderTip(Slider slider, const std::string& text) override { tips[slider] = text; }

  // The user moves a slider: the handler runs on every scroll action.
  void UserMoves(Slider slider, int position) {
    positions[slider] = position;
    RunHandler(slider);
  }

 private:
  void RunHandler(Slider slider) {
    handlersRun.push_back(slider);
    switch (slider) {
      case Slider::kTrackBar1: return panel->TrackBar1Change();
      case Slider::kTrackBar2: return panel->TrackBar2Change();
      case Slider::kTrackBar3: return panel->TrackBar3Change();
      case Slider::kTrackBar4: return panel->TrackBar4Change();
      case Slider::kTrackBar5: return panel->TrackBar5Change();
      case Slider::kTrackBar6: return panel->TrackBar6Change();
      case Slider::kTrackBar7: return panel->TrackBar7Change();
      case Slider::kTrackBar8: return;  // Initialise reads it when pressed.
      case Slider::kTrackBar9: return panel->TrackBar9Change();
    }
  }
};

class SettingsPanelTest : public testing::Test {
 protected:
  SettingsPanelTest() : panel_(*field_, bitmap_, random_, controls_) {
    controls_.panel = &panel_;
    panel_.FormCreate();
  }

  std::unique_ptr<ParticleField> field_ = std::make_unique<ParticleField>();
  FrameBitmap bitmap_;
  RandomSource random_{1};
  FakeControls controls_;
  SettingsPanel panel_;
};

TEST_F(SettingsPanelTest, FormCreateStartsWhereTheWindowDoesWithoutAnyHandler) {
  EXPECT_EQ(field_->ParticleCount, 50);  // Not the slider's 52.
  EXPECT_EQ(field_->ParticleSize, 6.0);
  EXPECT_EQ(field_->Running, 1);
  EXPECT_EQ(field_->InitialRadius, 0.0);
  EXPECT_EQ(field_->x[2499], 330.0);
  EXPECT_EQ(bitmap_.Width(), 660);
  EXPECT_EQ(bitmap_.Height(), 440);
  EXPECT_TRUE(controls_.handlersRun.empty());
}

TEST_F(SettingsPanelTest, SliderHandlersStoreTheirMappedValues) {
  controls_.UserMoves(Slider::kTrackBar1, 0);
  EXPECT_EQ(field_->ParticleCount, 1);
  controls_.UserMoves(Slider::kTrackBar2, 6);
  EXPECT_EQ(field_->ParticleSize, 9.0);
  controls_.orientation = false;
  panel_.CheckBox1Click();
  EXPECT_EQ(field_->ParticleSize, 7.0);
  controls_.UserMoves(Slider::kTrackBar3, 24);
  EXPECT_EQ(field_->MaxSpeed, 24.0);
  controls_.UserMoves(Slider::kTrackBar4, 99);
  EXPECT_EQ(field_->Acceleration, 3.0);
  controls_.UserMoves(Slider::kTrackBar5, 1);
  EXPECT_EQ(field_->RepulsiveAcceleration, 1.0 / 33.0);
  controls_.UserMoves(Slider::kTrackBar6, 99);
  EXPECT_EQ(field_->Activity, 99.0);
  controls_.UserMoves(Slider::kTrackBar7, 0);
  EXPECT_EQ(field_->Repulsion, 0.0);
  controls_.UserMoves(Slider::kTrackBar9, 99);
  EXPECT_EQ(controls_.interval, 4096);
}

// A preset moves its sliders in order; a slider already in place stays
// quiet, and a moved one's handler stores the preset's value again.
TEST_F(SettingsPanelTest, PresetsMoveTheirSlidersInOrder) {
  panel_.Button2Click();
  EXPECT_EQ(controls_.handlersRun,
            (std::vector<Slider>{Slider::kTrackBar6, Slider::kTrackBar7, Slider::kTrackBar4}));
  EXPECT_EQ(field_->Activity, 38.0);
  EXPECT_EQ(field_->Repulsion, 6.0);
  EXPECT_EQ(field_->Acceleration, 2.0);
  EXPECT_EQ(field_->RepulsiveAcceleration, 1.0);
  EXPECT_EQ(controls_.positions[Slider::kTrackBar4], 66);
  controls_.handlersRun.clear();
  panel_.Button2Click();
  EXPECT_TRUE(controls_.handlersRun.empty());
  panel_.Button1Click();
  EXPECT_EQ(field_->Activity, 1.0);
  EXPECT_EQ(field_->Acceleration, 1.0);
}

TEST_F(SettingsPanelTest, InitialiseUsesTheSizeOfTheLastTick) {
  panel_.Timer1Timer(4, 300);
  controls_.positions[Slider::kTrackBar8] = 99;
  const int count = field_->ParticleCount;
  panel_.Button3Click();
  EXPECT_EQ(field_->InitialRadius, 1.0);  // Under 5 pixels: radius 1.
  EXPECT_EQ(field_->ParticleCount, count);
  panel_.Timer1Timer(660, 440);
  panel_.Button3Click();
  EXPECT_EQ(field_->InitialRadius, 219.0);
}

TEST_F(SettingsPanelTest, PlayPauseTogglesAndShowsAHiddenDisplay) {
  panel_.Button4Click();
  EXPECT_EQ(field_->Running, 0);
  panel_.Button4Click();
  EXPECT_EQ(field_->Running, 1);
  EXPECT_EQ(controls_.displayShows, 2);
}

// The same interval keeps the timer's period; a platform without a timer
// gets the program's error.
TEST_F(SettingsPanelTest, DrawingSpeedRestartsTheTimerOnlyForANewInterval) {
  controls_.UserMoves(Slider::kTrackBar9, 33);
  EXPECT_EQ(controls_.timerStarts, 0);
  controls_.UserMoves(Slider::kTrackBar9, 0);
  EXPECT_EQ(controls_.interval, 1);
  EXPECT_EQ(controls_.timerStarts, 1);
  controls_.timerAvailable = false;
  try {
    controls_.UserMoves(Slider::kTrackBar9, 66);
    ADD_FAILURE() << "no error without a timer";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot obtain a timer");
  }
}

// A run of faulting ticks is reported once; the next tick that completes
// ends the run, so the next fault is reported again. A faulting tick is
// abandoned before it stores or draws anything.
TEST_F(SettingsPanelTest, FaultingTicksAreReportedOncePerRun) {
  field_->ParticleCount = 1;
  field_->MaxSpeed = -1.0;  // Beyond every control: a resting particle then divides by zero.
  field_->vx[0] = field_->vy[0] = 0.0;
  field_->x[0] = 100.0;
  const int redraws = controls_.redraws;
  try {
    panel_.Timer1Timer(660, 440);
    ADD_FAILURE() << "the fault was not reported";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), FaultText(StepFault::kDivisionByZero));
  }
  EXPECT_NO_THROW(panel_.Timer1Timer(660, 440));
  EXPECT_EQ(field_->x[0], 100.0);
  EXPECT_EQ(controls_.redraws, redraws);

  field_->MaxSpeed = 8.0;
  field_->vx[0] = 1.0;
  EXPECT_NO_THROW(panel_.Timer1Timer(660, 440));
  EXPECT_EQ(field_->x[0], 101.0);
  EXPECT_EQ(controls_.redraws, redraws + 1);

  field_->MaxSpeed = -1.0;
  field_->vx[0] = 0.0;
  EXPECT_THROW(panel_.Timer1Timer(660, 440), std::runtime_error);
}

TEST_F(SettingsPanelTest, TipsShowTheValuesInUse) {
  panel_.RefreshTips();
  EXPECT_EQ(controls_.tips[Slider::kTrackBar1], "How many particles move: 50");
  EXPECT_EQ(controls_.tips[Slider::kTrackBar4], "How fast the force fades with distance: a = 1.000");
  EXPECT_EQ(controls_.tips[Slider::kTrackBar8], "The disc the particles are scattered in: radius 23.02 px");
  EXPECT_EQ(controls_.tips[Slider::kTrackBar9], "Time between two ticks: 16 ms");
  EXPECT_EQ(controls_.tips.size(), 9u);
}

// An opened state: exact values, quiet sliders at the nearest positions,
// its drawing mode and interval, and a frame drawn at once.
TEST_F(SettingsPanelTest, AdoptingAStateSetsExactValuesQuietly) {
  auto state = std::make_unique<ParticleField>(*field_);
  state->Activity = 12.5;
  state->ParticleSize = 4.0;
  state->FieldWidth = 320;
  state->FieldHeight = 200;
  const int redraws = controls_.redraws;
  panel_.AdoptState(*state, {false, 256});
  EXPECT_EQ(HashField(*field_), HashField(*state));
  EXPECT_TRUE(controls_.handlersRun.empty());
  EXPECT_FALSE(controls_.orientation);
  EXPECT_EQ(controls_.interval, 256);
  EXPECT_EQ(controls_.positions[Slider::kTrackBar6], 12);  // 12.5: 12 and 13 tie, the lower wins.
  EXPECT_EQ(controls_.positions[Slider::kTrackBar2], 3);   // Discs of radius 4.
  EXPECT_EQ(controls_.positions[Slider::kTrackBar9], 66);
  EXPECT_EQ(controls_.tips[Slider::kTrackBar6], "How strongly the particles pull and push: A = 12.500");
  EXPECT_EQ(bitmap_.Width(), 320);
  EXPECT_EQ(controls_.redraws, redraws + 1);
  const DisplaySettings display = panel_.CurrentDisplay();
  EXPECT_EQ(display.ShowOrientation, false);
  EXPECT_EQ(display.TimerInterval, 256);
  // A state that names neither keeps the window's.
  panel_.AdoptState(*state, {});
  EXPECT_FALSE(controls_.orientation);
  EXPECT_EQ(controls_.interval, 256);
}

// Opening is all or nothing: with no timer to be had for the state's
// interval, or no memory for its frame, the box says why and the count,
// the check box, every slider, the interval and the frame stay as they were.
TEST_F(SettingsPanelTest, AdoptingAStateThatCannotBeHadChangesNothing) {
  panel_.Timer1Timer(660, 440);
  const std::uint64_t before = HashField(*field_);
  const std::map<Slider, int> positions = controls_.positions;
  const std::uint32_t corner = bitmap_.PixelAt(0, 0);
  auto state = std::make_unique<ParticleField>(*field_);
  state->ParticleCount = 7;
  state->Activity = 40.0;
  state->FieldWidth = 500;
  state->FieldHeight = 380;
  const auto expectNothingChanged = [&] {
    EXPECT_EQ(HashField(*field_), before);
    EXPECT_EQ(controls_.positions, positions);
    EXPECT_TRUE(controls_.orientation);
    EXPECT_EQ(controls_.interval, 16);
    EXPECT_EQ(bitmap_.Width(), 660);
    EXPECT_EQ(bitmap_.Height(), 440);
    EXPECT_EQ(bitmap_.PixelAt(0, 0), corner);
    EXPECT_TRUE(controls_.handlersRun.empty());
  };

  controls_.timerAvailable = false;
  EXPECT_THROW(panel_.AdoptState(*state, {false, 256}), std::runtime_error);
  expectNothingChanged();

  controls_.timerAvailable = true;
  state->FieldWidth = INT_MAX;
  state->FieldHeight = INT_MAX;
  try {
    panel_.AdoptState(*state, {false, 256}, {INT_MAX, INT_MAX});
    ADD_FAILURE() << "a frame of INT_MAX x INT_MAX pixels was adopted";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Not enough memory for a frame of 2147483647 × 2147483647 pixels");
  }
  expectNothingChanged();
  EXPECT_EQ(controls_.timerStarts, 0);
}

// A tick in a window whose frame cannot be had reports it once, as a fault,
// and leaves the field as the last tick did.
TEST_F(SettingsPanelTest, AFrameBeyondMemoryIsReportedAndStepsNothing) {
  panel_.Timer1Timer(660, 440);
  const std::uint64_t before = HashField(*field_);
  try {
    panel_.Timer1Timer(INT_MAX, INT_MAX);
    ADD_FAILURE() << "the tick did not report the frame it could not have";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Not enough memory for a frame of 2147483647 × 2147483647 pixels");
  }
  EXPECT_NO_THROW(panel_.Timer1Timer(INT_MAX, INT_MAX));
  EXPECT_EQ(HashField(*field_), before);
  EXPECT_EQ(bitmap_.Width(), 660);
  panel_.Timer1Timer(660, 440);
  EXPECT_NE(HashField(*field_), before);
}

// A file may ask for 16384 x 16384; the frame is never larger than the
// screen's room, and the window is asked for no more than that either.
TEST_F(SettingsPanelTest, AStatesFrameIsBoundedByTheScreen) {
  auto state = std::make_unique<ParticleField>(*field_);
  state->FieldWidth = 16384;
  state->FieldHeight = 16384;
  panel_.AdoptState(*state, {}, {1260, 800});
  EXPECT_EQ(panel_.AskedArea(), (AreaSize{1260, 800}));
  EXPECT_EQ(bitmap_.Width(), 1260);
  EXPECT_EQ(bitmap_.Height(), 800);
  EXPECT_LE(bitmap_.HeldBytes(), 1260u * 800u * 4u);
  EXPECT_EQ(field_->FieldWidth, 16384);  // Stretched by the first tick, not before.
  EXPECT_EQ(FittedArea({0, 300}, {1260, 800}), (AreaSize{1, 300}));
}

// A window manager grants the asked size some ticks after the open, and may
// first answer an earlier request with the old size; meanwhile the ticks run
// at the asked size, so that the state goes on exactly as the headless tool
// steps it at its own size.
TEST_F(SettingsPanelTest, TicksAfterAnOpenRunAtTheAskedSizeUntilTheWindowHasIt) {
  SettingsPanel::Clock::time_point now{};
  panel_.SetClock([&now] { return now; });
  const auto later = [&now](int milliseconds) { now += std::chrono::milliseconds(milliseconds); };
  panel_.Timer1Timer(660, 440);
  auto state = std::make_unique<ParticleField>(*field_);
  state->FieldWidth = state->LastWidth = 500;
  state->FieldHeight = state->LastHeight = 380;
  panel_.AdoptState(*state, {});
  EXPECT_EQ(panel_.AskedArea(), (AreaSize{500, 380}));
  auto expected = std::make_unique<ParticleField>(*state);
  FrameBitmap frame;
  // Granted at once as far as the toolkit knows, then the old size from an
  // earlier answer, then the asked size for good.
  for (const AreaSize measured : {AreaSize{500, 380}, AreaSize{660, 440}, AreaSize{660, 440}, AreaSize{500, 380}}) {
    later(16);
    RunTick(*expected, frame, 500, 380, true);
    panel_.Timer1Timer(measured.width, measured.height);
    EXPECT_EQ(field_->FieldWidth, 500);
    EXPECT_EQ(HashField(*field_), HashField(*expected));
  }
  later(1000);
  panel_.Timer1Timer(500, 380);
  panel_.Timer1Timer(600, 400);  // The user's size from now on.
  EXPECT_EQ(field_->FieldWidth, 600);

  // Another size than asked or had is the window manager's or the user's,
  // and taken at once.
  panel_.AdoptState(*state, {});
  panel_.Timer1Timer(600, 400);
  EXPECT_EQ(field_->FieldWidth, 500);
  panel_.Timer1Timer(480, 360);
  EXPECT_EQ(field_->FieldWidth, 480);
  EXPECT_EQ(field_->FieldHeight, 360);
  panel_.Timer1Timer(500, 380);
  EXPECT_EQ(field_->FieldWidth, 500);  // No longer waiting: a size like any other.

  // A window that keeps its old size is taken at that size after a second.
  panel_.Timer1Timer(640, 400);
  panel_.AdoptState(*state, {});
  panel_.Timer1Timer(640, 400);
  EXPECT_EQ(field_->FieldWidth, 500);
  later(999);
  panel_.Timer1Timer(640, 400);
  EXPECT_EQ(field_->FieldWidth, 500);
  later(1);
  panel_.Timer1Timer(640, 400);
  EXPECT_EQ(field_->FieldWidth, 640);
}

// Both shells open files through the panel: a saved state comes back whole,
// and a file that is no state gives the box's line and changes nothing.
TEST_F(SettingsPanelTest, OpensAndSavesStateFiles) {
  const std::string path = testing::TempDir() + "settings_panel_state.zintrel";
  controls_.orientation = false;
  controls_.interval = 256;
  panel_.Timer1Timer(320, 200);
  {
    std::ofstream file(path, std::ios::binary);
    file << panel_.SavedStateText();
  }
  const std::uint64_t saved = HashField(*field_);
  controls_.orientation = true;
  controls_.interval = 16;
  panel_.Timer1Timer(320, 200);
  EXPECT_EQ(panel_.OpenStateFile(path), "");
  EXPECT_EQ(HashField(*field_), saved);
  EXPECT_FALSE(controls_.orientation);
  EXPECT_EQ(controls_.interval, 256);

  {
    std::ofstream file(path, std::ios::binary);
    file << "not a state";
  }
  const std::string line = panel_.OpenStateFile(path);
  EXPECT_EQ(line.rfind("'" + path + "' is not a state this program can open: malformed JSON", 0), 0u) << line;
  EXPECT_EQ(HashField(*field_), saved);
  EXPECT_EQ(panel_.OpenStateFile(path + ".missing").rfind("Cannot read '", 0), 0u);
  std::remove(path.c_str());
}

// A link copied from a run that was played with is opened by another
// window as zintrel-headless --link runs it: the same ticks to the bit, the
// sliders and check box where the first window had them, and a link of its
// own that is the same link.
TEST_F(SettingsPanelTest, ACopiedLinkOpensTheRunTheToolRuns) {
  controls_.UserMoves(Slider::kTrackBar1, 70);
  controls_.UserMoves(Slider::kTrackBar6, 40);
  controls_.UserMoves(Slider::kTrackBar5, 1);
  controls_.orientation = false;
  panel_.CheckBox1Click();
  panel_.Timer1Timer(400, 300);
  controls_.positions[Slider::kTrackBar8] = 30;
  panel_.Button3Click();
  const std::string link = "https://example.net/zintrel/index.html#" + panel_.LinkFragment();

  auto field = std::make_unique<ParticleField>();
  FrameBitmap bitmap;
  RandomSource random;
  FakeControls controls;
  SettingsPanel panel(*field, bitmap, random, controls);
  controls.panel = &panel;
  panel.FormCreate();
  ASSERT_EQ(panel.OpenLink(link), "");
  EXPECT_EQ(panel.Seed(), panel_.Seed());
  EXPECT_EQ(panel.LinkFragment(), panel_.LinkFragment());
  EXPECT_EQ(controls.positions, controls_.positions);
  EXPECT_FALSE(controls.orientation);
  EXPECT_TRUE(controls.handlersRun.empty());
  EXPECT_EQ(panel.AskedArea(), (AreaSize{400, 300}));

  SharedRun run;
  ASSERT_EQ(ReadLink(link, run), "");
  auto tool = std::make_unique<ParticleField>();
  FrameBitmap toolFrame;
  RandomSource toolRandom;
  StartRun(run, *tool, toolRandom);
  for (int tick = 0; tick < 20; ++tick) {
    panel.Timer1Timer(400, 300);
    ASSERT_EQ(RunTick(*tool, toolFrame, run.width, run.height, run.darts), StepFault::kNone);
  }
  EXPECT_EQ(HashField(*field), HashField(*tool));
  EXPECT_TRUE(bitmap.Pixels() != nullptr && std::equal(bitmap.Pixels(), bitmap.Pixels() + 400 * 300,
                                                       toolFrame.Pixels()));
}

// A link that cannot be replayed says why in one line and changes nothing;
// one larger than the screen asks the window only for what the screen has.
TEST_F(SettingsPanelTest, OpeningALinkIsAllOrNothingAndBoundedByTheScreen) {
  panel_.Timer1Timer(660, 440);
  const std::uint64_t before = HashField(*field_);
  const std::uint32_t seed = panel_.Seed();
  const std::string good = panel_.LinkFragment();
  for (const std::string& bad : {std::string("https://example.net/"), "#zintrel=2&" + good.substr(10),
                                 std::string("#zintrel=1&seed=5"), "#" + good + "&count=2501"}) {
    const std::string line = panel_.OpenLink(bad);
    EXPECT_EQ(line.rfind("This link cannot be replayed: ", 0), 0u) << bad << ": " << line;
    EXPECT_EQ(HashField(*field_), before) << bad;
    EXPECT_EQ(panel_.Seed(), seed) << bad;
  }
  // What Open link… proposes from the clipboard.
  EXPECT_EQ(ReplayableLink("  https://example.net/#" + good + "\n"), "https://example.net/#" + good);
  EXPECT_EQ(ReplayableLink(LinkAddress(good)).empty(), false);
  EXPECT_EQ(ReplayableLink("#zintrel=1&seed=5"), "");
  EXPECT_EQ(ReplayableLink(" \n"), "");
  const std::string wide = good.substr(0, good.find("&width=")) + "&width=3000&height=2000&darts=1";
  ASSERT_EQ(panel_.OpenLink(wide, {1200, 900}), "");
  EXPECT_EQ(panel_.AskedArea(), (AreaSize{1200, 900}));
  EXPECT_EQ(field_->FieldWidth, 3000);
}

}  // namespace
}  // namespace zintrel
