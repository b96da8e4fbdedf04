# The files the core reads beside the program at run time: the spelling dictionary and the tree
# images of the DHTML export. Every target that runs the core has them made first: tessaly_app
# here (and so whatever links it: the programs, the tests, the benchmarks), and the builds that
# compile the core's sources again (sanitizers) through tessaly_runtime_files.
set(TESSALY_RUNTIME_FILE_TARGETS tessaly_dictionary tessaly_images)
function(tessaly_runtime_files target)
  add_dependencies(${target} ${TESSALY_RUNTIME_FILE_TARGETS})
endfunction()
tessaly_runtime_files(tessaly_app)
