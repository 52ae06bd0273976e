# The grid control: data model, painting, input and its threads, on the
# test desktop.
if(TARGET controls_tests)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  target_link_libraries(controls_tests PRIVATE Qt6::Gui)
  orv_test_group(controls_tests grid "Grid*")
endif()
