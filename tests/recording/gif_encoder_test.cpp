#include "recording/gif_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/tick.h"
#include "simulation/random_source.h"
#include "simulation/scatter.h"

#ifdef ZINTREL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace zintrel {
namespace {

// A decoded animation: its size, colours, loop count and frames, each with
// its delay and one palette index per pixel.
struct Animation {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> colors;
  int loops = -1;
  struct Frame {
    int delay = 0;
    std::vector<std::uint8_t> pixels;
  };
  std::vector<Frame> frames;
  std::string problem;  // "" for a well-formed file.
};

// A strict decoder, written from the format's rules apart from the encoder:
// every frame's codes must end with the end code at the width the table has
// grown to, with nothing after it, and the file with its trailer.
class StrictReader {
 public:
  explicit StrictReader(const std::string& bytes) : bytes_(bytes) {}

  Animation Read() {
    Animation animation;
    if (bytes_.compare(0, 6, "GIF89a") != 0) return Fail(animation, "no GIF89a signature");
    at_ = 6;
    animation.width = Word();
    animation.height = Word();
    const int packed = Byte();
    Byte();
    Byte();
    if ((packed & 0x80) == 0) return Fail(animation, "no global colours");
    for (int i = 0; i < (2 << (packed & 7)); ++i) {
      const std::uint32_t r = Byte(), g = Byte(), b = Byte();
      animation.colors.push_back(r << 16 | g << 8 | b);
    }
    int delay = 0;
    while (at_ < bytes_.size()) {
      const int introducer = Byte();
      if (introducer == ';') return at_ == bytes_.size() ? animation : Fail(animation, "bytes after the trailer");
      if (introducer == 0x21) {
        const int label = Byte();
        const std::string block = SubBlocks();
        if (label == 0xF9 && block.size() == 4) {
          if ((block[0] >> 2 & 7) != 1) return Fail(animation, "a frame not left in place");
          delay = static_cast<std::uint8_t>(block[1]) | static_cast<std::uint8_t>(block[2]) << 8;
        }
        if (label == 0xFF && block.rfind("NETSCAPE2.0", 0) == 0) {
          animation.loops = static_cast<std::uint8_t>(block[13]) | static_cast<std::uint8_t>(block[14]) << 8;
        }
        continue;
      }
      if (introducer != 0x2C) return Fail(animation, "unknown block");
      const int left = Word(), top = Word(), width = Word(), height = Word();
      if (Byte() != 0) return Fail(animation, "local colours or interlacing");
      if (width < 1 || height < 1 || left + width > animation.width || top + height > animation.height) {
        return Fail(animation, "a frame outside the screen");
      }
      if (animation.frames.empty() && (width != animation.width || height != animation.height)) {
        return Fail(animation, "a first frame that is not the whole screen");
      }
      std::vector<std::uint8_t> pixels;
      const int minCodeSize = Byte();
      if (std::string problem = Decode(minCodeSize, SubBlocks(), pixels); !problem.empty()) {
        return Fail(animation, problem);
      }
      if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return Fail(animation, "a frame of " + std::to_string(pixels.size()) + " pixels");
      }
      // Drawn over the frame before, which stays (disposal "leave in place").
      Animation::Frame frame{delay, animation.frames.empty()
                                        ? std::vector<std::uint8_t>(pixels.size())
                                        : animation.frames.back().pixels};
      for (int y = 0; y < height; ++y) {
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, width,
                    frame.pixels.begin() + static_cast<std::ptrdiff_t>(top + y) * animation.width + left);
      }
      animation.frames.push_back(std::move(frame));
    }
    return Fail(animation, "no trailer");
  }

 private:
  static Animation Fail(Animation& animation, const std::string& problem) {
    animation.problem = problem;
    return animation;
  }
  int Byte() { return at_ < bytes_.size() ? static_cast<std::uint8_t>(bytes_[at_++]) : -1; }
  int Word() { return Byte() | Byte() << 8; }
  std::string SubBlocks() {
    std::string data;
    for (int size = Byte(); size > 0; size = Byte()) {
      data += bytes_.substr(at_, static_cast<std::size_t>(size));
      at_ += static_cast<std::size_t>(size);
    }
    return data;
  }

  static std::string Decode(int minCodeSize, const std::string& data, std::vector<std::uint8_t>& pixels) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<std::vector<std::uint8_t>> table;
    int codeSize = minCodeSize + 1;
    std::size_t bit = 0;
    const auto read = [&](int size) {
      int code = 0;
      for (int i = 0; i < size; ++i, ++bit) {
        if (bit / 8 >= data.size()) return -1;
        code |= ((static_cast<std::uint8_t>(data[bit / 8]) >> (bit % 8)) & 1) << i;
      }
      return code;
    };
    const auto reset = [&] {
      table.assign(static_cast<std::size_t>(end) + 1, {});
      for (int i = 0; i < clear; ++i) table[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i)};
      codeSize = minCodeSize + 1;
    };
    reset();
    int previous = -1;
    for (;;) {
      const int code = read(codeSize);
      if (code < 0) return "the codes end without an end code";
      if (code == clear) {
        reset();
        previous = -1;
        continue;
      }
      if (code == end) break;
      std::vector<std::uint8_t> entry;
      if (code < static_cast<int>(table.size()) && code != clear && code != end) {
        entry = table[static_cast<std::size_t>(code)];
      } else if (code == static_cast<int>(table.size()) && previous >= 0) {
        entry = table[static_cast<std::size_t>(previous)];
        entry.push_back(entry[0]);
      } else {
        return "code " + std::to_string(code) + " is not in the table";
      }
      if (previous >= 0 && table.size() < 4096) {
        std::vector<std::uint8_t> added = table[static_cast<std::size_t>(previous)];
        added.push_back(entry[0]);
        table.push_back(std::move(added));
        if (table.size() == (1u << codeSize) && codeSize < 12) ++codeSize;
      }
      pixels.insert(pixels.end(), entry.begin(), entry.end());
      previous = code;
    }
    // Past the end code only the padding of its last byte may follow.
    if ((bit + 7) / 8 != data.size()) return "data after the end code";
    return {};
  }

  const std::string& bytes_;
  std::size_t at_ = 0;
};

