# Minute, tick, F10, alert and information decoders, the simulated server's
# tape behind their replies, and the minute and tick subscriptions end to end.
orv_test_group(marketdata_tests decoders-minute "MinuteDecoder*:TickDecoder*:PriceStatDecoder*:F10Decoder*:AlertDecoder*:InfoDecoder*:MinuteTickSim*:MinuteTickDispatch*:MinuteTickLoopback*")
