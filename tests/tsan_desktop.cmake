# The desktop program under ThreadSanitizer, for a crawl watched by hand or by
# tsan-desktop-crawl.sh (`cmake --build build --target tessaly-tsan`). Not built by default and
# not in the test run: Qt is not built with the sanitizer, so its own hand-overs between threads
# are partly invisible to it, and a report needs reading before it is believed. The core and the
# window's code are compiled with it, so races between them are seen.
if(TESSALY_TSAN_TESTS AND TARGET tessaly_gui)
  find_package(Qt6 REQUIRED COMPONENTS Widgets WebEngineWidgets Svg)
  if(NOT TARGET Qt6Keychain::Qt6Keychain)
    find_package(Qt6Keychain REQUIRED)
  endif()
  get_target_property(gui_sources tessaly_gui SOURCES)
  list(TRANSFORM gui_sources PREPEND ${CMAKE_SOURCE_DIR}/gui/)
  add_executable(tessaly-tsan EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/gui/main.cpp ${gui_sources} ${TESSALY_CORE_SOURCES})
  set_target_properties(tessaly-tsan PROPERTIES AUTOMOC ON AUTORCC ON)
  target_include_directories(tessaly-tsan PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(tessaly-tsan PRIVATE TESSALY_VERSION="${PROJECT_VERSION}")
  target_compile_options(tessaly-tsan PRIVATE ${TESSALY_WARNINGS} ${TESSALY_TSAN})
  target_link_options(tessaly-tsan PRIVATE ${TESSALY_TSAN})
  add_dependencies(tessaly-tsan tessaly_start_page)
  tessaly_runtime_files(tessaly-tsan)
  target_link_libraries(tessaly-tsan PRIVATE Qt6::Widgets Qt6::WebEngineWidgets Qt6::Svg Qt6Keychain::Qt6Keychain
                                             Threads::Threads PkgConfig::CURL PkgConfig::RE2)
endif()
