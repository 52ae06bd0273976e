# The keyboard search and the pop-up quote the frame makes come from the
# stock page's library.
target_link_libraries(shell PUBLIC stockpage)

# The search inside the frame (label stock-popups).
if(ORV_TESTS)
  orv_test_executable(shell_popup_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/frame/frame_search_test.cpp
                      DEPS shell simbroker_http)
  if(TARGET shell_popup_tests)
    add_dependencies(shell_popup_tests resources)
  endif()
  orv_test_group(shell_popup_tests stock-popups "*")
endif()
