#include "app/display_menu.h"

#include <QAction>
#include <cstdio>
#include <QBuffer>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QStandardPaths>

#include "app/gallery_window.h"
#include "app/unit21.h"
#include "app/unit23.h"
#include "settings/catalog.h"
#include "settings/display_texts.h"
#include "settings/panel_layout.h"
#include "state/saved_file.h"

namespace zintrel {
namespace {

QString StartFolder(QStandardPaths::StandardLocation location) {
  const QString folder = QStandardPaths::writableLocation(location);
  return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

// A name that does not overwrite the last one saved a minute ago.
QString ProposedName(const char* suffix) {
  const QDateTime now = QDateTime::currentDateTime();
  return QString::fromStdString(ProposedFileName(now.date().year(), now.date().month(), now.date().day(),
                                                 now.time().hour(), now.time().minute(), now.time().second(),
                                                 suffix));
}

const char* SuffixOf(FileRequest request) {
  switch (request) {
    case FileRequest::kSavePicture: return "png";
    case FileRequest::kSaveRecording: return "gif";
    default: return kStateSuffix;
  }
}

// A recording's file: written as the frames come, under a temporary name,
// and put on its name whole when the recording ends. A window must not
// hang: a pipe with no reader is refused rather than waited for.
class FileSink : public RecordingSink {
 public:
  explicit FileSink(const std::string& path) : file_(path, false) {}
  std::string Write(std::string_view bytes) override { return file_.Write(bytes); }
  std::string Finish() override { return file_.Commit(); }

 private:
  SavedFile file_;
};

QString ChooseWithDialog(QWidget* parent, FileRequest request, const QString& folder, const QString& name) {
  QFileDialog dialog(parent);
  dialog.setDirectory(folder);
  const FileDialogTexts texts = DialogTexts(request);
  dialog.setWindowTitle(QString::fromStdString(texts.title));
  QStringList filters;
  for (int i = 0; i < texts.filterCount; ++i) filters << QString::fromStdString(texts.filters[i][0]);
  dialog.setNameFilters(filters);
  if (request == FileRequest::kOpenState) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QLatin1String(SuffixOf(request)));
    dialog.selectFile(name);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString Text(const std::string& line) { return QString::fromStdString(line); }

QString AskWithDialog(QWidget* parent, const QString& proposed) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8(Tr(kOpenLinkTitle)));
  dialog.setLabelText(QString::fromUtf8(Tr(kOpenLinkPrompt)));
  dialog.setTextValue(proposed);
  // Room for a whole link's fields at a glance.
  dialog.resize(dialog.fontMetrics().averageCharWidth() * 72, dialog.sizeHint().height());
  return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}


}  // namespace

QImage FrameImage(const FrameBitmap& bitmap) { return FrameView(bitmap).copy(); }

