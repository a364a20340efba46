// zintrel-headless: runs the application's tick without a window and writes
// states, frames and timings. Everything but the process set-up lives in the
// headless library, where the tests reach it.

#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "tools/headless_run.h"
#include "tools/stop_signal.h"

int main(int argc, char* argv[]) {
  // First of all, so that a stop signal never finds the default action
  // while there is something to clean up.
  if (!zintrel::InstallStopHandlers()) {
    std::cerr << "zintrel-headless: cannot install the signal handlers\n";
    return zintrel::kExitBadInput;
  }
  // Decodes the arguments from the locale's encoding; no window system is
  // touched, so no display is needed.
  QCoreApplication application(argc, argv);
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
  return zintrel::RunHeadless(arguments, std::cout, std::cerr);
}
