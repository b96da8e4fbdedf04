# The request pool, the crawl, the downloads, the transfer limits and the headless hand-over under
# ThreadSanitizer: the core's sources, the test support and these suites compiled again with
# -fsanitize=thread into one test program.
option(TESSALY_TSAN_TESTS "Build and run the ThreadSanitizer tests" ON)
if(TESSALY_TSAN_TESTS)
  set(TESSALY_TSAN -fsanitize=thread -fno-omit-frame-pointer)
  add_executable(test_tsan
    ${CMAKE_CURRENT_SOURCE_DIR}/Dialogs/HTTPClientTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Kel/KelTransferLimitsTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/app/CrawlTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/app/DownloadThreadTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/app/DownloadToLocalFileTest.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/platform/HeadlessTest.cpp
    ${TESSALY_TEST_SUPPORT}
    ${TESSALY_CORE_SOURCES})
  target_include_directories(test_tsan PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(test_tsan PRIVATE ${TESSALY_WARNINGS} ${TESSALY_TSAN})
  target_link_options(test_tsan PRIVATE ${TESSALY_TSAN})
  target_link_libraries(test_tsan PRIVATE GTest::gtest_main Threads::Threads PkgConfig::CURL PkgConfig::RE2 PkgConfig::HTTPLIB
                                          OpenSSL::SSL OpenSSL::Crypto ZLIB::ZLIB)
  tessaly_runtime_files(test_tsan)
  gtest_discover_tests(test_tsan
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_TIMEOUT 120
    TEST_PREFIX "tsan."
    PROPERTIES TIMEOUT 240 LABELS tsan
               ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:history_size=4:suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tsan.supp")
endif()
