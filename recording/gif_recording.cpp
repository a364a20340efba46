#include "recording/gif_recording.h"

#include "recording/gif_encoder.h"


namespace zintrel {

void GifRecording::SetInterval(int intervalMilliseconds) {
  delay_ = GifDelay(intervalMilliseconds);
  // Drawn faster than the fastest delay players show.
  slower_ = intervalMilliseconds < kFastestGifDelay * 10;
}

bool GifRecording::Fits(const FrameBitmap& frame) const {
  return frames_ == 0 || (frame.Width() == width_ && frame.Height() == height_);
}

std::string GifRecording::Add(const FrameBitmap& frame) {
  std::string bytes;
  if (frames_ == 0) {
    width_ = frame.Width();
    height_ = frame.Height();
    bytes = GifHeader(width_, height_, frame.BrushColor, frame.PenColor);
  }
  bytes += encoder_.Encode(frame, delay_);
  ++frames_;
  bytes_ += static_cast<std::int64_t>(bytes.size());
  length_ += delay_;
  return bytes;
}

std::string GifRecording::End() const { return frames_ > 0 ? GifTrailer() : std::string(); }

}  // namespace zintrel
