#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "recording/gif_recording.h"
#include "render/frame_bitmap.h"

namespace zintrel {

// Where a recording's bytes go: a file a desktop program writes under a
// temporary name, or the page's memory. Each shell provides its own.
class RecordingSink {
 public:
  virtual ~RecordingSink() = default;
  // Appends bytes. Returns "" or the system's reason.
  virtual std::string Write(std::string_view bytes) = 0;
  // Makes the file whole under its name. Returns "" or the reason.
  virtual std::string Finish() = 0;
};

// What the display window records, the same in every shell: each tick's
// frame goes to the sink as it is drawn, so memory stays flat however long
// the recording runs, and the file is whole whatever ends it (Stop, the
// window closing, quitting, a fault, a resize the animation cannot follow).
// A failed write ends it with nothing left at the name.
class Recorder {
 public:
  bool Recording() const { return sink_ != nullptr; }

  // Starts recording into sink, whose file is named path (for the lines the
  // boxes show), at the drawing speed interval (milliseconds).
  void Start(std::unique_ptr<RecordingSink> sink, const std::string& path, int interval);

  // What adding a frame came to: the line a box shows, if any, and whether
  // it is a failure (a notice otherwise).
  struct Outcome {
    std::string line;
    bool failed = false;
  };
  // Adds the frame a tick drew, shown for the drawing speed interval. A
  // frame of another size ends the recording first, saved, with a notice.
  Outcome FrameDrawn(const FrameBitmap& frame, int interval);

  // Ends the recording, its file whole. Returns "" or the failure's line.
  std::string Stop();

  // What the display window's title adds while recording, else "".
  std::string Status() const;

 private:
  std::string Fail(const std::string& reason);

  std::unique_ptr<RecordingSink> sink_;
  std::unique_ptr<GifRecording> recording_;
  std::string path_;
};

}  // namespace zintrel
