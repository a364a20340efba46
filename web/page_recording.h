#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/recorder.h"

namespace zintrel {

// The most bytes of a recording the page holds, GIF or video: a tab has no
// file to write into as it goes, so the whole recording waits in memory
// until its download. 250 MB is over an hour of a typical run as GIF and
// leaves room in a phone's tab; once a tick's frame brings a recording to
// it, the recording ends there, whole, and the page says so.
inline constexpr std::int64_t kPageRecordingBound = 250'000'000;

// A recording's bytes as the page keeps them: handed to page_worker.js as they
// come, which holds them outside the program's heap (so the heap need not
// grow by the recording, nor copy it as it grows), and downloaded under
// name when the recording is finished. Dropped unfinished, its bytes are
// let go and nothing is downloaded.
class PageRecordingSink : public RecordingSink {
 public:
  // mime: the download's type.
  PageRecordingSink(std::string name, std::string mime);
  ~PageRecordingSink() override;
  PageRecordingSink(const PageRecordingSink&) = delete;
  PageRecordingSink& operator=(const PageRecordingSink&) = delete;

  std::string Write(std::string_view bytes) override;
  std::string Finish() override;

 private:
  std::string name_;
  std::string mime_;
  bool finished_ = false;
};

// Returns the bytes the page holds of the recording in progress (0 when
// none): what the bound is compared with.
std::int64_t HeldRecordingBytes();

// Returns the notice that a recording ended at the page's bound of bound
// bytes, saved as name.
std::string RecordingBoundText(std::int64_t bound, const std::string& name);

}  // namespace zintrel
