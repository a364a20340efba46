# Writes OUTPUT, a C++ source holding the compiled catalogs MO_FILES (one per
# language, named LANGUAGE.mo) as byte arrays, so that the programs carry
# their texts and read no file at run time.
#   cmake -DOUTPUT=catalogs.cpp -DMO_FILES="ja.mo;fr.mo" -P embed_catalogs.cmake
set(arrays "")
set(entries "")
set(count 0)
foreach(mo IN LISTS MO_FILES)
  get_filename_component(language ${mo} NAME_WE)
  file(READ ${mo} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n"
         bytes "${bytes}")
  string(MAKE_C_IDENTIFIER "${language}" name)
  string(APPEND arrays "const unsigned char kCatalog_${name}[] = {\n${bytes}};\n")
  string(APPEND entries "    {\"${language}\", kCatalog_${name}, sizeof kCatalog_${name}},\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  set(entries "    {\"\", nullptr, 0},\n")
endif()
file(WRITE ${OUTPUT}.new "// Generated from settings/po by cmake/embed_catalogs.cmake.
#include <cstddef>

namespace zintrel {

struct EmbeddedCatalog {
  const char* language;
  const unsigned char* bytes;
  std::size_t size;
};

namespace {
${arrays}}  // namespace

extern const EmbeddedCatalog kEmbeddedCatalogs[] = {
${entries}};
extern const std::size_t kEmbeddedCatalogCount = ${count};

}  // namespace zintrel
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
