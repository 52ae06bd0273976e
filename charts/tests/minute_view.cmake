# The minute chart painters (pixel probes on offscreen pictures), the minute
# chart view and the boards' mini chart window in the test desktop, over
# what simbroker's builders send.
if(TARGET charts_tests)
  target_sources(charts_tests PRIVATE ${CMAKE_SOURCE_DIR}/controls/tests/resource_fixture.cpp)
  target_link_libraries(charts_tests PRIVATE platform simbroker)
endif()
orv_test_group(charts_tests minute-view "MinuteChartPaint.*:MinViewTest.*:MinViewServed.*:MiniChartTest.*")
