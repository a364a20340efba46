#pragma once

#include <QIcon>

namespace zintrel {

// Returns the program's icon, a 32 x 32 picture in black and white.
QIcon ZintrelIcon();

// Returns the icon's picture as XPM text, the one source of every size of it.
const char* const* ZintrelIconXpm();

}  // namespace zintrel
