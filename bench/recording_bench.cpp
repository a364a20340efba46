// What recording costs beside the tick: the whole tick at 2500 particles in
// a 660 x 440 field, the same tick with its frame added to a GIF, and the
// frame's encoding alone, by our encoder and (where the system has it) by
// giflib's, which a recording could not afford.
//
//   build/release/bench/recording_bench --benchmark_min_time=2

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "recording/gif_encoder.h"
#include "render/tick.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"

#ifdef ZINTREL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace zintrel {
namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 440;

// A cloud of 2500 particles a hundred ticks after Initialise.
std::unique_ptr<ParticleField> Cloud(FrameBitmap& bitmap) {
  auto field = std::make_unique<ParticleField>();
  SetStartValues(*field);
  RandomSource random(3);
  field->InitialRadius = 200;
  Scatter(*field, random);
  field->ParticleCount = 2500;
  for (int tick = 0; tick < 100; ++tick) RunTick(*field, bitmap, kWidth, kHeight, true);
  return field;
}

void BM_Tick(benchmark::State& state) {
  FrameBitmap bitmap;
  auto field = Cloud(bitmap);
  for (auto _ : state) benchmark::DoNotOptimize(RunTick(*field, bitmap, kWidth, kHeight, true));
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TickRecorded(benchmark::State& state) {
  FrameBitmap bitmap;
  auto field = Cloud(bitmap);
  std::size_t bytes = 0;
  GifFrameEncoder encoder;
  for (auto _ : state) {
    RunTick(*field, bitmap, kWidth, kHeight, true);
    bytes += encoder.Encode(bitmap, 2).size();
  }
  state.counters["bytes_per_frame"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TickRecorded)->Unit(benchmark::kMillisecond)->UseRealTime();

// Two ticks in turn, as a recording sees them: each frame is what changed.
void BM_EncodeFrame(benchmark::State& state) {
  FrameBitmap frames[2];
  auto field = Cloud(frames[0]);
  RunTick(*field, frames[1], kWidth, kHeight, true);
  GifFrameEncoder encoder;
  int which = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(encoder.Encode(frames[which], 2));
    which ^= 1;
  }
}
BENCHMARK(BM_EncodeFrame)->Unit(benchmark::kMillisecond);

#ifdef ZINTREL_HAVE_GIFLIB
void BM_EncodeFrameGiflib(benchmark::State& state) {
  FrameBitmap bitmap;
  Cloud(bitmap);
  std::vector<GifPixelType> indices(static_cast<std::size_t>(kWidth) * kHeight);
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, [](GifFileType* file, const GifByteType* bytes, int size) {
    static_cast<std::string*>(file->UserData)->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    return size;
  }, &error);
  ColorMapObject* colors = GifMakeMapObject(2, nullptr);
  colors->Colors[1] = {255, 255, 255};
  EGifPutScreenDesc(gif, kWidth, kHeight, 1, 0, colors);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) indices[static_cast<std::size_t>(y) * kWidth + x] = (bitmap.PixelAt(x, y) & 0xFFFFFF) != 0;
    }
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    for (int y = 0; y < kHeight; ++y) EGifPutLine(gif, indices.data() + static_cast<std::size_t>(y) * kWidth, kWidth);
    out.clear();
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(colors);
}
BENCHMARK(BM_EncodeFrameGiflib)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace zintrel
