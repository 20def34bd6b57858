# 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
#
# The same sources as the shipped 32-bit installer, for running under Debian's wine64 on
# machines whose kernel runs no 32-bit code, and for building zarvo-pack.exe. Its image is
# larger, so its PayloadOffset is its own padded length: a fixed value, so that archives
# for it can be laid out in advance like those for the 32-bit one.
#   cmake --preset win64   (or -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZARVO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

if(NOT DEFINED CACHE{ZARVO_WINDOWS_PAYLOAD_OFFSET})
  set(ZARVO_WINDOWS_PAYLOAD_OFFSET 32768 CACHE STRING "PayloadOffset of the Windows installer stub")
endif()
