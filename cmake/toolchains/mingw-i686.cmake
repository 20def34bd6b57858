# 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686): the installer as shipped.
#   cmake --preset win32   (or -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZARVO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
