# The desktop program's windows at twice the scale on a small screen (label gui): its own test
# program, since the scale and the screen are fixed before Qt starts.
if(TARGET tessaly_gui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  file(GLOB scaled_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/guiscaled/*.cpp)
  add_executable(test_gui_scaled ${scaled_test_sources} ${CMAKE_CURRENT_SOURCE_DIR}/guidialogs/DialogFixture.cpp
                                 ${CMAKE_CURRENT_SOURCE_DIR}/gui/Serve.cpp)
  set_target_properties(test_gui_scaled PROPERTIES AUTOMOC ON)
  target_compile_options(test_gui_scaled PRIVATE ${TESSALY_WARNINGS})
  target_include_directories(test_gui_scaled PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_gui_scaled PRIVATE tessaly_gui tessaly_test_support GTest::gtest Qt6::Test)
  add_dependencies(test_gui_scaled tessaly_start_page)
  gtest_discover_tests(test_gui_scaled
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 180 LABELS gui
               ENVIRONMENT "QTWEBENGINE_DISABLE_SANDBOX=1")
endif()
