# Run as `cmake -P` at build time: stages the files a new home is seeded with in OUT_DIR.
# id.box is copied; sources.def is made from the readable PLAIN file by the program's own
# commands, scrambled and then packed the way the program stores it (one member named
# after the temporary file of its save path), so what a user gets is what it reads. The
# company board families (FAMILIES) are checked and copied as they are: the program reads
# them in the readable form.
#   -DTESSALY=<the tessaly executable> -DPLAIN=<sources.plain> -DID_BOX=<id.box>
#   -DFAMILIES=<companies.plain> -DOUT_DIR=<staging directory>
foreach(var TESSALY PLAIN ID_BOX FAMILIES OUT_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ShippedData.cmake needs -D${var}=...")
  endif()
endforeach()

file(MAKE_DIRECTORY ${OUT_DIR})
file(COPY_FILE ${ID_BOX} ${OUT_DIR}/id.box ONLY_IF_DIFFERENT)

# A definition the program would quietly misread fails the build rather than a search.
foreach(file ${PLAIN} ${FAMILIES})
  execute_process(COMMAND ${TESSALY} defs check ${file}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tessaly defs check ${file}:\n${out}${err}")
  endif()
endforeach()
file(COPY_FILE ${FAMILIES} ${OUT_DIR}/companies.plain ONLY_IF_DIFFERENT)

set(tmp ${OUT_DIR}/sources.def.tmp)
file(REMOVE ${tmp} ${OUT_DIR}/sources.def)
execute_process(COMMAND ${TESSALY} defs encode ${PLAIN} ${tmp}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "${PLAIN} does not encode cleanly:\n${err}")
endif()
# Relative names: the container stores the member under the name it is given.
execute_process(COMMAND ${TESSALY} container pack sources.def sources.def.tmp
                WORKING_DIRECTORY ${OUT_DIR} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
file(REMOVE ${tmp})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "sources.def could not be packed:\n${err}")
endif()
