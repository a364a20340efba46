// The numbers of the program's own resources, read by the resource compiler
// and by the code alike: plain definitions only.
#pragma once

// The Open link dialog and its controls.
#define ZINTREL_OPEN_LINK_DIALOG 200
#define ZINTREL_OPEN_LINK_PROMPT 201
#define ZINTREL_OPEN_LINK_ADDRESS 202
