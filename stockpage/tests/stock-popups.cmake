# The keyboard search, the pop-up quote, the cycle view and the F10 window on
# the test desktop, fed from simbroker's servers through the real engine.
orv_test_group(stockpage_tests stock-popups "StockSearch*:FindStockDialog*:F10View*:CycleView*")
