# `cmake --build build --target tidy`: clang-tidy with the project's .clang-tidy over the
# core, the command line and, in a build with the window, the window front-end (every
# .cpp below src/), using this build's compile_commands.json. Any finding fails the target
# (WarningsAsErrors).
#
# A target rather than a ctest: one run costs ten to twelve minutes of CPU on this code base
# (measured with clang-tidy 14: four to six for the core and the command line, six for the
# window), more than the test run can spend on every build.
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
  if(TESSALY_GUI)
    # The window's sources include what moc generates: the build makes it first.
    string(APPEND tidy_layers "|ui")
  endif()
  add_custom_target(tidy
    COMMAND ${TESSALY_RUN_CLANG_TIDY} -quiet -clang-tidy-binary ${TESSALY_CLANG_TIDY}
            -p ${PROJECT_BINARY_DIR} -j ${tidy_jobs}
            "-header-filter=${PROJECT_SOURCE_DIR}/src/(${tidy_layers})/"
            "${PROJECT_SOURCE_DIR}/src/(${tidy_layers})/.*\\.cpp$"
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "clang-tidy over src/ (${tidy_layers})"
    USES_TERMINAL
    VERBATIM)
endif()
