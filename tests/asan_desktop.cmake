# The desktop program under AddressSanitizer and UBSan, crawling a small loopback site offscreen
# with external checks on (asan-desktop-crawl.sh). Cheap to build: the core is the sanitized
# build of test_asan, the window's code is the program's own library (its heap use checked by
# the sanitizer's allocator, which watches every allocation and release of the process,
# libcurl's and Qt's included).
if(TESSALY_ASAN_TESTS AND TARGET tessaly_gui AND TARGET tessaly_core_asan)
  find_package(Qt6 REQUIRED COMPONENTS Widgets WebEngineWidgets Svg)
  find_package(Qt6Keychain REQUIRED)
  add_executable(tessaly-asan ${CMAKE_SOURCE_DIR}/gui/main.cpp $<TARGET_OBJECTS:tessaly_core_asan>)
  target_include_directories(tessaly-asan PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(tessaly-asan PRIVATE ${TESSALY_WARNINGS} ${TESSALY_SANITIZE})
  target_link_options(tessaly-asan PRIVATE ${TESSALY_SANITIZE})
  # The library file itself, not the target: its own links would bring the core a second time,
  # unsanitized.
  add_dependencies(tessaly-asan tessaly_gui tessaly_start_page)
  tessaly_runtime_files(tessaly-asan)
  target_link_libraries(tessaly-asan PRIVATE $<TARGET_FILE:tessaly_gui> Qt6::Widgets Qt6::WebEngineWidgets Qt6::Svg
                                             Qt6Keychain::Qt6Keychain Threads::Threads PkgConfig::CURL PkgConfig::RE2 ZLIB::ZLIB)
  add_test(NAME asan_desktop_crawl
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/gui/asan-desktop-crawl.sh $<TARGET_FILE:tessaly-asan>)
  set_tests_properties(asan_desktop_crawl PROPERTIES
    LABELS "asan;gui"
    TIMEOUT 180
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()
