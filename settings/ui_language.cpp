#include "settings/ui_language.h"

#include <algorithm>

#include "settings/catalog.h"

namespace zintrel {

std::string MatchLanguage(std::string_view locale) {
  // "ll_TT.codeset@modifier": the codeset and modifier say nothing about the
  // language of the texts.
  locale = locale.substr(0, std::min(locale.find('.'), locale.find('@')));
  std::string name(locale);
  std::replace(name.begin(), name.end(), '-', '_');
  const auto known = [](const std::string& candidate) {
    const std::vector<std::string> languages = KnownLanguages();
    return !candidate.empty() && std::find(languages.begin(), languages.end(), candidate) != languages.end();
  };
  if (known(name)) return name;
  if (const std::string language = name.substr(0, name.find('_')); known(language)) return language;
  return {};
}

std::string LanguageFromEnvironment(const std::function<const char*(const char*)>& variable) {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = variable(name);
    if (value == nullptr || *value == '\0') continue;
    std::string_view preferences(value);
    while (!preferences.empty()) {
      const std::size_t colon = std::min(preferences.find(':'), preferences.size());
      if (std::string language = MatchLanguage(preferences.substr(0, colon)); !language.empty()) return language;
      preferences.remove_prefix(std::min(colon + 1, preferences.size()));
    }
    break;
  }
  return kSourceLanguage;
}

}  // namespace zintrel
