# Engine context, connection, request framing and dispatch, builders, watch list.
orv_test_group(marketdata_tests engine "QuoteEngine*:QuoteConnection*:QuoteFraming*:PendingList*:QuoteDispatch*:ReplyReader*:RequestBuilders*:OwnStocks*:QuoteLoopback*")
