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

  # Arguments pushed rather than stored into a preallocated area save more than a kilobyte of
  # code, but GCC then cannot probe the stack, which Windows grows a guard page at a time: a
  # frame larger than a page could land beyond it. The image commits its whole stack up front,
  # so that cannot happen there; code that other programs run as well keeps its probes. Which
  # code that is, is known once every directory has declared its targets.
  target_link_options(${target} PRIVATE "SHELL:-Xlinker --stack=0x100000,0x100000")
  set_property(GLOBAL APPEND PROPERTY ZARVO_WINDOWS_IMAGES ${target})
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} ID zarvo_image_only_options
                 CALL zarvo_apply_image_only_options)
endfunction()

# zarvo_link_closure(TARGET VAR): TARGET and every library target it links, directly or not.
function(zarvo_link_closure target var)
  set(closure ${target})
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(TARGET ${link} AND NOT link IN_LIST closure)
        get_target_property(imported ${link} IMPORTED)
        if(NOT imported)
          list(APPEND closure ${link})
          list(APPEND queue ${link})
        endif()
      endif()
    endforeach()
  endwhile()
  set(${var} ${closure} PARENT_SCOPE)
endfunction()

# zarvo_executables(DIR VAR): the executables declared in DIR and below.
function(zarvo_executables dir var)
  set(found "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    zarvo_executables(${subdirectory} below)
    list(APPEND found ${below})
  endforeach()
  set(${var} ${found} PARENT_SCOPE)
endfunction()

# Gives the image-only calling code to the image and to the libraries that no other program
# links.
function(zarvo_apply_image_only_options)
  get_property(images GLOBAL PROPERTY ZARVO_WINDOWS_IMAGES)
  zarvo_executables(${CMAKE_SOURCE_DIR} programs)
  set(shared "")
  foreach(program IN LISTS programs)
    if(NOT program IN_LIST images)
      zarvo_link_closure(${program} closure)
      list(APPEND shared ${closure})
    endif()
  endforeach()
  foreach(image IN LISTS images)
    zarvo_link_closure(${image} closure)
    foreach(target IN LISTS closure)
      get_target_property(type ${target} TYPE)
      if(NOT target IN_LIST shared AND NOT type STREQUAL "INTERFACE_LIBRARY")
        target_compile_options(${target} PRIVATE -mno-stack-arg-probe -mno-accumulate-outgoing-args)
      endif()
    endforeach()
  endforeach()
endfunction()
