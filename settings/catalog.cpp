#include "settings/catalog.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace zintrel {

// The compiled catalogs (gettext's MO format), generated at build time from
// settings/po/*.po, so that no file is looked up at run time.
struct EmbeddedCatalog {
  const char* language;
  const unsigned char* bytes;
  std::size_t size;
};
extern const EmbeddedCatalog kEmbeddedCatalogs[];
extern const std::size_t kEmbeddedCatalogCount;

namespace {

using Translations = std::unordered_map<std::string_view, const char*>;

std::uint32_t Word(const EmbeddedCatalog& catalog, std::size_t offset, bool swapped) {
  if (offset + 4 > catalog.size) return 0;
  std::uint32_t word;
  std::memcpy(&word, catalog.bytes + offset, 4);
  if (swapped) word = (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) | (word << 24);
  return word;
}

// Reads the pairs of an MO file: a header of seven words, then two tables of
// (length, offset) for the originals and the translations. The empty
// original holds the catalog's header, which is no text of the programs.
Translations Read(const EmbeddedCatalog& catalog) {
  Translations translations;
  const bool swapped = Word(catalog, 0, false) == 0xDE120495u;
  if (Word(catalog, 0, swapped) != 0x950412DEu) return translations;
  const std::uint32_t count = Word(catalog, 8, swapped);
  const std::uint32_t originals = Word(catalog, 12, swapped);
  const std::uint32_t texts = Word(catalog, 16, swapped);
  const auto string = [&catalog, swapped](std::size_t entry, std::string_view& out) {
    const std::uint32_t length = Word(catalog, entry, swapped);
    const std::uint32_t offset = Word(catalog, entry + 4, swapped);
    if (offset >= catalog.size || length >= catalog.size - offset) return false;
    out = std::string_view(reinterpret_cast<const char*>(catalog.bytes) + offset, length);
    return true;
  };
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string_view original;
    std::string_view text;
    if (!string(originals + 8 * std::size_t{i}, original) || !string(texts + 8 * std::size_t{i}, text)) break;
    // MO strings end in a zero byte, so the translation can be handed out
    // as a C string.
    if (!original.empty()) translations.emplace(original, text.data());
  }
  return translations;
}

struct Active {
  std::string language = kSourceLanguage;
  Translations translations;
};

Active& Current() {
  static Active active;
  return active;
}

}  // namespace

const char* Tr(const char* text) {
  const Translations& translations = Current().translations;
  if (translations.empty()) return text;
  const auto found = translations.find(text);
  return found == translations.end() ? text : found->second;
}

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
      text += '%';
      ++i;
    } else if (pattern[i] == '%' && i + 3 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9' &&
               pattern[i + 2] == '$' && pattern[i + 3] == 's') {
      const std::size_t index = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (index < arguments.size()) text += *(arguments.begin() + index);
      i += 3;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

std::vector<std::string> KnownLanguages() {
  std::vector<std::string> languages{kSourceLanguage};
  for (std::size_t i = 0; i < kEmbeddedCatalogCount; ++i) languages.emplace_back(kEmbeddedCatalogs[i].language);
  return languages;
}

void SetUiLanguage(const std::string& language) {
  Active& active = Current();
  active.language = kSourceLanguage;
  active.translations.clear();
  for (std::size_t i = 0; i < kEmbeddedCatalogCount; ++i) {
    if (language == kEmbeddedCatalogs[i].language) {
      active.language = language;
      active.translations = Read(kEmbeddedCatalogs[i]);
    }
  }
}

const std::string& UiLanguage() { return Current().language; }

}  // namespace zintrel