std::string Encode(const std::vector<FrameBitmap>& frames, int delay) {
  std::string bytes = GifHeader(frames[0].Width(), frames[0].Height(), frames[0].BrushColor, frames[0].PenColor);
  GifFrameEncoder encoder;
  for (const FrameBitmap& frame : frames) bytes += encoder.Encode(frame, delay);
  return bytes + GifTrailer();
}

// Returns whether every pixel of the frame is the decoded index's colour.
bool SameFrame(const FrameBitmap& frame, const Animation& animation, const Animation::Frame& decoded) {
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      const std::uint8_t index = decoded.pixels[static_cast<std::size_t>(y) * frame.Width() + x];
      if ((frame.PixelAt(x, y) & 0xFFFFFF) != animation.colors[index]) return false;
    }
  }
  return true;
}

// Frames of every size from one pixel up, with random pixels at several
// densities: the tables fill, clear and widen at every possible point, and
// the last code falls on every kind of boundary.
TEST(GifEncoderTest, EveryFrameDecodesToItsPixels) {
  std::mt19937 random(7);
  int cases = 0;
  for (int width : {1, 2, 3, 7, 31, 64, 127, 255, 660}) {
    for (int height : {1, 2, 5, 33, 97}) {
      for (int density : {0, 1, 50, 99, 100}) {
        // A frame, the same with one pixel flipped, the same again, and
        // another: every frame after the first holds what changed.
        std::vector<FrameBitmap> frames(4);
        for (const std::size_t i : {0u, 3u}) {
          FrameBitmap& frame = frames[i];
          frame.Resize(width, height);
          for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
              const bool pen = static_cast<int>(random() % 100) < density;
              frame.Pixels()[static_cast<std::size_t>(y) * frame.Stride() + x] = pen ? 0xFFFFFFFFu : 0xFF000000u;
            }
          }
        }
        frames[1].Resize(width, height);
        std::copy_n(frames[0].Pixels(), static_cast<std::size_t>(height) * frames[0].Stride(), frames[1].Pixels());
        std::uint32_t& flipped = frames[1].Pixels()[static_cast<std::size_t>(random() % height) * frames[1].Stride() +
                                                    random() % width];
        flipped ^= 0x00FFFFFFu;
        frames[2].Resize(width, height);
        std::copy_n(frames[1].Pixels(), static_cast<std::size_t>(height) * frames[1].Stride(), frames[2].Pixels());
        const Animation animation = StrictReader(Encode(frames, 3)).Read();
        ASSERT_EQ(animation.problem, "") << width << " x " << height << " at " << density << " %";
        ASSERT_EQ(animation.frames.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
          EXPECT_TRUE(SameFrame(frames[i], animation, animation.frames[i])) << width << " x " << height;
          EXPECT_EQ(animation.frames[i].delay, 3);
        }
        ++cases;
      }
    }
  }
  EXPECT_EQ(cases, 225);
}

