# The export tests read the XML they write back with a real XML parser (expat).
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
if(TARGET test_app)
  target_link_libraries(test_app PRIVATE PkgConfig::EXPAT)
endif()
