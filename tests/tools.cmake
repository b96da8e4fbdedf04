# The command-line tests run the built tessaly-crawl, read its options table and hold the
# README to it.
if(TARGET test_tools AND TARGET tessaly-crawl)
  add_dependencies(test_tools tessaly-crawl)
  target_link_libraries(test_tools PRIVATE tessaly_crawl_options)
  target_compile_definitions(test_tools PRIVATE
    TESSALY_CRAWL="$<TARGET_FILE:tessaly-crawl>"
    TESSALY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
