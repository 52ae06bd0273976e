# The multi-stock view on the test desktop against simbroker's market-data
# server through the real engine.
orv_test_group(quotes_tests stock-popups "MultiStock*:StockCodeListRotation*")
