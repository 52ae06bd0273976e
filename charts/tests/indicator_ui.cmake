# The indicator tool bar and the parameter and help dialogs: window tests on
# the offscreen platform with a real (unconnected) quote engine, a temporary
# per-user folder and the build's help texts.
if(TARGET charts_tests)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  target_link_libraries(charts_tests PRIVATE controls platform foundation Qt6::Gui)
  add_dependencies(charts_tests resources)
endif()
orv_test_group(charts_tests indicator-ui "IndexToolsBarTest.*:IndexDialogTest.*:IndexHelpDialogTest.*")
