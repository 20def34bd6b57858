# Adds bench/ to a configure run while the top-level CMakeLists.txt does not yet do so
# itself: scripts/bench.sh passes this file as CMAKE_PROJECT_INCLUDE. Its CMakeLists.txt is
# included at the end of the top level, once the libraries it links exist (a deferred call
# may not add a subdirectory).
if(ZARVO_BENCH)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include
                 ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
endif()
