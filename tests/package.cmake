# The Debian package: built from this build folder, unpacked into a temporary root, its two
# programs run from there, and checked by lintian, desktop-file-validate and appstreamcli.
if(TESSALY_HAVE_GUI)
  add_test(NAME package COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/package-test.sh
           ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(package PROPERTIES LABELS package TIMEOUT 600)
endif()
