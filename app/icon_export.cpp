// Writes the icon for the desktop menu into a hicolor theme folder: the
// 32 x 32 picture itself and nearest-neighbour enlargements of it, so every
// size shows the same crisp two-colour design.
//
//   zintrel-icon-export DIR   ->   DIR/<n>x<n>/apps/zintrel.png

#include <cstdio>

#include <QDir>
#include <QImage>
#include <QString>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zintrel-icon-export DIR\n");
    return 2;
  }
  const QImage picture(zintrel::ZintrelIconXpm());
  for (const int size : {32, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    const QImage image = picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/zintrel.png"))) {
      std::fprintf(stderr, "zintrel-icon-export: cannot write %s\n", qPrintable(folder));
      return 1;
    }
  }
  return 0;
}
