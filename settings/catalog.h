#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zintrel {

// Every text a person reads in the windows is written in English in the code
// and looked up in the catalog of the user interface language, built into
// the program from settings/po/LANGUAGE.po; English needs no catalog. The
// catalogs are read with gettext's tools, so the marker below is the keyword
// xgettext collects: only literals passed to Tr reach a translator.

// Returns text (UTF-8) in the user interface language, or text itself where
// that language has no translation for it.
const char* Tr(const char* text);

// Marks text for the catalogs where it is stored rather than shown, as in a
// table of controls; the shell looks it up with Tr when it shows it.
constexpr const char* TrNoop(const char* text) { return text; }

// Returns pattern with %1$s ... %9$s replaced by the arguments and %% by %.
// Numbered so that a translation may put them in its own order.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> arguments);

// The language of the English texts in the code.
inline constexpr char kSourceLanguage[] = "en";

// Returns the languages the programs speak: English and one per catalog.
std::vector<std::string> KnownLanguages();

// Makes language ("ja", or one of KnownLanguages) the user interface
// language; anything else gives English.
void SetUiLanguage(const std::string& language);
const std::string& UiLanguage();

}  // namespace zintrel
