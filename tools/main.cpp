// zintrel-headless: runs the application's tick without a window and writes
// states, frames and timings. Everything but the process set-up lives in the
// headless library, where the tests reach it.

#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "tools/headless_run.h"

int main(int argc, char* argv[]) {
  // Decodes the arguments from the locale's encoding; no window system is
  // touched, so no display is needed.
  QCoreApplication application(argc, argv);
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
  return zintrel::RunHeadless(arguments, std::cout, std::cerr);
}
