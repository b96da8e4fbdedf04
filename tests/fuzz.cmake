# libFuzzer targets (tests/fuzz/libfuzzer): a project of their own, configured with clang into
# build/fuzz as an external project, since libFuzzer needs clang's -fsanitize=fuzzer. Every
# target runs for a few seconds on its seed corpus in tests/fuzz/corpus/<target> (label fuzz,
# with a fixed random seed so that a run is repeatable);
# `make fuzz` runs each for longer (FUZZ_SECONDS).
find_program(TESSALY_CLANGXX NAMES clang++ clang++-14)
find_program(TESSALY_CLANG NAMES clang clang-14)
set(TESSALY_FUZZ_DEFAULT OFF)
if(TESSALY_CLANGXX AND TESSALY_CLANG)
  execute_process(COMMAND ${TESSALY_CLANGXX} -print-file-name=libclang_rt.fuzzer-x86_64.a
                  OUTPUT_VARIABLE fuzzer_runtime OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(fuzzer_runtime AND EXISTS "${fuzzer_runtime}")
    set(TESSALY_FUZZ_DEFAULT ON)
  endif()
endif()
option(TESSALY_FUZZ_TESTS "Build the libFuzzer targets and run them briefly" ${TESSALY_FUZZ_DEFAULT})
set(TESSALY_FUZZ_SECONDS 3 CACHE STRING "Seconds each fuzz target runs under ctest")

if(TESSALY_FUZZ_TESTS)
  include(ExternalProject)
  set(fuzz_args
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_C_COMPILER=${TESSALY_CLANG}
    -DCMAKE_CXX_COMPILER=${TESSALY_CLANGXX}
    -DTESSALY_SOURCE_DIR=${CMAKE_SOURCE_DIR})
  if(CMAKE_CXX_COMPILER_LAUNCHER)
    list(APPEND fuzz_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
  ExternalProject_Add(tessaly_fuzz
    SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/libfuzzer
    BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
    CMAKE_ARGS ${fuzz_args}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)
  foreach(target uri html project ini lang robots)
    add_test(NAME fuzz.${target}
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run-fuzzer.sh ${CMAKE_BINARY_DIR}/fuzz/fuzz_${target}
                     ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${target} ${CMAKE_BINARY_DIR}/fuzz/work/${target}
                     ${TESSALY_FUZZ_SECONDS} 1)
    set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 120
                         ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endforeach()
endif()
