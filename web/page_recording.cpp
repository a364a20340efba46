#include "web/page_recording.h"

#include <emscripten.h>

#include <cstdio>
#include <utility>

#include "settings/catalog.h"
#include "settings/display_texts.h"

namespace zintrel {
namespace {

// What the page holds now; one recording at a time.
std::int64_t held = 0;

// clang-format off
EM_JS(void, BeginHeldRecording, (), {
  Zintrel.recording.begin();
});
EM_JS(int, HoldRecordingBytes, (const void* bytes, int length), {
  return Zintrel.recording.append(HEAPU8.subarray(bytes, bytes + length)) ? 1 : 0;
});
EM_JS(void, DownloadHeldRecording, (const char* name, const char* mime), {
  Zintrel.recording.download(UTF8ToString(name), UTF8ToString(mime));
});
EM_JS(void, DropHeldRecording, (), {
  Zintrel.recording.drop();
});
// clang-format on

}  // namespace

PageRecordingSink::PageRecordingSink(std::string name, std::string mime)
    : name_(std::move(name)), mime_(std::move(mime)) {
  held = 0;
  BeginHeldRecording();
}

PageRecordingSink::~PageRecordingSink() {
  if (!finished_) DropHeldRecording();
  held = 0;
}

std::string PageRecordingSink::Write(std::string_view bytes) {
  // The tab refuses memory by throwing, which page_worker.js turns into 0.
  if (HoldRecordingBytes(bytes.data(), static_cast<int>(bytes.size())) == 0) return NotEnoughMemoryText();
  held += static_cast<std::int64_t>(bytes.size());
  return {};
}

std::string PageRecordingSink::Finish() {
  finished_ = true;
  DownloadHeldRecording(name_.c_str(), mime_.c_str());
  return {};
}

std::int64_t HeldRecordingBytes() { return held; }

std::string RecordingBoundText(std::int64_t bound, const std::string& name) {
  // The size as the recording's status tells it, in kB below a megabyte.
  char size[32];
  if (bound < 1000 * 1000) {
    std::snprintf(size, sizeof size, "%lld kB", static_cast<long long>((bound + 999) / 1000));
  } else {
    std::snprintf(size, sizeof size, "%lld MB", static_cast<long long>(bound / (1000 * 1000)));
  }
  return Format(Tr("The recording reached the %1$s a page may hold and ended there; it is saved as %2$s"),
                {size, Format(Tr("'%1$s'"), {name})});
}

}  // namespace zintrel
