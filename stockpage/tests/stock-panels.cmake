# The quote summary, price statistics, ex-rights dialog, fund-flow pie, tick
# lists and tick-by-tick panel on the test desktop, and the harness that
# feeds them from simbroker's market-data server through the real engine.
orv_test_group(stockpage_tests stock-panels
  "PanelFormats*:HandicapRows*:HandicapPaint*:PriceStatis*:ExRights*:PiePanel*:DetailView*:DetailSmall*:TickByTick*:PanelHarness*:PanelSnapshots*")
if(TARGET stockpage_tests)
  target_link_libraries(stockpage_tests PRIVATE simbroker)
endif()
