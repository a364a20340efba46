#include "render/render_frame.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "render/dart_corners.h"
#include "simulation/vector_state.h"

namespace zintrel {
namespace {

// Frames of fewer particles are drawn on the calling thread alone: waking
// the helper (some 50 microseconds on a virtual machine) would cost about as
// much as it saves.
constexpr int kMinBandedCount = 1000;

// Draws the frame into the bitmap's drawable rows: clears them, then draws
// every particle that may reach them, in index order.
void DrawParticles(const ParticleField& field, int count, bool darts, FrameBitmap& bitmap) {
  // The drawing is scalar SSE code; see vector_state.h.
  ClearUpperVectorState();
  // The outline of this box lies one pixel outside the bitmap on every side,
  // so only the black brush lands.
  bitmap.Rectangle(-1, -1, bitmap.Width() + 1, bitmap.Height() + 1);
  const double size = field.ParticleSize;
  // Every pixel of a particle lies within the bounding box of its dart's
  // corners or its disc's box, and those rows lie within size of its own
  // row, plus one for truncation and one to spare for rounding. Particles
  // farther from the drawable rows are passed over (NaN never is).
  const double reach = std::fabs(size) + 2.0;
  const double first = bitmap.ClipTop() - reach;
  const double end = bitmap.ClipBottom() + reach;
  const auto reaches = [&](int i) { return !(field.y[i] < first || field.y[i] >= end); };
  if (!darts) {
    for (int i = 0; i < count; ++i) {
      if (!reaches(i)) continue;
      const double x = field.x[i];
      const double y = field.y[i];
      bitmap.Ellipse(TruncToCoordinate(x - size), TruncToCoordinate(y - size),
                     TruncToCoordinate(x + size), TruncToCoordinate(y + size));
    }
    return;
  }
  // The corners of the next dart are computed before the current one is
  // drawn: they do not depend on the pixels, and the processor can overlap
  // their long chain of multiplications with the drawing.
  int next = 0;
  while (next < count && !reaches(next)) ++next;
  Point corners[3];
  if (next < count) DartCorners(field.x[next], field.y[next], field.Heading[next], size, corners);
  while (next < count) {
    const Point vertices[3] = {corners[0], corners[1], corners[2]};
    ++next;
    while (next < count && !reaches(next)) ++next;
    if (next < count) DartCorners(field.x[next], field.y[next], field.Heading[next], size, corners);
    bitmap.Polygon(vertices);
  }
}

// Returns the row that splits the particles into two halves of about equal
// count, so that two bands take about equal work.
int MedianRow(const ParticleField& field, int count, int height) {
  std::vector<int> perRow(static_cast<std::size_t>(height), 0);
  for (int i = 0; i < count; ++i) {
    const double y = field.y[i];
    if (y >= 0.0 && y < height) ++perRow[static_cast<std::size_t>(y)];
  }
  const int half = count / 2;
  int seen = 0;
  for (int row = 0; row < height; ++row) {
    seen += perRow[static_cast<std::size_t>(row)];
    if (seen >= half) return row + 1;
  }
  return height / 2;
}

// A thread that draws bands of a frame beside the caller. Each band is taken
// by whichever thread reaches it first and drawn whole by that one, so a
// frame is finished even when the helper never gets a core, and no band's
// pixels depend on which thread drew it.
class BandHelper {
 public:
  BandHelper() = default;
  BandHelper(const BandHelper&) = delete;
  BandHelper& operator=(const BandHelper&) = delete;

  ~BandHelper() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Calls draw(k) once for every band k < bands, on this thread and the
  // helper, and returns true when all are drawn. Returns false, having
  // drawn nothing, when another frame is being drawn or the helper cannot
  // be started.
  bool Run(int bands, const std::function<void(int)>& draw) {
    const std::unique_lock caller(callerMutex_, std::try_to_lock);
    if (!caller.owns_lock()) return false;
    {
      std::lock_guard lock(mutex_);
      if (!thread_.joinable()) {
        try {
          thread_ = std::thread(&BandHelper::Loop, this);
        } catch (const std::system_error&) {
          return false;
        }
      }
      draw_ = &draw;
      bands_ = bands;
      next_.store(0);
      open_ = true;
      ++generation_;
    }
    wake_.notify_one();
    Take(draw, bands);
    {
      std::lock_guard lock(mutex_);
      // A helper that wakes from here on finds the frame closed.
      open_ = false;
    }
    // The helper's band is about as long as this thread's, so it is
    // usually nearly done: yielding until it is costs less than sleeping
    // and being woken, and hands it the core when the two share one.
    while (busy_.load(std::memory_order_acquire)) std::this_thread::yield();
    draw_ = nullptr;
    return true;
  }

 private:
  void Take(const std::function<void(int)>& draw, int bands) {
    for (int k = next_.fetch_add(1); k < bands; k = next_.fetch_add(1)) draw(k);
  }

  void Loop() {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return quit_ || (open_ && generation_ != seen); });
      if (quit_) return;
      seen = generation_;
      busy_.store(true, std::memory_order_relaxed);
      const std::function<void(int)>* draw = draw_;
      const int bands = bands_;
      lock.unlock();
      Take(*draw, bands);
      busy_.store(false, std::memory_order_release);
      lock.lock();
    }
  }

  std::mutex callerMutex_;  // Held by the thread drawing a frame.
  std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_.
  const std::function<void(int)>* draw_ = nullptr;
  int bands_ = 0;
  std::uint64_t generation_ = 0;  // Counts frames handed over.
  bool open_ = false;             // A frame's bands may still be taken.
  bool quit_ = false;
  std::thread thread_;
  // The helper is drawing: set under mutex_ while the frame is open, so a
  // caller that closed the frame and then sees it clear knows the helper
  // has finished with it.
  std::atomic<bool> busy_{false};
  std::atomic<int> next_{0};  // The next band to take.
};

}  // namespace

void RenderFrame(const ParticleField& field, FrameBitmap& bitmap, bool showOrientation) {
  bitmap.BrushColor = 0x000000;
  const int count = std::clamp<int>(field.ParticleCount, 0, MaxParticles);
  // Asked once: the C library counts the processors anew on every call.
  static const bool twoProcessors = std::thread::hardware_concurrency() >= 2;
  // Two bands split at the median particle, one drawn here and one beside
  // it. Each band clears and draws only its own rows, and gets every
  // particle that reaches them in the same order, so together they give the
  // pixels one thread drawing the whole frame gives.
  if (count >= kMinBandedCount && bitmap.Height() >= 2 && twoProcessors) {
    static BandHelper helper;
    const int split = MedianRow(field, count, bitmap.Height());
    const std::function<void(int)> draw = [&](int band) {
      FrameBitmap rows = band == 0 ? FrameBitmap::Band(bitmap, 0, split)
                                   : FrameBitmap::Band(bitmap, split, bitmap.Height());
      DrawParticles(field, count, showOrientation, rows);
    };
    if (helper.Run(2, draw)) return;
  }
  DrawParticles(field, count, showOrientation, bitmap);
}

}  // namespace zintrel
