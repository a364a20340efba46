// zintrel-explore: tries many runs of the simulation, keeps those unlike
// each other, and writes their links, measures and thumbnails. Everything
// but the process set-up lives in the headless library, where the tests
// reach it.

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/explore_program.h"
#include "tools/headless_run.h"
#include "tools/stop_signal.h"

int main(int argc, char* argv[]) {
  if (!zintrel::InstallStopHandlers()) {
    std::cerr << "zintrel-explore: cannot install the signal handlers\n";
    return zintrel::kExitBadInput;
  }
  std::signal(SIGPIPE, SIG_IGN);
  int status = 0;
  {
    QCoreApplication application(argc, argv);
    const std::vector<std::string> arguments(argv, argv + argc);
    status = zintrel::RunExplore(arguments, std::cout, std::cerr);
  }
  // As zintrel-headless: a stopped run dies of its signal once it has
  // cleaned up, so that a shell loop stops on Ctrl-C.
  const int signal = zintrel::StopSignal();
  if (signal != 0 && status == zintrel::kExitSignalBase + signal) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    zintrel::EndBySignal(signal);
  }
  return status;
}
