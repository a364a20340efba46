# Read by CPack when it packages the arm64 build: sets the package's
# dependencies as dpkg-shlibdeps would on an arm64 machine, from the shared
# libraries the programs name (their DT_NEEDED entries) and the shlibs files
# of Debian's arm64 packages, which say which package and version provides
# each library. The other dependencies, loaded at run time, come first.

set(depends "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
file(STRINGS "${CPACK_ZINTREL_SHLIBS}" shlibs)
set(libraries "")
foreach(program IN LISTS CPACK_ZINTREL_PROGRAMS)
  execute_process(COMMAND "${CPACK_ZINTREL_READELF}" --dynamic "${program}"
                  OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the dynamic section of ${program}")
  endif()
  string(REGEX MATCHALL "\\(NEEDED\\)[^[]*\\[[^]]+\\]" needed "${dynamic}")
  foreach(entry IN LISTS needed)
    string(REGEX REPLACE ".*\\[([^]]+)\\]" "\\1" soname "${entry}")
    list(APPEND libraries "${soname}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES libraries)
list(SORT libraries)

set(packages "")
foreach(soname IN LISTS libraries)
  # A shlibs line reads "NAME VERSION DEPENDENCY" for the library
  # NAME.so.VERSION.
  if(NOT soname MATCHES "^(.+)\\.so\\.([0-9.]+)$")
    message(FATAL_ERROR "unexpected library name ${soname}")
  endif()
  set(prefix "${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ")
  string(LENGTH "${prefix}" length)
  set(line "")
  foreach(candidate IN LISTS shlibs)
    string(SUBSTRING "${candidate}" 0 ${length} start)
    if(start STREQUAL prefix)
      set(line "${candidate}")
      break()
    endif()
  endforeach()
  if(line STREQUAL "")
    message(FATAL_ERROR "no arm64 package is known to provide ${soname}")
  endif()
  string(SUBSTRING "${line}" ${length} -1 dependency)
  list(APPEND packages "${dependency}")
endforeach()
list(REMOVE_DUPLICATES packages)
list(SORT packages)
foreach(dependency IN LISTS packages)
  string(APPEND depends ", ${dependency}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
