# The block list view and the star map engine, with quote lists decoded by
# the engine from simbroker's reply builders and served by its market-data
# server on loopback.
orv_test_group(monitor_tests blocklist-starmap "StarMap*:BlockList*")
if(TARGET monitor_tests)
  target_link_libraries(monitor_tests PRIVATE simbroker)
endif()
