# The libFuzzer build (cmake -DZARVO_FUZZ=ON with clang; scripts/fuzz.sh does it all). Every
# target of the build is instrumented for coverage and checked by ASan and UBSan, a failed check
# ends the program; the fuzz programs alone link libFuzzer's driver.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ZARVO_FUZZ needs clang: CC=clang-14 CXX=clang++-14")
endif()
set(zarvo_fuzz_flags
    "-g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all")
string(APPEND CMAKE_C_FLAGS " ${zarvo_fuzz_flags}")
string(APPEND CMAKE_CXX_FLAGS " ${zarvo_fuzz_flags}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=address,undefined")
add_subdirectory(${CMAKE_CURRENT_LIST_DIR} ${CMAKE_BINARY_DIR}/fuzz)
