# The desktop program's menus, commands and dialogs (label gui), when the program is built: real
# widgets on Qt's offscreen platform.
if(TARGET tessaly_gui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  file(GLOB dialog_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/guidialogs/*.cpp)
  add_executable(test_gui_dialogs ${dialog_test_sources} ${CMAKE_CURRENT_SOURCE_DIR}/gui/main.cpp
                                  ${CMAKE_CURRENT_SOURCE_DIR}/gui/Serve.cpp)
  set_target_properties(test_gui_dialogs PROPERTIES AUTOMOC ON)
  target_compile_options(test_gui_dialogs PRIVATE ${TESSALY_WARNINGS})
  target_compile_definitions(test_gui_dialogs PRIVATE TESSALY_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                                     TESSALY_DICTIONARY="${TESSALY_DICTIONARY}")
  target_include_directories(test_gui_dialogs PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_gui_dialogs PRIVATE tessaly_gui tessaly_test_support GTest::gtest Qt6::Test)
  add_dependencies(test_gui_dialogs tessaly_start_page tessaly_dictionary)
  gtest_discover_tests(test_gui_dialogs
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 180 LABELS gui
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()
