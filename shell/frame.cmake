# The main frame, the interfaces of the windows of other libraries it drives
# and their placeholders: sources of the shell library (its glob), tests with
# the label `frame`.
target_link_libraries(shell PUBLIC marketdata quoteview trading_ui)

set(SHELL_FRAME_TEST_SOURCES
  tests/frame/frame_placeholders_test.cpp
  tests/frame/frame_readers_test.cpp
  tests/frame/frame_network_test.cpp
  tests/frame/main_frame_test.cpp
  tests/frame/navigater_test.cpp)
list(TRANSFORM SHELL_FRAME_TEST_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
orv_test_executable(shell_frame_tests SOURCES ${SHELL_FRAME_TEST_SOURCES} DEPS shell simbroker_http)
if(TARGET shell_frame_tests)
  # The frame seeds its code dictionary from the build's res/pellune.db.
  add_dependencies(shell_frame_tests resources pellune_db)
endif()
orv_test_group(shell_frame_tests frame "*")
