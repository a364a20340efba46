# The gallery's thumbnails as gallery/gallery.json names them, for each
# program to carry in its own way. A change to the list configures again.
#   zintrel_gallery_thumbnails(VARIABLE): sets VARIABLE to the thumbnails'
#   file names, in the gallery's order.
set(ZINTREL_GALLERY_DIR ${PROJECT_SOURCE_DIR}/gallery)
function(zintrel_gallery_thumbnails variable)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZINTREL_GALLERY_DIR}/gallery.json)
  file(READ ${ZINTREL_GALLERY_DIR}/gallery.json json)
  string(JSON count LENGTH "${json}" runs)
  math(EXPR last "${count} - 1")
  set(names)
  foreach(run RANGE ${last})
    string(JSON thumbnail GET "${json}" runs ${run} thumbnail)
    list(APPEND names ${thumbnail})
  endforeach()
  set(${variable} ${names} PARENT_SCOPE)
endfunction()
