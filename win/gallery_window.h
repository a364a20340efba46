#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "win/gif_animation.h"

namespace zintrel {

// The message by which the gallery tells its owner it has closed, after it
// has hidden itself; the owner then destroys it, outside its handlers.
inline constexpr UINT kGalleryClosedMessage = WM_APP + 3;

// The gallery: every run of settings/gallery.h as its thumbnail, playing,
// with its name in the user's language under it, in a grid that scrolls.
// The arrows, Tab, Home, End and the page keys move the selection, Enter or
// a click chooses a run, Esc closes. Choosing starts the run and closes the
// window: the run is what the user came for, and the display window, which
// takes the run's size, is no longer covered, nor the thumbnails' drawing
// spent beside it. Ctrl+G brings the gallery back at the run chosen last.
class GalleryWindow {
 public:
  // Opens the window over owner with run selected; choose starts a run's
  // link and says whether it started.
  GalleryWindow(HWND owner, int selected, std::function<bool(const std::string& link)> choose);
  ~GalleryWindow();
  GalleryWindow(const GalleryWindow&) = delete;
  GalleryWindow& operator=(const GalleryWindow&) = delete;

  HWND Handle() const { return window_; }
  int Selected() const { return selected_; }
  // The names shown under the thumbnails, in order.
  const std::vector<std::wstring>& Names() const { return names_; }

 private:
  template <typename Window>
  friend LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnTimer();
  void OnKey(WPARAM key);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void LayOut();
  void ScrollTo(int position);
  void Select(int entry);
  void Choose(int entry);
  void Close();
  void ArmTimer();
  // Reads the thumbnails in order on the reading thread, handing each over
  // and telling window.
  void ReadThumbnails(HWND window, const std::vector<std::size_t>& order);
  // Starts the thumbnails read so far.
  void TakeThumbnails();
  // The entry under a point of the client area, or -1.
  int EntryAt(POINT point) const;
  // An entry's thumbnail and the entry with its name, in client pixels.
  RECT PictureRect(int entry) const;
  RECT EntryRect(int entry) const;

  HWND owner_ = nullptr;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  UINT dpi_ = 96;
  std::function<bool(const std::string&)> choose_;
  std::vector<std::wstring> names_;
  // nullptr until read, or where a thumbnail cannot be read.
  std::vector<std::unique_ptr<GifAnimation>> animations_;
  std::thread reader_;
  std::atomic<bool> stopReading_{false};
  std::mutex readMutex_;
  // Read and not yet taken, under readMutex_.
  std::vector<std::pair<std::size_t, std::unique_ptr<GifAnimation>>> read_;
  int selected_ = 0;
  int pressed_ = -1;
  // The grid, in client pixels at the window's dpi.
  int zoom_ = 1;
  int columns_ = 1;
  int gap_ = 12;
  int labelHeight_ = 24;
  int cellWidth_ = 0;
  int cellHeight_ = 0;
  int left_ = 0;
  int scroll_ = 0;
  int contentHeight_ = 0;
};

}  // namespace zintrel
