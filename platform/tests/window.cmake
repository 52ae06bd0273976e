# Tests of the window system and drawing: one executable, run on the
# offscreen Qt platform.
file(GLOB PLATFORM_WINDOW_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/win_*_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gdi_*_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/afx_*_test.cpp)
if(PLATFORM_WINDOW_TEST_SOURCES)
  orv_test_executable(platform_tests SOURCES ${PLATFORM_WINDOW_TEST_SOURCES} DEPS platform)
  orv_test_group(platform_tests platform-ui "*")
endif()
