// Drags files as a file manager does, for the tests that drop them on the
// real programs: a small window that, once pressed, drags the files named on
// its command line (offering a copy, a move or a link), then prints what the
// target answered, "copy", "move", "link" or "none", and ends a second
// later: an X drag ends before the target has read the data, which the
// source goes on handing out until then.
//
//   drag_files FILE...   (the window is titled "drag_files")

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource : public QWidget {
 public:
  explicit DragSource(QList<QUrl> files) : files_(std::move(files)) {}

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls(files_);
    drag->setMimeData(data);
    const Qt::DropAction answer = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    std::puts(answer == Qt::CopyAction   ? "copy"
              : answer == Qt::MoveAction ? "move"
              : answer == Qt::LinkAction ? "link"
                                         : "none");
    std::fflush(stdout);
    QTimer::singleShot(1000, qApp, &QApplication::quit);
  }

 private:
  QList<QUrl> files_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QList<QUrl> files;
  for (int i = 1; i < argc; ++i) files << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
  DragSource source(files);
  source.setWindowTitle(QStringLiteral("drag_files"));
  source.resize(120, 120);
  // In the screen's corner, clear of the windows the files are dropped on.
  source.move(source.screen()->availableGeometry().bottomRight() - QPoint(160, 180));
  source.show();
  return application.exec();
}
