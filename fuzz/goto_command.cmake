# The main frame's "goto::" texts from menu entries and web pages.
orv_fuzz_target(goto_command SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/goto_command_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/shell/goto_command.cpp)
if(TARGET fuzz_goto_command)
  target_include_directories(fuzz_goto_command PRIVATE ${CMAKE_SOURCE_DIR})
endif()
