# Controls that paint from skin pictures: their tests draw on the test
# desktop and read the build's program folder (resource_fixture.h).
if(TARGET controls_tests)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  target_link_libraries(controls_tests PRIVATE platform foundation Qt6::Gui)
  add_dependencies(controls_tests resources)
endif()
orv_test_group(controls_tests skins "ResourceFixture*:ResourceLoading*")
