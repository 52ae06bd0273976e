# The GIF decoder's tests compare with Qt's own GIF reader.
if(TARGET controls_tests)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  target_link_libraries(controls_tests PRIVATE gif_test_writer Qt6::Gui)
  orv_test_group(controls_tests gif "Gif*")
endif()
