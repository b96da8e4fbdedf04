# The HTML walker, the link extractor, the tag block finder and the spell check under
# AddressSanitizer and UBSan: the core's sources are compiled straight into one test program
# with the sanitizers on, together with their unit tests and the random-document tests.
option(TESSALY_ASAN_TESTS "Build and run the sanitizer tests" ON)
if(TESSALY_ASAN_TESTS)
  set(TESSALY_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  file(GLOB asan_fuzz_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*.cpp)
  # The core compiled once with the sanitizers, for this test program and the desktop crawl's
  # (asan_desktop.cmake).
  add_library(tessaly_core_asan OBJECT ${TESSALY_CORE_SOURCES})
  target_include_directories(tessaly_core_asan PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(tessaly_core_asan PRIVATE ${TESSALY_WARNINGS} ${TESSALY_SANITIZE})
  target_link_libraries(tessaly_core_asan PRIVATE PkgConfig::CURL PkgConfig::RE2 ZLIB::ZLIB)
  add_executable(test_asan
    ${asan_fuzz_tests}
    ${CMAKE_CURRENT_SOURCE_DIR}/Kel/KelHTMLWalkTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/app/LinkExtractorTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/app/TagBlockTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/app/SpellCheckTest.cpp
    $<TARGET_OBJECTS:tessaly_core_asan>)
  target_include_directories(test_asan PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(test_asan PRIVATE ${TESSALY_WARNINGS} ${TESSALY_SANITIZE})
  target_link_options(test_asan PRIVATE ${TESSALY_SANITIZE})
  target_link_libraries(test_asan PRIVATE GTest::gtest_main Threads::Threads PkgConfig::CURL PkgConfig::RE2 ZLIB::ZLIB)
  tessaly_runtime_files(test_asan)
  add_test(NAME asan_html COMMAND test_asan)
  set_tests_properties(asan_html PROPERTIES
    LABELS asan
    TIMEOUT 120
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()
