// The page's side of the program: the process-wide field, frame and random
// source, the settings panel over the page's controls, and the entry points
// page_worker.js calls when the page reports an event. Each entry point is a few
// lines over settings/ and state/; a fault comes back as the error box's
// line, which the page shows in its dialog.

#include <emscripten.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/frame_bitmap.h"
#include "settings/display_texts.h"
#include "settings/label_fit.h"
#include "settings/panel_layout.h"
#include "settings/settings_panel.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "simulation/step_particles.h"
#include "state/share_link.h"
#include "state/state_file.h"
#include "web/page_recording.h"
#include "web/panel_description.h"
#include "web/web_controls.h"

namespace zintrel {
namespace {

ParticleField field;
FrameBitmap bitmap;
RandomSource randomSource;
WebControls controls;
SettingsPanel panel(field, bitmap, randomSource, controls);

// What the last call hands back to JavaScript, kept until the next one.
std::string reply;
// The text page_worker.js hands the next call that takes one (a link, the
// browser's languages, a file's name), written here through the heap. Any
// of them may be millions of bytes long, as a crafted link or a script's
// file name can be: copied onto the stack, which is a few MiB, such a text
// would run over the program's own variables.
std::string given;
std::vector<std::uint32_t> rgba;
// The seed this run started from, which a copied link carries.
std::uint32_t seed = 0;
// The display size a link asked for, kept until the display is resized.
int linkWidth = -1;
int linkHeight = -1;
// The name the recording in progress downloads under, GIF or video, for
// the lines that tell where it went.
std::string recordingName;
// The most bytes a recording may hold; lowered only by the page's tests.
std::int64_t recordingBound = kPageRecordingBound;

// The largest field the page draws at its own size: 4096 x 4096 is the
// largest canvas every browser draws (some cap a canvas at 16.7 million
// pixels), and takes 64 MiB. A desktop's state, bounded by its screen, fits
// in it up to a 4K screen; a larger one is fitted, as a desktop fits a
// state to a smaller screen, and the box says so, where taking its size
// would ask the tab for gigabytes and a canvas no browser shows.
constexpr AreaSize kPageRoom{4096, 4096};

// The notice for a field of wanted's size shown at fitted's, or "".
std::string FittedNotice(AreaSize wanted, AreaSize fitted) {
  if (wanted == fitted) return "";
  return WithFullStop(WindowTooSmallText(wanted.width, wanted.height, fitted.width, fitted.height));
}

// Starts the run of the link given as the desktop programs' Open link…
// does, and so as zintrel-headless --link does: the display keeps the
// link's size (linkWidth x linkHeight) until it is resized, and the reply
// is the box's line, if any. A link that cannot be replayed, or whose
// field cannot be had, changes nothing.
void OpenGivenLink() {
  if (const std::string problem = panel.OpenLink(given, kPageRoom); !problem.empty()) {
    reply = WithFullStop(problem);
    return;
  }
  // Read once more for the size it asked for, which the box tells where
  // the page fitted it.
  SharedRun run;
  static_cast<void>(ReadLink(given, run));
  seed = panel.Seed();
  const AreaSize fitted = panel.AskedArea();
  linkWidth = fitted.width;
  linkHeight = fitted.height;
  reply = FittedNotice({run.width, run.height}, fitted);
}

// Runs a handler as the desktop shells do: a fault becomes the box's line.
template <typename Handler>
const char* Guarded(Handler&& handler) {
  reply.clear();
  try {
    handler();
  } catch (const std::exception& fault) {
    reply = WithFullStop(fault.what());
  }
  return reply.c_str();
}

}  // namespace
}  // namespace zintrel

using namespace zintrel;

