# Behaviour tests of the standard controls, menus, dialogs and message
# boxes: their own executable, run on the offscreen Qt platform.
file(GLOB PLATFORM_CONTROLS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ctl_*_test.cpp)
if(PLATFORM_CONTROLS_TEST_SOURCES)
  orv_test_executable(platform_controls_tests SOURCES ${PLATFORM_CONTROLS_TEST_SOURCES} DEPS platform)
  orv_test_group(platform_controls_tests platform-controls "*")
endif()
