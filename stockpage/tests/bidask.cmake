# The bid/ask board, the index board and the level-2 panels on the test
# desktop, with simbroker's quote records (its library) as fixtures.
if(TARGET stockpage_tests)
  target_link_libraries(stockpage_tests PRIVATE simbroker)
endif()
orv_test_group(stockpage_tests bidask "PriceView*:IndexBoard*:TrustViews*:BoardThreads*:BoardSnapshots*:QueueSnapshot*:CancelSnapshot*")