extern "C" {

// Returns where page_worker.js writes a text of bytes UTF-8 bytes for the next call
// that takes one, or null, with no text given, when its memory cannot be
// had. The text is valid until the next ZintrelGivenText.
EMSCRIPTEN_KEEPALIVE char* ZintrelGivenText(int bytes) {
  try {
    given.assign(static_cast<std::size_t>(bytes), '\0');
  } catch (const std::exception&) {
    std::string().swap(given);
    return nullptr;
  }
  return given.data();
}

// The line of the box for a text whose memory cannot be had.
EMSCRIPTEN_KEEPALIVE const char* ZintrelNotEnoughMemoryText() {
  reply = WithFullStop(NotEnoughMemoryText());
  return reply.c_str();
}

// Chooses the page's language from the browser's, as the desktop programs
// follow the system's: the text given is navigator.languages joined by
// commas.
EMSCRIPTEN_KEEPALIVE void ZintrelChooseLanguage() { ChooseLanguage(given); }

// Returns where a label of textWidth pixels goes, given its place in the
// layout, as the desktop programs fit a longer word: left * 65536 + width.
EMSCRIPTEN_KEEPALIVE int ZintrelFittedLabel(int left, int top, int width, int height, int textWidth) {
  const Bounds fitted = FittedLabel({left, top, width, height}, textWidth);
  return fitted.left * 65536 + fitted.width;
}

// Returns the panel's controls as JSON for the page to build them from.
EMSCRIPTEN_KEEPALIVE const char* ZintrelPanel() {
  reply = PanelDescriptionJson();
  return reply.c_str();
}

// The settings window's creation, once the page has built the controls:
// a fresh seed, or the run of the link the page was opened with. A link
// that cannot be replayed gets the box, and the fresh start. The text given
// is the link's fragment, "#" included, or "".
EMSCRIPTEN_KEEPALIVE const char* ZintrelStart() {
  controls.Attach(panel);
  return Guarded([&] {
    panel.StartTimer(16);
    panel.FormCreate();
    // FormCreate seeded from the clock too; the start is that of a seed
    // the page knows, so that a link can carry it.
    seed = MillisecondsSinceMidnightUtc();
    StartRun(SharedRun{.seed = seed}, field, randomSource);
    panel.RefreshTips();
    if (!given.empty()) OpenGivenLink();
  });
}

// A link followed within the page (a gallery's entry, or a fragment typed
// into the address bar of the open page): its run starts as at the page's
// start, the same run as the link opened anew. The text given is the
// fragment, "#" included. ZintrelLinkWidth is then the size the display
// keeps, or -1 where the link was not opened.
EMSCRIPTEN_KEEPALIVE const char* ZintrelOpenLink() {
  linkWidth = linkHeight = -1;
  return Guarded([] { OpenGivenLink(); });
}

EMSCRIPTEN_KEEPALIVE int ZintrelLinkWidth() { return linkWidth; }
EMSCRIPTEN_KEEPALIVE int ZintrelLinkHeight() { return linkHeight; }

// Returns the fragment of a link to the run as it now stands.
EMSCRIPTEN_KEEPALIVE const char* ZintrelLink() {
  reply = LinkFragment(RunOf(field, seed, controls.OrientationShown()));
  return reply.c_str();
}

// Timer1: one tick for a display area of width x height frame pixels.
EMSCRIPTEN_KEEPALIVE const char* ZintrelTick(int width, int height) {
  return Guarded([&] {
    const int before = field.FieldWidth * 16385 + field.FieldHeight;
    controls.ForgetRedraw();
    panel.Timer1Timer(width, height);
    // TrackBar8's tip tells the radius on the display area as it now is.
    if (field.FieldWidth * 16385 + field.FieldHeight != before) panel.RefreshTips();
    if (panel.Recording() && HeldRecordingBytes() >= recordingBound) {
      // The frame that reached the bound is the last: the file ends whole.
      if (const std::string problem = panel.StopRecording(); !problem.empty()) throw std::runtime_error(problem);
      controls.ShowNotice(RecordingBoundText(recordingBound, recordingName));
    }
  });
}

EMSCRIPTEN_KEEPALIVE const char* ZintrelSliderChanged(int slider) {
  return Guarded([&] {
    RunSliderHandler(panel, static_cast<Slider>(slider));
    panel.RefreshTips();
  });
}

EMSCRIPTEN_KEEPALIVE const char* ZintrelCheckBoxClicked() {
  return Guarded([] {
    panel.CheckBox1Click();
    panel.RefreshTips();
  });
}

EMSCRIPTEN_KEEPALIVE const char* ZintrelButtonClicked(int button) {
  return Guarded([&] {
    switch (static_cast<Button>(button)) {
      case Button::kButton1: panel.Button1Click(); break;
      case Button::kButton2: panel.Button2Click(); break;
      case Button::kButton3: panel.Button3Click(); break;
      case Button::kButton4: panel.Button4Click(); break;
    }
    panel.RefreshTips();
  });
}

// The frame as the canvas takes it: bytes R, G, B, A per pixel, rows top to
// bottom. Valid until the next call.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* ZintrelFramePixels() {
  const std::size_t count = static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height());
  rgba.resize(count);
  const std::uint32_t* pixels = bitmap.Pixels();
  for (std::size_t i = 0; i < count; ++i) {
    // 0xffRRGGBB to the little-endian word of R, G, B, A.
    const std::uint32_t p = pixels[i];
    rgba[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
  return rgba.data();
}
EMSCRIPTEN_KEEPALIVE int ZintrelFrameWidth() { return bitmap.Width(); }
EMSCRIPTEN_KEEPALIVE int ZintrelFrameHeight() { return bitmap.Height(); }

// The text of a saved state, and the name a download of it proposes.
EMSCRIPTEN_KEEPALIVE const char* ZintrelSavedState() {
  reply = panel.SavedStateText();
  return reply.c_str();
}
// kind: 0 a state, 1 a picture, 2 a GIF recording, 3 a video.
EMSCRIPTEN_KEEPALIVE const char* ZintrelProposedName(int year, int month, int day, int hour, int minute, int second,
                                                    int kind) {
  static constexpr const char* kSuffixes[] = {kStateSuffix, "png", "gif", "mp4"};
  reply = ProposedFileName(year, month, day, hour, minute, second, kSuffixes[kind >= 0 && kind < 4 ? kind : 0]);
  return reply.c_str();
}

// Record…: every tick from the next one on becomes a frame of a GIF held in
// the page, downloaded under the name given when the recording ends.
EMSCRIPTEN_KEEPALIVE const char* ZintrelStartRecording() {
  return Guarded([] {
    recordingName = given;
    panel.StartRecording(std::make_unique<PageRecordingSink>(given, "image/gif"), given);
  });
}

// Stop recording: the GIF ends whole and is downloaded.
EMSCRIPTEN_KEEPALIVE const char* ZintrelStopRecording() {
  return Guarded([] {
    if (const std::string problem = panel.StopRecording(); !problem.empty()) reply = WithFullStop(problem);
  });
}

EMSCRIPTEN_KEEPALIVE int ZintrelRecording() { return panel.Recording() ? 1 : 0; }

// Whether the last tick drew a frame: a tick that faulted did not.
EMSCRIPTEN_KEEPALIVE int ZintrelTickDrew() { return controls.Redrawn() ? 1 : 0; }

// The most bytes a recording may hold, and the tests' way to lower it.
EMSCRIPTEN_KEEPALIVE double ZintrelRecordingBound() { return static_cast<double>(recordingBound); }
EMSCRIPTEN_KEEPALIVE void ZintrelSetRecordingBound(double bytes) { recordingBound = static_cast<std::int64_t>(bytes); }

// A video, which page_worker.js encodes and holds itself, is named by the name
// given; its status and its ends are told in the GIF's words.
EMSCRIPTEN_KEEPALIVE void ZintrelNameVideo() { recordingName = given; }
EMSCRIPTEN_KEEPALIVE const char* ZintrelVideoStatus(double length, double bytes) {
  reply = RecordingStatusText(static_cast<std::int64_t>(length), static_cast<std::int64_t>(bytes), false);
  return reply.c_str();
}
// why: 0 the display changed size, 1 the bound was reached, 2 the video
// failed for the reason given.
EMSCRIPTEN_KEEPALIVE const char* ZintrelVideoEndedText(int why) {
  if (why == 0) reply = RecordingEndedText(recordingName);
  else if (why == 1) reply = RecordingBoundText(recordingBound, recordingName);
  else reply = SaveRecordingFailedText(recordingName, given);
  reply = WithFullStop(reply);
  return reply.c_str();
}

// Opens the state file page_worker.js has put in the page's own file system under
// the name given, through the very reader and bound of the desktop programs.
// Returns "" or the box's line; a file that cannot be opened changes
// nothing. Once it is open, ZintrelAskedWidth and ZintrelAskedHeight give
// the size the display keeps, and ZintrelFittedNotice what to say if that
// is not the state's own.
EMSCRIPTEN_KEEPALIVE const char* ZintrelOpenState() {
  return Guarded([&] {
    const std::string problem = panel.OpenStateFile(given, kPageRoom);
    if (!problem.empty()) reply = WithFullStop(problem);
  });
}

EMSCRIPTEN_KEEPALIVE int ZintrelAskedWidth() { return panel.AskedArea().width; }
EMSCRIPTEN_KEEPALIVE int ZintrelAskedHeight() { return panel.AskedArea().height; }

EMSCRIPTEN_KEEPALIVE const char* ZintrelFittedNotice() {
  reply = FittedNotice({field.FieldWidth, field.FieldHeight}, panel.AskedArea());
  return reply.c_str();
}

EMSCRIPTEN_KEEPALIVE int ZintrelRunning() { return field.Running; }

// The threads a tick of many particles shares its step among: the
// processors the browser reports in the threaded variant, which a page
// gets when it is cross-origin isolated, and one otherwise.
EMSCRIPTEN_KEEPALIVE int ZintrelStepThreads() {
#ifdef __EMSCRIPTEN_PTHREADS__
  return DefaultStepThreads();
#else
  return 1;
#endif
}

// The most a state file can be: page_worker.js hands the reader one byte more of a
// larger file, which it then refuses as the desktop programs do.
EMSCRIPTEN_KEEPALIVE int ZintrelMaxStateBytes() { return static_cast<int>(kMaxStateFileBytes); }

// The line of the box for a picture that cannot be saved under the name
// given: the display area is empty.
EMSCRIPTEN_KEEPALIVE const char* ZintrelEmptyPictureText() {
  reply = WithFullStop(SavePictureFailedText(given, EmptyPictureReason()));
  return reply.c_str();
}

}  // extern "C"
