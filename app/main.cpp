#include <QApplication>

#include "app/program.h"

// Takes no command-line options, reads no files or settings and writes
// nothing: the animation on screen is the program's only output.
int main(int argc, char* argv[]) {
  // Whole scale factors only: on a 150 % screen the frame is enlarged 2 x 2
  // (or shown 1:1), never stretched by a fraction, which would blur or
  // unevenly repeat its pixels.
  QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  QApplication application(argc, argv);
  zintrel::PrepareApplication(application);
  zintrel::Program program;
  return application.exec();
}
