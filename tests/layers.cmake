# The layers test reads the sources themselves.
if(TARGET test_layers)
  target_compile_definitions(test_layers PRIVATE TESSALY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
