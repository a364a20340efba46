#pragma once

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <vector>

namespace zintrel {

// An animated GIF played as a browser plays it, over the platform's
// decoder (WIC): each frame is a rectangle drawn over what the one before
// left, after that one's disposal (left in place, cleared to the
// background, or put back as it was), shown for its own delay, looping for
// ever. The frames are decoded once, as the animation is read, and kept
// run-length coded, so that playing only composes: the gallery's thumbnails
// hold 92 MB of pixels as one byte each, mostly long runs of the background.
class GifAnimation {
 public:
  // Reads the animation in bytes, which must outlive it (a resource does).
  // Throws std::runtime_error with the decoder's reason when it cannot.
  GifAnimation(IWICImagingFactory& factory, const void* bytes, DWORD size);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The picture shown now, top-down rows of Width() pixels, 0x00RRGGBB.
  const std::uint32_t* Pixels() const { return canvas_.data(); }

  // Starts the first frame at now (milliseconds of one steady clock).
  void Start(ULONGLONG now);
  // Shows the frames due by now; returns whether the picture changed.
  bool Advance(ULONGLONG now);
  // Returns when the next frame is due.
  ULONGLONG NextDue() const { return due_; }

 private:
  struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    int delay = 0;        // Milliseconds it is shown.
    int disposal = 0;     // The GIF's: 2 clears to the background, 3 restores.
    int transparent = -1; // The palette index drawn as nothing, or -1.
    std::size_t palette = 0;           // Into palettes_.
    std::vector<std::uint8_t> runs;    // Pairs of (length 1 .. 255, index).
  };

  void Decode(Frame& frame, UINT index);
  void Dispose(const Frame& frame);
  void Draw(UINT index);
  void Clear();

  Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
  Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder_;
  int width_ = 0;
  int height_ = 0;
  std::uint32_t background_ = 0;
  std::vector<Frame> frames_;
  std::vector<std::array<std::uint32_t, 256>> palettes_;
  std::vector<std::uint32_t> canvas_;
  // What a frame that restores its area covered, kept while it is shown.
  std::vector<std::uint32_t> saved_;
  UINT shown_ = 0;
  ULONGLONG due_ = 0;
};

}  // namespace zintrel
