#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "render/frame_bitmap.h"
#include "settings/display_texts.h"
#include "win/full_screen.h"

namespace zintrel {

class TForm1;
class StateDropTarget;
class GalleryWindow;

// Returns the whole factor frame pixels are enlarged by at dpi, rounded as
// the Linux program rounds: at 150 % the frame is enlarged 2 x 2, never
// stretched by a fraction.
int FrameZoomAt(UINT dpi);

// The message by which a dropped file is opened once the drop is over.
inline constexpr UINT kOpenDroppedMessage = WM_APP + 2;

// The display window, Form2. It shows the frame the latest tick drew, one
// frame pixel per pixel enlarged by the whole factor nearest the monitor's
// scale, as the Linux program does. Closing it hides it and the ticks go
// on; the settings window's Play / Pause brings it back. Its own additions
// are the menu (right click, the Menu key) with its shortcuts, full screen
// among them (F11, Esc to leave), the gallery, and opening a state file dropped on
// either window.
class TForm2 {
 public:
  TForm2(HINSTANCE instance, const FrameBitmap& bitmap, TForm1& form1);
  ~TForm2();

  HWND Handle() const { return window_; }
  // The right-click menu.
  HMENU Menu() const { return menu_; }

  // Returns the client size the ticks measure, in frame pixels: the size it
  // had before while minimised, the last size while hidden.
  SIZE FieldSize() const;
  // Returns the largest client area, in frame pixels, the window can have on
  // its monitor.
  SIZE Room() const;
  // Gives the window a client area of size frame pixels, bringing it back
  // first if minimised, maximised or full screen; returns the size it got, smaller where
  // the screen has no room, larger where no window is that small.
  SIZE SetFieldSize(SIZE size);

  void ShowIfHidden();
  // Copies the frame onto the window at once, as the tick's last step.
  void CopyFrame();

  // Translates the menu's shortcuts for a message meant for this window.
  bool TranslateShortcut(MSG& message);

  // The menu's actions; failures show in the box and change nothing.
  bool SaveState(const std::wstring& path);
  bool OpenState(const std::wstring& path);
  bool SavePicture(const std::wstring& path);
  bool CopyPicture();
  // Puts the run's link on the clipboard.
  bool CopyLink();
  // Starts the run of a link and gives the window its size.
  bool OpenLink(const std::wstring& address);
  // Opens the gallery, or brings it to the front where it is open.
  void ShowGallery();
  // The gallery while it is open, or nullptr.
  const GalleryWindow* Gallery() const { return gallery_.get(); }
  // Records every tick's frame into an animated GIF at path until
  // StopRecording; see SettingsPanel::StartRecording.
  void StartRecording(const std::wstring& path);
  // Ends the recording with its file whole; a failure shows in the box.
  // Returns whether it was saved.
  bool StopRecording();
  // Shows what a recording adds to the title ("" for none), and has the
  // menu offer Record… or Stop recording as the recording stands.
  void ShowRecordingStatus(const std::string& status);

  // The drop target of both windows; the settings window registers it for
  // its own.
  IDropTarget* DropTarget() const;

 private:
  template <typename Window>
  friend LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnContextMenu(POINT where);
  void OnCommand(int id);
  // The whole factor frame pixels are enlarged by on this window's monitor.
  int Zoom() const;
  // Returns the path the user chose for request, or "".
  std::wstring Ask(FileRequest request);
  void UpdateRecordItem();
  // Gives the window the size of the field just opened, where the screen
  // has room, and says so where it has not.
  void ShowAtFieldSize();
  // Opens the file dropped last, after its drop has returned.
  void OpenDroppedFile();

  const FrameBitmap& bitmap_;
  TForm1& form1_;
  HWND window_ = nullptr;
  HMENU menu_ = nullptr;
  HACCEL shortcuts_ = nullptr;
  FullScreen fullScreen_;
  // The folders last used in this session; nothing is remembered beyond it.
  std::wstring stateFolder_;
  std::wstring pictureFolder_;
  // The size the ticks measured last while the window was not minimised.
  mutable SIZE lastSize_{660, 440};
  StateDropTarget* dropTarget_ = nullptr;
  std::wstring droppedFile_;
  std::wstring title_;
  // Whether the menu offers Stop recording rather than Record….
  bool recordItemStopping_ = false;
  std::unique_ptr<GalleryWindow> gallery_;
  // The run the gallery showed selected when it closed, selected again when
  // it opens.
  int galleryEntry_ = 0;
};

}  // namespace zintrel
