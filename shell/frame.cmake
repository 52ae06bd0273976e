# The main frame, the interfaces of the windows of other libraries it drives
# and their placeholders: sources of the shell library (its glob), tests with
# the label `frame`.
target_link_libraries(shell PUBLIC marketdata)

set(SHELL_FRAME_TEST_SOURCES
  tests/frame/frame_placeholders_test.cpp)
list(TRANSFORM SHELL_FRAME_TEST_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
orv_test_executable(shell_frame_tests SOURCES ${SHELL_FRAME_TEST_SOURCES} DEPS shell)
orv_test_group(shell_frame_tests frame "*")
