#include "app/gallery_window.h"

#include <QEvent>
#include <QListWidget>
#include <QMovie>
#include <QProxyStyle>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/japanese_font.h"
#include "settings/catalog.h"
#include "settings/gallery.h"
#include "settings/panel_layout.h"

namespace zintrel {
namespace {

// A gallery is chosen from with one click, as a link is followed, whatever
// the desktop does for lists of files.
class SingleClickStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_ItemView_ActivateItemOnSingleClick) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

constexpr QSize kThumbnail(240, 160);

}  // namespace

GalleryWindow::GalleryWindow(QWidget* parent, Opener open) : QDialog(parent), open_(std::move(open)) {
  setObjectName(QStringLiteral("Gallery"));
  setWindowTitle(QString::fromUtf8(Tr(kGalleryTitle)));
  setFont(JapaneseUiFont());
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("GalleryList"));
  auto* style = new SingleClickStyle;
  style->setParent(list_);
  list_->setStyle(style);
  list_->setViewMode(QListView::IconMode);
  list_->setMovement(QListView::Static);
  list_->setResizeMode(QListView::Adjust);
  list_->setWrapping(true);
  list_->setUniformItemSizes(true);
  list_->setIconSize(kThumbnail);
  const int nameHeight = list_->fontMetrics().height() * 2;
  list_->setGridSize(kThumbnail + QSize(16, nameHeight + 12));
  list_->setSpacing(4);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  list_->setStyleSheet(QStringLiteral("QListWidget { background: #2b2b2b; color: #e8e8e8; }"));
  for (const GalleryRun& run : GalleryRuns()) {
    auto* item = new QListWidgetItem(QString::fromUtf8(Tr(run.name.c_str())), list_);
    item->setData(Qt::UserRole, QString::fromStdString(run.link));
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto* movie = new QMovie(QStringLiteral(":/gallery/") + QString::fromStdString(run.thumbnail), QByteArray(), this);
    // A frame at a time, never the whole thumbnail held decoded.
    movie->setCacheMode(QMovie::CacheNone);
    connect(movie, &QMovie::frameChanged, this, [item, movie] { item->setIcon(QIcon(movie->currentPixmap())); });
    movie->jumpToFrame(0);
    item->setIcon(QIcon(movie->currentPixmap()));
    movies_.push_back(movie);
  }
  list_->setCurrentRow(0);
  connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const QString link = item->data(Qt::UserRole).toString();
    accept();
    open_(link);
  });
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { PlayVisible(); });
  list_->viewport()->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  // Four thumbnails across and two rows and a half down, where the screen
  // has room for them.
  resize(list_->gridSize().width() * 4 + list_->verticalScrollBar()->sizeHint().width() + 24,
         list_->gridSize().height() * 5 / 2);
}

bool GalleryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize) PlayVisible();
  return QDialog::eventFilter(watched, event);
}

void GalleryWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PlayVisible();
}

void GalleryWindow::hideEvent(QHideEvent* event) {
  for (QMovie* movie : movies_) movie->setPaused(true);
  QDialog::hideEvent(event);
}

void GalleryWindow::PlayVisible() {
  const QRect seen = list_->viewport()->rect();
  for (int row = 0; row < list_->count(); ++row) {
    QMovie* movie = movies_[static_cast<std::size_t>(row)];
    const bool visible = isVisible() && seen.intersects(list_->visualItemRect(list_->item(row)));
    if (visible && movie->state() == QMovie::NotRunning) {
      movie->start();
    } else {
      movie->setPaused(!visible);
    }
  }
}

}  // namespace zintrel
