# `make package`: a Debian package of both programs, the desktop entry and
# the icons. dpkg-shlibdeps finds the shared libraries the programs link; the
# rest are loaded at run time and named here: Qt's platform plugins, without
# which no window opens, and the Japanese font the settings window maps its
# labels to.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zintrel)
set(CPACK_PACKAGE_VENDOR "Zintrel developers")
set(CPACK_PACKAGE_CONTACT "Zintrel developers <zintrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop toy: a cloud of particles pulling on and pushing against each other")
set(CPACK_PACKAGE_DESCRIPTION "Zintrel animates up to 2500 particles that attract each other at long range and repel at short range, controlled from a small settings window. The package also holds zintrel-headless, which runs the same simulation without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
include(CPack)
