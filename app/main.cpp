#include <QApplication>

#include "app/program.h"

// Takes no command-line options, reads no files or settings and writes
// nothing: the animation on screen is the program's only output.
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  zintrel::PrepareApplication(application);
  zintrel::Program program;
  return application.exec();
}
