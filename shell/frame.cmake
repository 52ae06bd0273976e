# The main frame and what it stands on (library shell_frame, tests with the
# label `frame`).
set(SHELL_FRAME_SOURCES
  frame_factories.cpp
  frame_files.cpp
  frame_placeholders.cpp
  goto_command.cpp
  main_frame.cpp
  main_frame_commands.cpp
  main_view.cpp
  navigater.cpp
  own_stock_sync.cpp)
list(TRANSFORM SHELL_FRAME_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
orv_library(shell_frame SOURCES ${SHELL_FRAME_SOURCES} DEPS controls marketdata foundation platform)

set(SHELL_FRAME_TEST_SOURCES
  tests/frame_placeholders_test.cpp
  tests/frame_readers_test.cpp
  tests/frame_network_test.cpp
  tests/main_frame_test.cpp
  tests/navigater_test.cpp)
list(TRANSFORM SHELL_FRAME_TEST_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
orv_test_executable(shell_frame_tests SOURCES ${SHELL_FRAME_TEST_SOURCES} DEPS shell_frame simbroker_http)
if(TARGET shell_frame_tests)
  add_dependencies(shell_frame_tests resources)
endif()
orv_test_group(shell_frame_tests frame "*")

