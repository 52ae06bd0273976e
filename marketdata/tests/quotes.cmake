# Stock identity, quote fields, stock lists, rankings, sorted lists, field
# tables and JSON replies, with their simulated-server builders.
orv_test_group(marketdata_tests decoders-quotes "QuoteField*:StockKey*:StockListDecoder*:StockFieldsDecoder*:RankingDecoder*:SortedListDecoder*:FieldTableDecoder*:NewsListDecoder*:StockPoolDecoder*:QuoteSim*:QuoteDecoders*")
