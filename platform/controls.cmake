# The controls gallery: every standard control in one dialog (saved as a
# picture on the offscreen platform).
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/examples/controls_gallery.cpp)
  add_executable(controls_gallery ${CMAKE_CURRENT_SOURCE_DIR}/examples/controls_gallery.cpp)
  target_link_libraries(controls_gallery PRIVATE platform)
endif()
