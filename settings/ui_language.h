#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zintrel {

// Returns the known language (KnownLanguages) a locale name speaks, trying
// language and territory first and then the language alone: "ja_JP.UTF-8",
// "ja-JP" and "ja" all give "ja". Returns "" when none is known.
std::string MatchLanguage(std::string_view locale);

// Returns the user interface language the environment asks for, as gettext
// reads it: the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set
// and not empty decides, whether or not that locale is installed. LANGUAGE
// is a list of preferences ("fr:ja") whose first known entry wins. English
// where the deciding variable names no known language ("C", "de_DE").
// variable(name) returns a variable's value or null.
std::string LanguageFromEnvironment(const std::function<const char*(const char*)>& variable);

}  // namespace zintrel
