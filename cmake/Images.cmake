# The tree images of the DHTML export ship in the folder "images" beside the program.
file(GLOB TESSALY_IMAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/images/*.gif)
set(TESSALY_IMAGE_COPIES)
foreach(image ${TESSALY_IMAGES})
  get_filename_component(name ${image} NAME)
  set(copy ${CMAKE_BINARY_DIR}/images/${name})
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/images
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${image} ${copy}
    DEPENDS ${image}
    COMMENT "Copying images/${name}"
    VERBATIM)
  list(APPEND TESSALY_IMAGE_COPIES ${copy})
endforeach()
add_custom_target(tessaly_images ALL DEPENDS ${TESSALY_IMAGE_COPIES})
