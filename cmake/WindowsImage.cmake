# The Windows installer image: no C or C++ runtime, kernel32 and user32 only, and as small as
# compiler and linker can make it, since it must fit its PayloadOffset (28160 bytes for the
# shipped 32-bit image) with libbz2's decoder inside.
#
# Included (through cmake/Bzip2Source.cmake) by src/CMakeLists.txt on Windows, so the compile
# options below reach the installer code and libbz2 but not the tools, which are ordinary
# C++ programs.

# Size first; a section per function, so that the linker drops every function no path of
# the installer reaches (most of libbz2's compressor, for one). Not one per variable: MinGW's
# GCC then gives zero-filled variables .data$ sections, which take room in the file.
# Without a runtime there is nobody to unwind, catch, guard statics or check a canary.
add_compile_options(
  -Os -ffunction-sections
  -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-stack-protector -fno-ident
  "$<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions;-fno-rtti;-fno-threadsafe-statics>")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Windows keeps the 32-bit stack 4-byte aligned and nothing here uses SSE: no realigning.
  add_compile_options(-mpreferred-stack-boundary=2)
endif()

# What the image links besides its own code: the two import libraries and libgcc (stack
# probes, 64-bit division on i686). These variables end every link line, after all the
# archives that may need them; the image is the only program linked under src/.
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -luser32 -lgcc")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lkernel32 -luser32 -lgcc")

set(ZARVO_IMAGE_RUNTIME_SOURCES
    ${PROJECT_SOURCE_DIR}/src/platform/windows/freestanding/memory.cpp
    ${PROJECT_SOURCE_DIR}/src/platform/windows/freestanding/c_heap.cpp)

# zarvo_windows_image(TARGET): links TARGET as the freestanding GUI image, entered at
# SetupEntry, with a link map beside it (TARGET.map) for finding what takes the space.
function(zarvo_windows_image target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # The 32-bit name of extern "C" void __stdcall SetupEntry().
    set(entry _SetupEntry@0)
    set(arch_options -Wl,--no-seh)
  else()
    set(entry SetupEntry)
    set(arch_options -Wl,--disable-high-entropy-va)
  endif()
  # The runtime's objects go into the image itself: as archive members they would be looked
  # at before libbz2 asks for memcpy and friends.
  target_sources(${target} PRIVATE ${ZARVO_IMAGE_RUNTIME_SOURCES})
  set_source_files_properties(${ZARVO_IMAGE_RUNTIME_SOURCES} PROPERTIES
    COMPILE_OPTIONS "-fno-tree-loop-distribute-patterns")
  target_link_options(${target} PRIVATE
    -nostdlib -nostartfiles -mwindows
    -Wl,--entry,${entry} -Wl,-T,${PROJECT_SOURCE_DIR}/cmake/WindowsImage.ld
    -Wl,--gc-sections -s
    -Wl,--file-alignment,512 -Wl,--section-alignment,4096
    # No relocations: an .exe loads at its preferred base.
    -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
    # The same sources give the same bytes.
    -Wl,--no-insert-timestamp
    -Wl,-Map,$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map
    ${arch_options})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DIMAGE=$<TARGET_FILE:${target}> -DOBJDUMP=${CMAKE_OBJDUMP}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckWindowsImage.cmake
    VERBATIM)
endfunction()
