#include "app/japanese_font.h"

#include <QStringList>

namespace zintrel {

void InstallJapaneseFontSubstitution() {
  // Proportional fonts first: the layout was made for a proportional face.
  QFont::insertSubstitutions(QString::fromUtf8(kJapaneseUiFamily),
                             {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                              QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                              QStringLiteral("TakaoPGothic")});
}

QFont JapaneseUiFont() {
  QFont font(QString::fromUtf8(kJapaneseUiFamily));
  font.setPixelSize(12);
  return font;
}

}  // namespace zintrel
