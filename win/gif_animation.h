#pragma once

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <vector>

namespace zintrel {

// An animated GIF played as a browser plays it, over the platform's
// decoder (WIC): each frame is a rectangle drawn over what the one before
// left, after that one's disposal (left in place, cleared to the
// background, or put back as it was), shown for its own delay, looping for
// ever. The frames are composed once, as the animation is read, and each
// is kept as the runs of pixels it changes, so that playing only writes
// those: a frame's rectangle is often the whole picture, most of it as it
// was.
class GifAnimation {
 public:
  // Reads the animation in bytes. Throws std::runtime_error with the
  // decoder's reason when it cannot.
  GifAnimation(IWICImagingFactory& factory, const void* bytes, DWORD size);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The picture shown now, top-down rows of Width() pixels, 0x00RRGGBB.
  const std::uint32_t* Pixels() const { return canvas_.data(); }

  // Shows the first frame from now (milliseconds of one steady clock) on.
  void Start(ULONGLONG now);
  // Shows the frames due by now; returns whether the picture changed.
  bool Advance(ULONGLONG now);
  // Returns when the next frame is due.
  ULONGLONG NextDue() const { return due_; }

 private:
  struct Frame {
    int delay = 0;  // Milliseconds it is shown.
    // What it changes from the frame before (for the first, from the empty
    // screen): runs of pixels of one colour, each as three numbers of seven
    // bits a byte, the pixels skipped since the run before, its length and
    // its colour's index in colors_; a byte or so each for these pictures.
    std::vector<std::uint8_t> changes;
  };
  // What the GIF says of a frame's rectangle and how it leaves the screen.
  struct FrameControl {
    int left = 0, top = 0, width = 0, height = 0;
    int delay = 0;
    int disposal = 0;  // The GIF's: 2 clears to the background, 3 restores.
  };

  // Draws frame index onto screen, first keeping in saved what it covers
  // where it will restore that; returns its control.
  FrameControl Compose(IWICImagingFactory& factory, IWICBitmapDecoder& decoder, UINT index,
                       std::vector<std::uint32_t>& saved, std::vector<std::uint32_t>& screen) const;
  // Leaves screen as frame's disposal says once it has been shown.
  void Dispose(const FrameControl& frame, const std::vector<std::uint32_t>& saved, std::uint32_t background,
               std::vector<std::uint32_t>& screen) const;
  std::vector<std::uint8_t> Changes(const std::vector<std::uint32_t>& from, const std::vector<std::uint32_t>& to);
  void Apply(const std::vector<std::uint8_t>& changes);

  int width_ = 0;
  int height_ = 0;
  std::uint32_t background_ = 0;
  std::vector<Frame> frames_;
  // From the last frame back to the first.
  std::vector<std::uint8_t> loopChanges_;
  // The colours the changes use, 0x00RRGGBB.
  std::vector<std::uint32_t> colors_;
  std::vector<std::uint32_t> canvas_;
  UINT shown_ = 0;
  ULONGLONG due_ = 0;
};

}  // namespace zintrel
