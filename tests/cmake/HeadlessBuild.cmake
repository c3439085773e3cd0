# The headless build, proved in the test run: configures the project with the window
# front-end, the tests and the benchmarks switched off in a build directory of its own, and
# builds the command-line program. Since the core never sees Qt's include directories, any
# Qt include below src/ui fails the build. The program must not load Qt either.
#
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... [-DGENERATOR=...] [-DCXX_COMPILER=...]
#         [-DBUILD_TYPE=...] -P HeadlessBuild.cmake
#
# ccache is used when it is on PATH (the objects are then mostly shared with the main
# build); a clean machine without it builds the same way, only slower.
foreach(var SOURCE_DIR BINARY_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "HeadlessBuild.cmake needs -D${var}=...")
  endif()
endforeach()

set(args -S ${SOURCE_DIR} -B ${BINARY_DIR}
    -DTESSALY_GUI=OFF -DTESSALY_TESTS=OFF -DTESSALY_BENCH=OFF -DTESSALY_FUZZ=OFF)
if(GENERATOR)
  list(APPEND args -G ${GENERATOR})
endif()
if(CXX_COMPILER)
  list(APPEND args -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()
if(BUILD_TYPE)
  list(APPEND args -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
find_program(CCACHE ccache)
if(CCACHE)
  list(APPEND args -DCMAKE_CXX_COMPILER_LAUNCHER=${CCACHE})
else()
  # A cache left from an earlier run on a machine that had ccache must not name it.
  list(APPEND args -UCMAKE_CXX_COMPILER_LAUNCHER)
endif()

execute_process(COMMAND ${CMAKE_COMMAND} ${args} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "headless configure failed (${rc})")
endif()
if(EXISTS ${BINARY_DIR}/src/ui/CMakeFiles)
  message(FATAL_ERROR "headless build: the window front-end was configured")
endif()

include(ProcessorCount)
ProcessorCount(cores)
if(cores EQUAL 0)
  set(cores 2)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --target tessaly -j ${cores}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "headless build of tessaly failed (${rc})")
endif()

set(program ${BINARY_DIR}/src/cli/tessaly)
if(NOT EXISTS ${program})
  message(FATAL_ERROR "headless build: no ${program}")
endif()
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${program}
     RESOLVED_DEPENDENCIES_VAR resolved UNRESOLVED_DEPENDENCIES_VAR unresolved)
foreach(lib ${resolved} ${unresolved})
  if(lib MATCHES "libQt")
    message(FATAL_ERROR "headless tessaly loads ${lib}")
  endif()
endforeach()

execute_process(COMMAND ${program} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "headless tessaly --help failed (${rc}): ${out}")
endif()
message(STATUS "headless build: ${program} built and runs without Qt")
