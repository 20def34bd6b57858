# cmake -DINPUT=image -DOUTPUT=padded -DSIZE=bytes -P PadFile.cmake
# Copies INPUT to OUTPUT and pads it with zero bytes to exactly SIZE bytes.
file(SIZE "${INPUT}" image_size)
if(image_size GREATER SIZE)
  math(EXPR over "${image_size} - ${SIZE}")
  message(FATAL_ERROR "${INPUT} is ${image_size} bytes, ${over} more than its PayloadOffset "
                      "of ${SIZE}: the payload would overlap the code. Shrink the image.")
endif()
get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(COPY_FILE "${INPUT}" "${OUTPUT}.tmp")
execute_process(COMMAND truncate -s "${SIZE}" "${OUTPUT}.tmp" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "truncate failed on ${OUTPUT}.tmp")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
math(EXPR spare "${SIZE} - ${image_size}")
message(STATUS "${OUTPUT}: image ${image_size} bytes, padded to ${SIZE} (${spare} spare)")
