# Cross-builds for 64-bit ARM Linux (Debian's arm64) with Debian's
# aarch64-linux-gnu compilers, against the arm64 sysroot that
# scripts/install-arm64-deps unpacks from Debian 12's own packages.
#
# The compiler keeps its own C library and headers (/usr/aarch64-linux-gnu,
# the same glibc as the sysroot's); the sysroot adds the libraries the build
# links, found through CMake's find root path and linked with their own
# dependencies looked up there too.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ZINTREL_ARM64_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ZINTREL_ARM64_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZINTREL_ARM64_TRIPLE}-g++)

if(NOT ZINTREL_ARM64_SYSROOT)
  set(ZINTREL_ARM64_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/../build/arm64-deps/sysroot)
endif()
cmake_path(ABSOLUTE_PATH ZINTREL_ARM64_SYSROOT NORMALIZE)
# Try-compile projects run this file again; they need the sysroot too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZINTREL_ARM64_SYSROOT)

set(CMAKE_FIND_ROOT_PATH ${ZINTREL_ARM64_SYSROOT} /usr/${ZINTREL_ARM64_TRIPLE})
set(CMAKE_LIBRARY_ARCHITECTURE ${ZINTREL_ARM64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The sysroot's shared libraries name others (Qt's name ICU, X and GL
# libraries), which the linker must find in the sysroot, not on this
# machine.
set(ZINTREL_ARM64_LIBDIR ${ZINTREL_ARM64_SYSROOT}/usr/lib/${ZINTREL_ARM64_TRIPLE})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${ZINTREL_ARM64_LIBDIR}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath-link,${ZINTREL_ARM64_LIBDIR}")

# Qt's code generators (moc, uic, rcc) run on this machine: the host's own
# Qt 6 of the same version, which scripts/install-deps installs.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)
