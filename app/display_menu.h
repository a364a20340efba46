#pragma once

#include <functional>

#include <QObject>
#include <QSize>
#include <QString>
#include <string>

#include "app/error_box.h"
#include "app/file_names.h"
#include "render/frame_bitmap.h"
#include "settings/display_texts.h"
#include "settings/settings_panel.h"

class QAction;
class QImage;

namespace zintrel {

class GalleryWindow;
class TForm1;
class TForm2;

// Asks the user for a path, starting in folder and proposing name (for a
// save); returns "" when the user cancels. The program shows a file dialog;
// tests answer without one.
using FileChooser = std::function<QString(FileRequest request, const QString& folder, const QString& name)>;

// Asks the user for a link's address, proposing proposed; returns "" when
// the user cancels. The program shows a dialog; tests answer without one.
using LinkAsker = std::function<QString(const QString& proposed)>;

// Returns the frame as an image of its own, one pixel per frame pixel.
QImage FrameImage(const FrameBitmap& bitmap);

// The display window's own additions: a context menu (right click or the
// Menu key) with shortcuts to save and open states, to save or copy the
// picture, to copy the run as a link and open one, to record and to show
// the window full screen, and opening a
// state file dropped on either window. A user who
// never touches them sees the windows exactly as they are without it.
class DisplayMenu : public QObject {
 public:
  DisplayMenu(TForm1& form1, TForm2& form2, const FrameBitmap& bitmap);

  QAction* SaveStateAction;    // Ctrl+S.
  QAction* OpenStateAction;    // Ctrl+O.
  QAction* SavePictureAction;  // Ctrl+Shift+S.
  QAction* CopyPictureAction;  // Ctrl+C.
  QAction* CopyLinkAction;     // Ctrl+Shift+C.
  QAction* OpenLinkAction;     // Ctrl+L.
  QAction* GalleryAction;      // Ctrl+G.
  QAction* RecordAction;       // Ctrl+R: Record… or Stop recording.
  QAction* FullScreenAction;   // F11: into full screen and out again; Esc also leaves it.

  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  void SetLinkAsker(LinkAsker asker) { linkAsker_ = std::move(asker); }

  // Each returns whether it succeeded; a failure is reported in the box and
  // leaves the program, and any file already at path, as they were. A path
  // as text is taken to the system's bytes by SystemPath; the ...At forms
  // take the bytes themselves (a command line's, a drop's).
  bool SaveState(const QString& path) { return SaveStateAt(SystemPath(path)); }
  bool OpenState(const QString& path) { return OpenStateAt(SystemPath(path)); }
  bool SavePicture(const QString& path) { return SavePictureAt(SystemPath(path)); }
  bool SaveStateAt(const std::string& path);
  bool OpenStateAt(const std::string& path);
  bool SavePictureAt(const std::string& path);
  void CopyPicture();
  // Puts the run's link on the clipboard.
  void CopyLink();
  // Starts the run of a link and gives the display window its size; returns
  // whether it could, a link that cannot be replayed told in the box.
  bool OpenLink(const QString& address);
  // Shows the gallery, made the first time it is asked for.
  void ShowGallery();
  // The gallery window, or nullptr before it was first shown.
  GalleryWindow* Gallery() const { return gallery_; }
  // Records every tick's frame into an animated GIF at path until
  // StopRecording; see SettingsPanel::StartRecording.
  void StartRecordingAt(const std::string& path);
  // Ends the recording, its file whole; returns whether it was saved.
  bool StopRecording();
  ~DisplayMenu() override;

  // The box in which failures and notices of these actions are shown: the
  // settings window's, so that one box at a time tells everything, here
  // over the display window.
  ErrorBox& Messages() { return messages_; }

 protected:
  // Accepts one dropped local file on either window and opens it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* AddAction(const char* text, const QKeySequence& shortcut, void (DisplayMenu::*run)());
  void AskAndSaveState();
  void AskAndOpenState();
  void AskAndSavePicture();
  void AskAndRecord();
  // Offers the link on the clipboard, if it holds one, to be opened.
  void AskAndOpenLink();
  // Shows the display window alone on its screen, or gives it back the
  // size and place it had, maximised if it was.
  void ToggleFullScreen();
  // Shows Record… or Stop recording, as the recording stands.
  void UpdateRecordAction();
  // Returns the path the user chose for request, or "".
  QString Ask(FileRequest request);
  // Reports message in the box, over the display window.
  void Report(const std::string& message, QMessageBox::Icon icon = QMessageBox::Critical);
  // Returns the largest client area the display window can have on its
  // screen.
  QSize Room() const;
  // Gives the display window the field's size as its client area where the
  // screen has room for it, and says so where it has not.
  void ShowAtFieldSize();

  TForm1& form1_;
  TForm2& form2_;
  const FrameBitmap& bitmap_;
  ErrorBox& messages_;
  FileChooser chooser_;
  LinkAsker linkAsker_;
  // The folders last used in this session; nothing is remembered beyond it.
  QString stateFolder_;
  QString pictureFolder_;
  // Whether the display window was maximised when it went full screen.
  bool maximizedBefore_ = false;
  GalleryWindow* gallery_ = nullptr;
};

}  // namespace zintrel
