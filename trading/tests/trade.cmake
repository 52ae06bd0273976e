orv_test_group(trading_tests trade "TradeCodec*:TradeSession*:TradeRequest*:TradeTables*:TradeAccount*")
