#pragma once

#include <QFont>

namespace zintrel {

// The family the windows ask for. It exists only on Japanese Windows, so
// InstallJapaneseFontSubstitution maps it onto fonts a Linux system has.
inline constexpr char kJapaneseUiFamily[] = "ＭＳ Ｐゴシック";

// Maps kJapaneseUiFamily onto installed Japanese proportional gothic fonts,
// IPA P Gothic first, so the labels never fall back to a font without kana
// and kanji. Call once, after the application object exists.
void InstallJapaneseFontSubstitution();

// Returns the windows' font: kJapaneseUiFamily, 12 pixels high.
QFont JapaneseUiFont();

}  // namespace zintrel
