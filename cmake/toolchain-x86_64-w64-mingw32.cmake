# Cross-builds for 64-bit Windows with Debian's mingw-w64 compilers, the
# POSIX-threads variant: std::thread and std::mutex need it (the win32
# variant has no C++11 threads in GCC 12).
#
# Every program is linked statically, the C and C++ runtimes and winpthread
# included, so a built .exe runs on a Windows machine with nothing else
# installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZINTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZINTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZINTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZINTREL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${ZINTREL_MINGW_TRIPLE}-objdump)

# Headers, libraries and CMake packages come from the mingw sysroot and from
# ZINTREL_WINDOWS_DEPS, where scripts/install-windows-deps installs what
# Debian does not package for mingw (Highway, GoogleTest); never from the
# Linux host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${ZINTREL_MINGW_TRIPLE})
if(ZINTREL_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${ZINTREL_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows guarantees only 16-byte stack alignment, yet GCC may keep 32- and
# 64-byte vectors on the stack with aligned moves, which fault whenever the
# frame happens to sit 16 bytes off (GCC bug 54412). Debian's compiler
# already writes unaligned moves for the cases it knows; the assembler turns
# every remaining aligned vector move into its unaligned twin, which is as
# fast on aligned data. tests/windows checks the linked programs for any
# aligned wide access to the stack that still slipped through.
set(ZINTREL_UNALIGNED_VECTOR_MOVES "-Wa,-muse-unaligned-vector-move")
set(CMAKE_C_FLAGS_INIT "${ZINTREL_UNALIGNED_VECTOR_MOVES}")
set(CMAKE_CXX_FLAGS_INIT "${ZINTREL_UNALIGNED_VECTOR_MOVES}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
