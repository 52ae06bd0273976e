# The browser helper speaks the browser program's catalogue.
target_link_libraries(shell PUBLIC brisel_catalogue)
if(ORV_TESTS)
  add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/tests/browser ${CMAKE_CURRENT_BINARY_DIR}/tests/browser)
endif()
