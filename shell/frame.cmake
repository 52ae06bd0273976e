# The main frame and what it stands on (library shell_frame, tests with the
# label `frame`).
set(SHELL_FRAME_SOURCES
  frame_factories.cpp
  frame_placeholders.cpp)
list(TRANSFORM SHELL_FRAME_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
orv_library(shell_frame SOURCES ${SHELL_FRAME_SOURCES} DEPS controls marketdata foundation platform)

set(SHELL_FRAME_TEST_SOURCES
  tests/frame_placeholders_test.cpp)
list(TRANSFORM SHELL_FRAME_TEST_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
orv_test_executable(shell_frame_tests SOURCES ${SHELL_FRAME_TEST_SOURCES} DEPS shell_frame)
orv_test_group(shell_frame_tests frame "*")
