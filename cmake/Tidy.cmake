# `cmake --build build --target tidy`: clang-tidy with the project's .clang-tidy over the
# core and the command line (every .cpp below src/ except the window front-end), using
# this build's compile_commands.json. Any finding fails the target (WarningsAsErrors).
#
# A target rather than a ctest: one run costs four to six minutes of CPU on this code base
# (measured with clang-tidy 14; over two minutes even on two free cores, a quarter of an hour
# on a busy machine), more than the test run can spend on every build.
find_program(TESSALY_RUN_CLANG_TIDY NAMES run-clang-tidy run-clang-tidy-16 run-clang-tidy-15
                                          run-clang-tidy-14)
find_program(TESSALY_CLANG_TIDY NAMES clang-tidy clang-tidy-16 clang-tidy-15 clang-tidy-14)
if(TESSALY_RUN_CLANG_TIDY AND TESSALY_CLANG_TIDY)
  include(ProcessorCount)
  ProcessorCount(tidy_jobs)
  if(tidy_jobs EQUAL 0)
    set(tidy_jobs 2)
  endif()
  set(tidy_layers "platform|parsing|data|net|search|services|cli")
  add_custom_target(tidy
    COMMAND ${TESSALY_RUN_CLANG_TIDY} -quiet -clang-tidy-binary ${TESSALY_CLANG_TIDY}
            -p ${PROJECT_BINARY_DIR} -j ${tidy_jobs}
            "-header-filter=${PROJECT_SOURCE_DIR}/src/(${tidy_layers})/"
            "${PROJECT_SOURCE_DIR}/src/(${tidy_layers})/.*\\.cpp$"
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "clang-tidy over src/ (without src/ui)"
    USES_TERMINAL
    VERBATIM)
endif()
