# FooButton, CMenuEx and CTabBar: window tests on the offscreen platform.
if(TARGET controls_tests)
  orv_test_group(controls_tests skin-buttons "FooButton*:MenuEx*:TabBar*:SkinSnapshot*")
endif()
