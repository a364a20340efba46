#include "settings/recorder.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "recording/gif_encoder.h"
#include "recording/gif_recording.h"
#include "settings/settings_panel.h"
#include "simulation/random_source.h"

namespace zintrel {
namespace {

// Keeps what a recording writes, and can refuse to take more.
struct MemorySink : RecordingSink {
  std::string* file;
  bool* finished;
  std::size_t room = std::string::npos;  // Bytes it takes before it fails.
  MemorySink(std::string* file, bool* finished) : file(file), finished(finished) {}
  std::string Write(std::string_view bytes) override {
    if (file->size() + bytes.size() > room) return "No space left on device";
    file->append(bytes);
    return {};
  }
  std::string Finish() override {
    *finished = true;
    return {};
  }
};

// Settings controls that only keep what the panel shows.
struct Controls : SettingsControls {
  int interval = 16;
  std::string status;
  std::string notice;
  int SliderPosition(Slider) const override { return 50; }
  void MoveSlider(Slider, int) override {}
  void MoveSliderQuietly(Slider, int) override {}
  bool OrientationShown() const override { return true; }
  void ShowOrientationQuietly(bool) override {}
  int TimerInterval() const override { return interval; }
  bool StartTimer(int newInterval) override {
    interval = newInterval;
    return true;
  }
  void ShowHiddenDisplay() override {}
  void RedrawDisplay() override {}
  void SetSliderTip(Slider, const std::string&) override {}
  void ShowRecordingStatus(const std::string& text) override { status = text; }
  void ShowNotice(const std::string& text) override { notice = text; }
};

class RecorderTest : public testing::Test {
 protected:
  RecorderTest() : panel_(*field_, bitmap_, random_, controls_) { panel_.FormCreate(); }

  // Starts a recording into file_ and returns its sink.
  MemorySink* Record() {
    auto sink = std::make_unique<MemorySink>(&file_, &finished_);
    MemorySink* kept = sink.get();
    panel_.StartRecording(std::move(sink), "run.gif");
    return kept;
  }

  std::unique_ptr<ParticleField> field_ = std::make_unique<ParticleField>();
  FrameBitmap bitmap_;
  RandomSource random_{1};
  Controls controls_;
  SettingsPanel panel_;
  std::string file_;
  bool finished_ = false;
};

// Each tick's frame, at the drawing speed of its tick, as the same frames
// given to a GifRecording of their own; the title tells the time and size.
TEST_F(RecorderTest, RecordsEveryTickAsDrawn) {
  Record();
  EXPECT_EQ(controls_.status, "recording 0:00, 0 kB; it plays slower than drawn, at 50 frames a second");
  GifRecording expected(16);
  std::string expectedBytes;
  for (int tick = 0; tick < 30; ++tick) {
    if (tick == 20) controls_.interval = 100;
    panel_.Timer1Timer(320, 240);
    expected.SetInterval(controls_.interval);
    expectedBytes += expected.Add(bitmap_);
  }
  // 20 ticks shown for 20 ms (the fastest players show), 10 for 100 ms.
  EXPECT_EQ(controls_.status, "recording 0:01, " + std::to_string((expectedBytes.size() + 1 + 999) / 1000) + " kB");
  EXPECT_EQ(panel_.StopRecording(), "");
  EXPECT_TRUE(finished_);
  EXPECT_EQ(file_, expectedBytes + GifTrailer());
  EXPECT_EQ(controls_.status, "");
  EXPECT_FALSE(panel_.Recording());
}

// A display of another size ends the recording, whole, with a notice; the
// next ticks record nothing.
TEST_F(RecorderTest, AResizeEndsTheRecordingWhole) {
  Record();
  panel_.Timer1Timer(320, 240);
  panel_.Timer1Timer(320, 240);
  const std::size_t before = file_.size();
  panel_.Timer1Timer(321, 240);
  EXPECT_TRUE(finished_);
  EXPECT_EQ(file_.size(), before + 1);
  EXPECT_EQ(file_.back(), ';');
  EXPECT_NE(controls_.notice.find("'run.gif'"), std::string::npos) << controls_.notice;
  EXPECT_EQ(controls_.status, "");
  panel_.Timer1Timer(321, 240);
  EXPECT_EQ(file_.size(), before + 1);
}

// A failed write ends the recording with the system's reason, and the file
// is never made whole under its name.
TEST_F(RecorderTest, AFailedWriteIsToldAndEndsTheRecording) {
  MemorySink* sink = Record();
  panel_.Timer1Timer(320, 240);
  sink->room = file_.size() + 10;
  try {
    panel_.Timer1Timer(320, 240);
    ADD_FAILURE() << "the failed write was not told";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot save the recording as 'run.gif': No space left on device");
  }
  EXPECT_FALSE(finished_);
  EXPECT_FALSE(panel_.Recording());
  EXPECT_EQ(controls_.status, "");
  EXPECT_NO_THROW(panel_.Timer1Timer(320, 240));
}

// A fault's box ends the recording too, whole up to the last good tick.
TEST_F(RecorderTest, AFaultEndsTheRecordingWhole) {
  Record();
  panel_.Timer1Timer(320, 240);
  field_->ParticleCount = 1;
  field_->MaxSpeed = -1.0;  // Beyond every control: a resting particle then divides by zero.
  field_->vx[0] = field_->vy[0] = 0.0;
  EXPECT_THROW(panel_.Timer1Timer(320, 240), std::runtime_error);
  EXPECT_TRUE(finished_);
  EXPECT_EQ(file_.back(), ';');
  EXPECT_FALSE(panel_.Recording());
}

// Stopped before any tick drew, there is no animation to keep.
TEST_F(RecorderTest, StoppedBeforeAnyTickKeepsNothing) {
  Record();
  EXPECT_EQ(panel_.StopRecording(), "");
  EXPECT_FALSE(finished_);
  EXPECT_EQ(file_, "");
}

}  // namespace
}  // namespace zintrel
