// zintrel-headless: runs the application's tick without a window and writes
// states, frames and timings. Everything but the process set-up lives in the
// headless library, where the tests reach it.

#include "tools/headless_run.h"
#include "tools/tool_main.h"

int main(int argc, char* argv[]) { return zintrel::RunToolMain(argc, argv, "zintrel-headless", zintrel::RunHeadless); }
