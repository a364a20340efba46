#include "tools/tool_main.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "tools/headless_run.h"
#include "tools/stop_signal.h"

namespace zintrel {

int RunToolMain(int argc, char* argv[], const char* name, ToolProgram program) {
  // First of all, so that a stop signal never finds the default action
  // while there is something to clean up.
  if (!InstallStopHandlers()) {
    std::cerr << name << ": cannot install the signal handlers\n";
    return kExitBadInput;
  }
  // An output that is a pipe whose reader went away is a failed write, told
  // with its reason (EPIPE) like any other, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  int status = 0;
  {
    // No window system is touched, so no display is needed. The arguments
    // are taken as the bytes given: a file's name need not be UTF-8.
    QCoreApplication application(argc, argv);
    const std::vector<std::string> arguments(argv, argv + argc);
    status = program(arguments, std::cout, std::cerr);
  }
  // A stopped run has cleaned up and said so; it now dies of its signal, as
  // a program without handlers would have. A shell tells the two apart:
  // bash, for one, ends a loop on Ctrl-C only when the command in it was
  // killed by the signal, while both read as status 128 + n. A signal that
  // came too late to stop the run (status 0) is not passed on.
  const int signal = StopSignal();
  if (signal != 0 && status == kExitSignalBase + signal) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    EndBySignal(signal);
  }
  return status;
}

}  // namespace zintrel
