# cmake -DIMAGE=image.exe -DOBJDUMP=objdump -P CheckWindowsImage.cmake
# Fails the build when the freestanding installer image needs what Windows does not give
# every process: a DLL other than kernel32 and user32, or a section beyond the three that
# cmake/WindowsImage.ld lays out (static constructors, thread-local data, resources...,
# which no runtime would set up).
execute_process(COMMAND ${OBJDUMP} -p -h "${IMAGE}" OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p -h ${IMAGE} failed")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${headers}")
if(NOT dlls)
  message(FATAL_ERROR "${IMAGE} has no import table")
endif()
foreach(dll ${dlls})
  string(REGEX REPLACE "DLL Name: *" "" name "${dll}")
  string(STRIP "${name}" name)
  string(TOUPPER "${name}" upper)
  if(NOT upper MATCHES "^(KERNEL32|USER32)\\.DLL$")
    message(FATAL_ERROR "${IMAGE} imports ${name}; the installer may use kernel32 and user32 only")
  endif()
endforeach()

string(REGEX MATCHALL "\n +[0-9]+ [^ \n]+" sections "${headers}")
foreach(section ${sections})
  string(REGEX REPLACE "^\n +[0-9]+ " "" name "${section}")
  if(NOT name MATCHES "^\\.(text|data|bss)$")
    message(FATAL_ERROR "${IMAGE} has a section ${name}; the image holds .text, .data and .bss "
                        "only (no static constructors, thread-local data or resources)")
  endif()
endforeach()
