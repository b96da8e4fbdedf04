# The desktop program prints its usage for --help without a display: a user reading how to
# start it (over ssh, in a terminal without X) needs no window for that.
if(TARGET tessaly)
  add_test(NAME desktop_help
           COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                   $<TARGET_FILE:tessaly> --help)
  set_tests_properties(desktop_help PROPERTIES LABELS "gui" TIMEOUT 30
                       PASS_REGULAR_EXPRESSION "Usage: tessaly \\[-NoSplash\\]")
endif()
