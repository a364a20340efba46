#include "app/app_icon.h"

#include <QPixmap>

namespace zintrel {
namespace {

// The picture lives in its own file, which the Windows build turns into its
// icon resource.
#include "app/zintrel_icon.xpm"


}  // namespace

QIcon ZintrelIcon() { return QIcon(QPixmap(zintrel_icon)); }

const char* const* ZintrelIconXpm() { return zintrel_icon; }

}  // namespace zintrel
