#pragma once

#include <QIcon>

namespace zintrel {

// Returns the program's icon, a 32 x 32 picture in black and white.
QIcon ZintrelIcon();

}  // namespace zintrel
