// zintrel-explore: tries many runs of the simulation, keeps those unlike
// each other, and writes their links, measures and thumbnails. Everything
// but the process set-up lives in the explore library, where the tests
// reach it.

#include "tools/explore_program.h"
#include "tools/tool_main.h"

int main(int argc, char* argv[]) { return zintrel::RunToolMain(argc, argv, "zintrel-explore", zintrel::RunExplore); }
