# Wire encoders and the market-data server.
orv_test_group(simbroker_tests simbroker "WireEncoders*:MarketServer*" TIMEOUT 120)
