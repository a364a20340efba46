#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zintrel {

// A whole command-line program: takes the arguments (program name first),
// writes to out and err, and returns the exit status.
using ToolProgram = int (*)(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Runs program as main would, the same way for every command-line tool:
// the stop handlers installed before anything else, SIGPIPE ignored (a
// reader that went away is a failed write, told with its reason), no window
// system touched, and a run stopped by a signal ending by that signal once
// it has cleaned up. name starts the one line said when the handlers cannot
// be installed.
int RunToolMain(int argc, char* argv[], const char* name, ToolProgram program);

}  // namespace zintrel
