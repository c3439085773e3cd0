# Warnings, sanitizers and fuzzing flags for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # Checks the GUARDED_BY annotations of the shared state.
  add_compile_options(-Wthread-safety)
endif()

if(TESSALY_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TESSALY_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TESSALY_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TESSALY_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(TESSALY_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSALY_FUZZ needs clang (CXX=clang++)")
  endif()
  # Instrument everything for coverage; the fuzz targets add -fsanitize=fuzzer to link.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Every layer finds headers as "layer/File.h" from src/.
set(TESSALY_SRC_DIR ${PROJECT_SOURCE_DIR}/src)

# tessaly_layer(NAME DEPS...): a static library of every .cpp in the current folder.
function(tessaly_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${TESSALY_SRC_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    # A layer not written yet: an interface target, so its users link already.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${TESSALY_SRC_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()
