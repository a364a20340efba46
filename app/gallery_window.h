#pragma once

#include <functional>
#include <vector>

#include <QDialog>

class QListWidget;
class QMovie;

namespace zintrel {

// The gallery: every run of GalleryRuns() as its thumbnail, playing, with
// its name in the user's language. Choosing one (a click, or Enter on the
// one with the focus) hands its link to open and closes the window, so that
// the run shows in the display window at once; Ctrl+G brings the gallery
// back for the next.
class GalleryWindow : public QDialog {
 public:
  using Opener = std::function<void(const QString& link)>;
  GalleryWindow(QWidget* parent, Opener open);

  QListWidget* List() const { return list_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Plays the thumbnails that can be seen and pauses the rest: a hidden
  // window or a scrolled-away row costs nothing.
  void PlayVisible();

  QListWidget* list_;
  std::vector<QMovie*> movies_;
  Opener open_;
};

}  // namespace zintrel
