#include "settings/recorder.h"

#include <utility>

#include "settings/display_texts.h"

namespace zintrel {

void Recorder::Start(std::unique_ptr<RecordingSink> sink, const std::string& path, int interval) {
  recording_ = std::make_unique<GifRecording>(interval);
  sink_ = std::move(sink);
  path_ = path;
}

std::string Recorder::Fail(const std::string& reason) {
  // Dropped unfinished: the sink leaves nothing at the name.
  sink_.reset();
  recording_.reset();
  return SaveRecordingFailedText(path_, reason);
}

Recorder::Outcome Recorder::FrameDrawn(const FrameBitmap& frame, int interval) {
  if (!Recording()) return {};
  if (!recording_->Fits(frame)) {
    if (std::string problem = Stop(); !problem.empty()) return {problem, true};
    return {RecordingEndedText(path_), false};
  }
  recording_->SetInterval(interval);
  if (std::string reason = sink_->Write(recording_->Add(frame)); !reason.empty()) return {Fail(reason), true};
  return {};
}

std::string Recorder::Stop() {
  if (!Recording()) return {};
  if (recording_->Frames() == 0) {
    // Stopped before any tick drew: there is no animation to keep.
    sink_.reset();
    recording_.reset();
    return {};
  }
  std::string reason = sink_->Write(recording_->End());
  if (reason.empty()) reason = sink_->Finish();
  if (!reason.empty()) return Fail(reason);
  sink_.reset();
  recording_.reset();
  return {};
}

std::string Recorder::Status() const {
  if (!Recording()) return {};
  return RecordingStatusText(recording_->Length(), recording_->Bytes(), recording_->SlowerThanDrawn());
}

}  // namespace zintrel
