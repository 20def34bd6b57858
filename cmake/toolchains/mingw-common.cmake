# Shared part of the MinGW-w64 toolchain files; ZARVO_MINGW_TRIPLE names the target.
#
# Debian's MinGW-w64 compilers come in two thread models. The posix one is used, so that
# std::thread works in the tools; the installer image uses no thread and no runtime at all.
# Tools are linked -static: libstdc++, libgcc and winpthread go into the executable, which
# then runs on a bare Windows (or Wine) without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)

find_program(ZARVO_MINGW_CC NAMES ${ZARVO_MINGW_TRIPLE}-gcc-posix ${ZARVO_MINGW_TRIPLE}-gcc REQUIRED)
find_program(ZARVO_MINGW_CXX NAMES ${ZARVO_MINGW_TRIPLE}-g++-posix ${ZARVO_MINGW_TRIPLE}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${ZARVO_MINGW_CC})
set(CMAKE_CXX_COMPILER ${ZARVO_MINGW_CXX})
set(CMAKE_RC_COMPILER ${ZARVO_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${ZARVO_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${ZARVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

