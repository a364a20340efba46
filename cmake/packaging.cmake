# `make install` and `make package`: manual pages, the changelog and
# copyright file, the software-centre listing, the saved-state file type, and
# the Debian package of both programs, the desktop entry and the icons.
# dpkg-shlibdeps finds the shared libraries the programs link; the rest are
# loaded at run time and named here: Qt's platform plugins, without which no
# window opens, and the Japanese font the settings window maps its labels to.

# The maintainer named in the package and its changelog. The default is a
# placeholder that Debian's checks flag; whoever publishes the package sets
# a real address at configure time.
set(ZINTREL_MAINTAINER "Zintrel developers <zintrel@localhost>" CACHE STRING
    "Name and address of the package maintainer, as Debian writes them")

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_out})
configure_file(${packaging_dir}/changelog.in ${packaging_out}/changelog @ONLY)
configure_file(${packaging_dir}/copyright ${packaging_out}/copyright @ONLY)

# Fixes the date help2man writes, so the same sources give the same page.
set(release_epoch 1796644800)

# The command-line programs' pages are made from their own --help and
# --version, so the two never disagree. Debian wants manual pages and
# changelogs compressed, with no name or time stamp in the gzip header (-n).
find_program(ZINTREL_HELP2MAN help2man REQUIRED)
function(zintrel_manual_page program summary)
  # A cross-built program runs under the build's emulator (qemu-user for
  # arm64), through a script of the same name, so the page is the same.
  set(help_program $<TARGET_FILE:${program}>)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    string(JOIN " " emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
    set(help_program ${packaging_out}/emulated/${program})
    file(GENERATE OUTPUT ${help_program}
         CONTENT "#!/bin/sh\nexec ${emulator} $<TARGET_FILE:${program}> \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
  add_custom_command(
    OUTPUT ${packaging_out}/${program}.1.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${release_epoch}
            ASAN_OPTIONS=detect_leaks=0
            ${ZINTREL_HELP2MAN} --no-info --section=1
            "--name=${summary}"
            --output=${packaging_out}/${program}.1
            ${help_program}
    COMMAND gzip -9nf ${packaging_out}/${program}.1
    DEPENDS ${program}
    COMMENT "Writing the manual page of ${program} from its --help")
endfunction()
zintrel_manual_page(zintrel-headless "run the Zintrel particle simulation without a window")
zintrel_manual_page(zintrel-explore "find runs of the Zintrel particle simulation unlike each other")
add_custom_command(
  OUTPUT ${packaging_out}/zintrel.6.gz
  COMMAND gzip -9nc ${packaging_dir}/zintrel.6 > ${packaging_out}/zintrel.6.gz
  DEPENDS ${packaging_dir}/zintrel.6)
add_custom_command(
  OUTPUT ${packaging_out}/ja/zintrel.6.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/ja
  COMMAND gzip -9nc ${packaging_dir}/zintrel.ja.6 > ${packaging_out}/ja/zintrel.6.gz
  DEPENDS ${packaging_dir}/zintrel.ja.6)
add_custom_command(
  OUTPUT ${packaging_out}/changelog.gz
  COMMAND gzip -9nc ${packaging_out}/changelog > ${packaging_out}/changelog.gz
  DEPENDS ${packaging_out}/changelog)
add_custom_target(zintrel-docs ALL DEPENDS
  ${packaging_out}/zintrel-headless.1.gz ${packaging_out}/zintrel-explore.1.gz ${packaging_out}/zintrel.6.gz
  ${packaging_out}/ja/zintrel.6.gz ${packaging_out}/changelog.gz)

install(FILES ${packaging_out}/zintrel.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${packaging_out}/ja/zintrel.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man6)
install(FILES ${packaging_out}/zintrel-headless.1.gz ${packaging_out}/zintrel-explore.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_out}/changelog.gz ${packaging_out}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zintrel)
install(FILES ${packaging_dir}/org.zintrel.zintrel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_dir}/zintrel.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# A desktop reads saved-state files as Zintrel's only once the MIME database
# and the desktop entries' type index are rebuilt from the files above. dpkg
# rebuilds both by trigger when the package installs; an install straight
# into a live prefix has to do it itself. A staged install (DESTDIR, which
# CPack sets too) is left alone, since the caches it would write belong to
# the target system, not to the package. This runs after the desktop entry's
# own rule (app/), which is added earlier.
install(CODE "set(zintrel_data_dir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  function(zintrel_refresh tool folder)
    cmake_path(ABSOLUTE_PATH zintrel_data_dir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
               OUTPUT_VARIABLE data)
    find_program(tool_path ${tool} NO_CACHE)
    if(NOT tool_path)
      message(STATUS "${tool} not found: run it on ${data}/${folder} for desktops to open .zintrel files with Zintrel")
      return()
    endif()
    message(STATUS "Running ${tool} ${data}/${folder}")
    execute_process(COMMAND ${tool_path} "${data}/${folder}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(WARNING "${tool} ${data}/${folder} failed (${status})")
    endif()
  endfunction()
  if("$ENV{DESTDIR}" STREQUAL "")
    zintrel_refresh(update-mime-database mime)
    zintrel_refresh(update-desktop-database applications)
  endif()
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zintrel)
set(CPACK_PACKAGE_VENDOR "Zintrel developers")
set(CPACK_PACKAGE_CONTACT "${ZINTREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Desktop toy: a cloud of particles pulling on and pushing against each other")
# CPack indents every line of the extended description; Debian wants lines
# that fit an 80-column terminal.
set(CPACK_PACKAGE_DESCRIPTION "\
Zintrel animates up to 2500 particles that attract each other at long
range and repel at short range, controlled from a small settings window.
The package also holds zintrel-headless, which runs the same simulation
without a window and records states, frames and timings, and
zintrel-explore, which tries many runs and keeps those unlike each other.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The program itself is installed in /usr/games, where Debian keeps games.
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
# Cross-built for arm64, the package is arm64's, and dpkg-shlibdeps, which
# asks this machine's dpkg for the libraries' packages, cannot tell them:
# cmake/arm64-depends.cmake works them out when packaging, from the
# libraries the programs name and the shlibs files of the sysroot's packages.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/arm64-depends.cmake)
  set(CPACK_ZINTREL_READELF ${CMAKE_READELF})
  cmake_path(GET ZINTREL_ARM64_SYSROOT PARENT_PATH CPACK_ZINTREL_SHLIBS)
  cmake_path(APPEND CPACK_ZINTREL_SHLIBS shlibs)
  set(CPACK_ZINTREL_PROGRAMS ${PROJECT_BINARY_DIR}/app/zintrel ${PROJECT_BINARY_DIR}/tools/zintrel-headless
      ${PROJECT_BINARY_DIR}/tools/zintrel-explore)
endif()
# The buttons of Qt's own dialogs in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