std::vector<FrameBitmap> TicksOfARun(int ticks, int width, int height) {
  auto field = std::make_unique<ParticleField>();
  SetStartValues(*field);
  RandomSource random(12);
  field->InitialRadius = 150;
  Scatter(*field, random);
  field->ParticleCount = 2500;
  std::vector<FrameBitmap> frames(static_cast<std::size_t>(ticks));
  FrameBitmap bitmap;
  for (FrameBitmap& frame : frames) {
    EXPECT_EQ(RunTick(*field, bitmap, width, height, true), StepFault::kNone);
    frame.Resize(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) frame.Pixels()[static_cast<std::size_t>(y) * frame.Stride() + x] = bitmap.PixelAt(x, y);
    }
  }
  return frames;
}

std::uint64_t Fnv1a(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) hash = (hash ^ static_cast<std::uint8_t>(c)) * 1099511628211ull;
  return hash;
}

// A run's recording is the same file on every processor and in every
// program: the header, the loop, the two colours and each tick's frame.
TEST(GifEncoderTest, ARunRecordsToTheSameBytesEverywhere) {
  const std::vector<FrameBitmap> frames = TicksOfARun(5, 660, 440);
  const std::string bytes = Encode(frames, GifDelay(16));
  const Animation animation = StrictReader(bytes).Read();
  ASSERT_EQ(animation.problem, "");
  EXPECT_EQ(animation.width, 660);
  EXPECT_EQ(animation.height, 440);
  EXPECT_EQ(animation.colors, (std::vector<std::uint32_t>{0x000000, 0xFFFFFF}));
  EXPECT_EQ(animation.loops, 0);
  ASSERT_EQ(animation.frames.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(SameFrame(frames[i], animation, animation.frames[i]));
  EXPECT_EQ(Fnv1a(bytes), 0x289654f0db84ef99u) << std::hex << Fnv1a(bytes) << " of " << std::dec << bytes.size() << " bytes";
}

TEST(GifEncoderTest, DelaysAreTheNearestPlayersShow) {
  EXPECT_EQ(GifDelay(1), kFastestGifDelay);
  EXPECT_EQ(GifDelay(16), kFastestGifDelay);
  EXPECT_EQ(GifDelay(24), 2);
  EXPECT_EQ(GifDelay(26), 3);
  EXPECT_EQ(GifDelay(256), 26);
  EXPECT_EQ(GifDelay(4096), 410);
}

#ifdef ZINTREL_HAVE_GIFLIB
// A well-kept decoder reads the same frames.
TEST(GifEncoderTest, GiflibReadsTheSameFrames) {
  const std::vector<FrameBitmap> frames = TicksOfARun(3, 320, 200);
  std::string bytes = Encode(frames, 7);
  struct Source {
    const std::string* bytes;
    std::size_t at;
  } source{&bytes, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(
      &source,
      [](GifFileType* file, GifByteType* into, int size) {
        auto* from = static_cast<Source*>(file->UserData);
        const int given = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(size), from->bytes->size() - from->at));
        std::copy_n(from->bytes->data() + from->at, given, into);
        from->at += static_cast<std::size_t>(given);
        return given;
      },
      &error);
  ASSERT_NE(gif, nullptr) << GifErrorString(error);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  ASSERT_EQ(gif->ImageCount, 3);
  std::vector<GifByteType> screen(320 * 200);
  for (int i = 0; i < gif->ImageCount; ++i) {
    GraphicsControlBlock control;
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 7);
    const SavedImage& image = gif->SavedImages[i];
    const GifImageDesc& place = image.ImageDesc;
    for (int y = 0; y < place.Height; ++y) {
      std::copy_n(image.RasterBits + y * place.Width, place.Width, screen.begin() + (place.Top + y) * 320 + place.Left);
    }
    int differing = 0;
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < 320; ++x) {
        const GifColorType color = gif->SColorMap->Colors[screen[static_cast<std::size_t>(y) * 320 + x]];
        const std::uint32_t rgb = static_cast<std::uint32_t>(color.Red) << 16 | color.Green << 8 | color.Blue;
        differing += rgb != (frames[static_cast<std::size_t>(i)].PixelAt(x, y) & 0xFFFFFF);
      }
    }
    EXPECT_EQ(differing, 0) << "frame " << i;
  }
  DGifCloseFile(gif, &error);
}
#endif

}  // namespace
}  // namespace zintrel
