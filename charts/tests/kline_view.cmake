# The K-line markers and fundamentals rows, the related-data fetcher against
# simbroker's HTTP side, the K-line painters and view.
orv_test_group(charts_tests kline-view "KLineMarkers*:KLineRelData*:KLinePainter*:KLineViewTest*:KLineViewBadInput*:KLineViewServed*")
# The fetcher's tests talk to simbroker's HTTP side on loopback; the view is
# fed by the engine from simbroker's market-data server.
if(TARGET charts_tests)
  target_link_libraries(charts_tests PRIVATE simbroker_http simbroker)
endif()
