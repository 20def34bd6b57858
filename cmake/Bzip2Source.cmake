# libbz2 for Windows, compiled from Debian's bzip2 source package.
#
# scripts/fetch-bzip2.sh fetches the package with apt into a cache outside the source tree
# (nothing of bzip2 is kept in the repository) and prints where its sources are; set
# ZARVO_BZIP2_SOURCE_DIR to use an unpacked tree of your own instead.
#
# The whole library, compressor included, is built once; the tools use all of it, and the
# installer image keeps only the decoder, since its link drops every unreferenced section.
# BZ_NO_STDIO leaves out the FILE functions and their C runtime; bz_internal_error, which
# the library then expects from its user, is in src/platform/windows/bzip2_glue.cpp.
# libbz2 is compiled for the installer image like the installer's own code, so the image's
# compile options (which also reach every directory of src/) come first.
include(${CMAKE_CURRENT_LIST_DIR}/WindowsImage.cmake)

set(ZARVO_BZIP2_SOURCE_DIR "" CACHE PATH "Unpacked bzip2 sources (with bzlib.h); fetched with apt when empty")

if(NOT EXISTS "${ZARVO_BZIP2_SOURCE_DIR}/bzlib.h")
  execute_process(COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/fetch-bzip2.sh
                  OUTPUT_VARIABLE fetched RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0 OR NOT EXISTS "${fetched}/bzlib.h")
    message(FATAL_ERROR "Could not fetch Debian's bzip2 sources (scripts/fetch-bzip2.sh). "
                        "Set ZARVO_BZIP2_SOURCE_DIR to an unpacked bzip2 source tree.")
  endif()
  set(ZARVO_BZIP2_SOURCE_DIR "${fetched}" CACHE PATH "Unpacked bzip2 sources (with bzlib.h); fetched with apt when empty" FORCE)
endif()
message(STATUS "bzip2 sources: ${ZARVO_BZIP2_SOURCE_DIR}")

set(bzip2_sources bzlib.c decompress.c huffman.c randtable.c crctable.c compress.c blocksort.c)
list(TRANSFORM bzip2_sources PREPEND "${ZARVO_BZIP2_SOURCE_DIR}/")
add_library(zarvo_bzip2 STATIC ${bzip2_sources})
target_include_directories(zarvo_bzip2 SYSTEM PUBLIC "${ZARVO_BZIP2_SOURCE_DIR}")
# bzlib.h includes windows.h on Windows; the lean one is enough for it and builds faster.
target_compile_definitions(zarvo_bzip2 PUBLIC BZ_NO_STDIO PRIVATE WIN32_LEAN_AND_MEAN)
# Not our code: its warnings are not ours to fix.
target_compile_options(zarvo_bzip2 PRIVATE -w)
target_link_libraries(zarvo_bzip2 PUBLIC zarvo_platform)
