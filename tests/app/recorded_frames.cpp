// Compares a recording with the frames of a run: recorded_frames RECORDING.gif
// RUN.gif prints where in the run the recording starts and exits 0 when each
// of its frames, composed as a player shows it, is the run's next frame
// pixel for pixel; else it says which frame differs and exits 1.

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>
#include <vector>

namespace {

std::vector<QImage> Frames(const char* path) {
  QImageReader reader(QString::fromLocal8Bit(path), "gif");
  std::vector<QImage> frames;
  for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) {
    frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
  }
  return frames;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: recorded_frames RECORDING.gif RUN.gif\n");
    return 2;
  }
  const std::vector<QImage> recorded = Frames(argv[1]);
  if (recorded.empty()) {
    std::printf("recorded_frames: %s holds no frame\n", argv[1]);
    return 1;
  }
  // The run is read a frame at a time: it may hold thousands.
  QImageReader run(QString::fromLocal8Bit(argv[2]), "gif");
  std::size_t tick = 0;
  std::size_t start = 0;
  std::size_t matched = 0;
  for (QImage frame = run.read(); !frame.isNull() && matched < recorded.size(); frame = run.read()) {
    ++tick;
    const bool same = frame.convertToFormat(QImage::Format_RGB32) == recorded[matched];
    if (matched == 0 && same) start = tick;
    if (matched > 0 && !same) {
      std::printf("recorded_frames: recorded frame %zu is not the run's tick %zu\n", matched + 1, tick);
      return 1;
    }
    if (same) ++matched;
  }
  if (matched == 0) {
    std::printf("recorded_frames: the first recorded frame is none of the run's %zu\n", tick);
    return 1;
  }
  if (matched < recorded.size()) {
    std::printf("recorded_frames: the run ends at tick %zu, before recorded frame %zu\n", tick, matched + 1);
    return 1;
  }
  std::printf("recorded_frames: %zu frames, ticks %zu to %zu of the run\n", recorded.size(), start,
              start + recorded.size() - 1);
  return 0;
}
