#include "win/gif_animation.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "recording/gif_encoder.h"
#include "render/frame_bitmap.h"

namespace zintrel {
namespace {

constexpr int kWidth = 4;
constexpr int kHeight = 3;
constexpr int kDelay = 5;  // Hundredths of a second.

// A frame of the pen ('#') on the brush ('.'), rows top to bottom.
FrameBitmap Frame(const char* rows) {
  FrameBitmap frame;
  frame.Resize(kWidth, kHeight);
  for (int i = 0; i < kWidth * kHeight; ++i) frame.Pixels()[i] = rows[i] == '#' ? frame.PenColor : frame.BrushColor;
  return frame;
}

// Sets the disposal and the transparent index of the graphic control block
// that starts an encoded frame: the encoder itself writes neither.
std::string WithControl(std::string encoded, int disposal, int transparent) {
  encoded[3] = static_cast<char>((disposal << 2) | (transparent >= 0 ? 1 : 0));
  if (transparent >= 0) encoded[6] = static_cast<char>(transparent);
  return encoded;
}

std::string Shown(const GifAnimation& animation) {
  std::string rows;
  for (int i = 0; i < kWidth * kHeight; ++i) rows += (animation.Pixels()[i] & 0xFFFFFF) == 0xFFFFFF ? '#' : '.';
  return rows;
}

// Each frame holds only what changed, as the recordings' encoder writes it;
// the frames' controls then say how each leaves the screen, as other GIFs'
// do: the picture shown must be what a browser shows.
TEST(GifAnimationTest, ComposesRectanglesAsTheirDisposalAndTransparencySay) {
  const struct {
    const char* drawn;  // The whole frame the encoder is given.
    int disposal;
    int transparent;    // The index drawn as nothing, or -1.
    const char* shown;  // What the animation shows while it is due.
  } frames[] = {
      {"....""....""....", 1, -1, "....""....""...."},
      // Restored to what was there once the next frame comes.
      {"...."".#..""....", 3, -1, "...."".#..""...."},
      // Only the rectangle at (2, 2) is drawn: the pixel above it is put
      // back; then cleared to the background.
      {"...."".#..""..#.", 2, -1, "....""....""..#."},
      {"#..."".#..""..#.", 1, -1, "#...""....""...."},
      // The brush is transparent here: the pixel at (0, 0) stays the pen.
      {".#.."".#..""..#.", 1, 0, "##..""....""...."},
  };
  std::string file = GifHeader(kWidth, kHeight, 0x000000, 0xFFFFFF);
  GifFrameEncoder encoder;
  for (const auto& frame : frames) {
    file += WithControl(encoder.Encode(Frame(frame.drawn), kDelay), frame.disposal, frame.transparent);
  }
  file += GifTrailer();

  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&factory))));
    GifAnimation animation(*factory.Get(), file.data(), static_cast<DWORD>(file.size()));
    ASSERT_EQ(animation.Width(), kWidth);
    ASSERT_EQ(animation.Height(), kHeight);
    animation.Start(1000);
    ULONGLONG now = 1000;
    for (std::size_t i = 0; i < std::size(frames); ++i) {
      if (i > 0) {
        EXPECT_TRUE(animation.Advance(now));
      }
      EXPECT_EQ(Shown(animation), frames[i].shown) << "frame " << i;
      EXPECT_EQ(animation.NextDue(), now + 10 * kDelay);
      // Not yet due: nothing changes.
      EXPECT_FALSE(animation.Advance(now + 10 * kDelay - 1));
      now += 10 * kDelay;
    }
    // The loop starts again on an empty screen.
    EXPECT_TRUE(animation.Advance(now));
    EXPECT_EQ(Shown(animation), frames[0].shown);
  }
  CoUninitialize();
}

}  // namespace
}  // namespace zintrel
