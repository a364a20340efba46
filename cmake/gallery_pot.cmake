# Writes OUTPUT, a gettext template of the gallery's run names (their
# English "name"s in GALLERY), so that the catalogs are checked against them
# as against the texts marked in the code.
#   cmake -DOUTPUT=gallery.pot -DGALLERY=gallery/gallery.json -P gallery_pot.cmake
file(READ ${GALLERY} json)
string(JSON count LENGTH "${json}" runs)
set(pot "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${json}" runs ${i} name en)
  string(REPLACE "\\" "\\\\" name "${name}")
  string(REPLACE "\"" "\\\"" name "${name}")
  string(APPEND pot "\nmsgid \"${name}\"\nmsgstr \"\"\n")
endforeach()
file(WRITE ${OUTPUT} "${pot}")
