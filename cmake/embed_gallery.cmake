# Writes OUTPUT, a C++ source holding GALLERY (gallery/gallery.json) as text,
# so that every program carries the gallery's runs and reads no file for them.
#   cmake -DOUTPUT=gallery_json.cpp -DGALLERY=gallery/gallery.json -P embed_gallery.cmake
file(READ ${GALLERY} json)
if(json MATCHES "\\)zintrel\"")
  message(FATAL_ERROR "${GALLERY} holds the text that ends the literal")
endif()
file(WRITE ${OUTPUT}.new "// Generated from gallery/gallery.json by cmake/embed_gallery.cmake.
namespace zintrel {

extern const char kGalleryJson[] = R\"zintrel(${json})zintrel\";

}  // namespace zintrel
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