DisplayMenu::DisplayMenu(TForm1& form1, TForm2& form2, const FrameBitmap& bitmap)
    : form1_(form1), form2_(form2), bitmap_(bitmap), messages_(form1.Errors()) {
  chooser_ = [this](FileRequest request, const QString& folder, const QString& name) {
    return ChooseWithDialog(&form2_, request, folder, name);
  };
  linkAsker_ = [this](const QString& proposed) { return AskWithDialog(&form2_, proposed); };
  SaveStateAction = AddAction(Tr("Save state…"), QKeySequence(Qt::CTRL | Qt::Key_S), &DisplayMenu::AskAndSaveState);
  OpenStateAction = AddAction(Tr("Open state…"), QKeySequence(Qt::CTRL | Qt::Key_O), &DisplayMenu::AskAndOpenState);
  SavePictureAction = AddAction(Tr("Save picture…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                                &DisplayMenu::AskAndSavePicture);
  CopyPictureAction = AddAction(Tr("Copy picture"), QKeySequence(Qt::CTRL | Qt::Key_C), &DisplayMenu::CopyPicture);
  CopyLinkAction = AddAction(Tr(kDesktopCopyLinkItem.text), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
                             &DisplayMenu::CopyLink);
  OpenLinkAction = AddAction(Tr(kOpenLinkItem.text), QKeySequence(Qt::CTRL | Qt::Key_L), &DisplayMenu::AskAndOpenLink);
  GalleryAction = AddAction(Tr(kGalleryItem.text), QKeySequence(Qt::CTRL | Qt::Key_G), &DisplayMenu::ShowGallery);
  RecordAction = AddAction(Tr("Record…"), QKeySequence(Qt::CTRL | Qt::Key_R), &DisplayMenu::AskAndRecord);
  FullScreenAction = AddAction(Tr("Full screen"), QKeySequence(Qt::Key_F11), &DisplayMenu::ToggleFullScreen);
  // Right click and the Menu key both pop up the window's own actions.
  form2_.setContextMenuPolicy(Qt::ActionsContextMenu);
  for (QWidget* window : {static_cast<QWidget*>(&form1_), static_cast<QWidget*>(&form2_)}) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
  }
}

QAction* DisplayMenu::AddAction(const char* text, const QKeySequence& shortcut, void (DisplayMenu::*run)()) {
  auto* action = new QAction(QString::fromUtf8(text), &form2_);
  action->setShortcut(shortcut);
  action->setShortcutContext(Qt::WindowShortcut);
  // Through the box like every handler: nothing may unwind through Qt.
  connect(action, &QAction::triggered, this,
          [this, run] { RunGuarded(messages_, [this, run] { (this->*run)(); }, &form2_); });
  form2_.addAction(action);
  return action;
}

QString DisplayMenu::Ask(FileRequest request) {
  // Pictures and recordings start among the pictures, states among the
  // documents.
  const bool picture = request == FileRequest::kSavePicture || request == FileRequest::kSaveRecording;
  QString& folder = picture ? pictureFolder_ : stateFolder_;
  if (folder.isEmpty()) {
    folder = StartFolder(picture ? QStandardPaths::PicturesLocation : QStandardPaths::DocumentsLocation);
  }
  const QString name = request == FileRequest::kOpenState ? QString() : ProposedName(SuffixOf(request));
  const QString path = chooser_(request, folder, name);
  if (!path.isEmpty()) folder = QFileInfo(path).absolutePath();
  return path;
}

void DisplayMenu::AskAndSaveState() {
  if (const QString path = Ask(FileRequest::kSaveState); !path.isEmpty()) SaveState(path);
}

void DisplayMenu::AskAndOpenState() {
  if (const QString path = Ask(FileRequest::kOpenState); !path.isEmpty()) OpenState(path);
}

void DisplayMenu::AskAndSavePicture() {
  if (const QString path = Ask(FileRequest::kSavePicture); !path.isEmpty()) SavePicture(path);
}

void DisplayMenu::AskAndRecord() {
  if (form1_.Panel().Recording()) {
    StopRecording();
    return;
  }
  if (const QString path = Ask(FileRequest::kSaveRecording); !path.isEmpty()) StartRecordingAt(SystemPath(path));
}

void DisplayMenu::ToggleFullScreen() {
  // The window's size follows from here as from any resize: the next tick
  // measures it and rescales the field.
  if (!form2_.isFullScreen()) {
    maximizedBefore_ = form2_.isMaximized();
    form2_.showFullScreen();
  } else if (maximizedBefore_) {
    form2_.showMaximized();
  } else {
    form2_.showNormal();
  }
}

void DisplayMenu::StartRecordingAt(const std::string& path) {
  form1_.Panel().StartRecording(std::make_unique<FileSink>(path), path);
  UpdateRecordAction();
}

bool DisplayMenu::StopRecording() {
  const std::string problem = form1_.Panel().StopRecording();
  UpdateRecordAction();
  if (problem.empty()) return true;
  Report(problem);
  return false;
}

void DisplayMenu::UpdateRecordAction() {
  RecordAction->setText(QString::fromUtf8(form1_.Panel().Recording() ? Tr(kStopRecordingText) : Tr("Record…")));
}

DisplayMenu::~DisplayMenu() {
  // Quitting ends a recording with its file whole; no box can tell a
  // failure any more, so the terminal does.
  if (const std::string problem = form1_.Panel().StopRecording(); !problem.empty()) {
    std::fprintf(stderr, "zintrel: %s\n", problem.c_str());
  }
}

bool DisplayMenu::SaveStateAt(const std::string& path) {
  const std::string problem = SaveWholeFile(path, form1_.Panel().SavedStateText(), false);
  if (problem.empty()) return true;
  Report(SaveStateFailedText(path, problem));
  return false;
}

bool DisplayMenu::OpenStateAt(const std::string& path) {
  // The frame is never drawn larger than the window can be: a file may ask
  // for 16384 x 16384, a gigabyte of pixels no screen shows.
  const QSize room = Room();
  const AreaSize bound{room.width(), room.height()};
  if (const std::string problem = form1_.Panel().OpenStateFile(path, bound); !problem.empty()) {
    Report(problem);
    return false;
  }
  ShowAtFieldSize();
  return true;
}

QSize DisplayMenu::Room() const {
  // The frame around the client area is known once the window is shown.
  const QSize frame = form2_.frameGeometry().size() - form2_.geometry().size();
  const QScreen* screen = form2_.screen() ? form2_.screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().size() - frame : QSize(kUnboundedArea.width, kUnboundedArea.height);
}

void DisplayMenu::ShowAtFieldSize() {
  const QSize wanted(form1_.Field().FieldWidth, form1_.Field().FieldHeight);
  if (form2_.isMaximized() || form2_.isFullScreen()) form2_.showNormal();
  const AreaSize asked = form1_.Panel().AskedArea();
  const QSize given(asked.width, asked.height);
  form2_.resize(given);
  if (form2_.isHidden()) {
    form2_.show();
    form2_.activateWindow();
  }
  if (given != wanted) {
    Report(WindowTooSmallText(wanted.width(), wanted.height(), given.width(), given.height()),
           QMessageBox::Information);
  }
}

bool DisplayMenu::SavePictureAt(const std::string& path) {
  const QImage image = FrameImage(bitmap_);
  std::string problem = image.isNull() ? EmptyPictureReason() : std::string();
  if (problem.empty()) {
    // Encoded in memory, then written through the checked path: an encoder
    // writing to the file itself leaves its last buffer's fate unknown.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    problem = writer.write(image) ? SaveWholeFile(path, std::string_view(png.constData(), png.size()), false)
                                  : writer.errorString().toStdString();
  }
  if (problem.empty()) return true;
  Report(SavePictureFailedText(path, problem));
  return false;
}

void DisplayMenu::CopyPicture() {
  const QImage image = FrameImage(bitmap_);
  if (!image.isNull()) QGuiApplication::clipboard()->setImage(image);
}

void DisplayMenu::CopyLink() {
  QGuiApplication::clipboard()->setText(Text(LinkAddress(form1_.Panel().LinkFragment())));
}

void DisplayMenu::AskAndOpenLink() {
  const QString proposed = Text(ReplayableLink(QGuiApplication::clipboard()->text().toStdString()));
  if (const QString address = linkAsker_(proposed); !address.isEmpty()) OpenLink(address);
}

bool DisplayMenu::OpenLink(const QString& address) {
  const QSize room = Room();
  const std::string problem = form1_.Panel().OpenLink(address.toStdString(), {room.width(), room.height()});
  if (!problem.empty()) {
    Report(problem);
    return false;
  }
  ShowAtFieldSize();
  return true;
}

void DisplayMenu::ShowGallery() {
  if (gallery_ == nullptr) {
    gallery_ = new GalleryWindow(&form2_, [this](const QString& link) {
      RunGuarded(messages_, [this, &link] { OpenLink(link); }, &form2_);
    });
  }
  gallery_->show();
  gallery_->raise();
  gallery_->activateWindow();
}

void DisplayMenu::Report(const std::string& message, QMessageBox::Icon icon) {
  messages_.Report(Text(message), icon, &form2_);
}

bool DisplayMenu::eventFilter(QObject* watched, QEvent* event) {
  const auto droppedFile = [](const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::string();
    return SystemPath(data->urls().constFirst());
  };
  // The title tells the recording's course, and its end whatever ends it:
  // the menu follows.
  if (watched == &form2_ && event->type() == QEvent::WindowTitleChange) UpdateRecordAction();
  if (watched == &form2_ && event->type() == QEvent::Close && form1_.Panel().Recording()) {
    // Closing the display window ends its recording, saved.
    RunGuarded(messages_, [this] { StopRecording(); }, &form1_);
  }
  // Esc leaves full screen, and only there does anything: a window with no
  // frame must be left without reaching for the menu.
  if (watched == &form2_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && form2_.isFullScreen()) {
    RunGuarded(messages_, [this] { ToggleFullScreen(); }, &form2_);
    return true;
  }
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (!droppedFile(drag->mimeData()).empty()) {
      drag->acceptProposedAction();
      return true;
    }
  } else if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const std::string path = droppedFile(drop->mimeData());
    if (!path.empty()) {
      drop->acceptProposedAction();
      RunGuarded(messages_, [this, &path] { OpenStateAt(path); }, &form2_);
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace zintrel
