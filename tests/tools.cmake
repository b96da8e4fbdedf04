# The command-line tests run the built tessaly-crawl.
if(TARGET test_tools AND TARGET tessaly-crawl)
  add_dependencies(test_tools tessaly-crawl)
  target_compile_definitions(test_tools PRIVATE TESSALY_CRAWL="$<TARGET_FILE:tessaly-crawl>")
endif()
