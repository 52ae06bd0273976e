# Market states and trading hours, the code dictionary, the day store and the
# history-data client.
orv_test_group(marketdata_tests stores "MarketStates*:MarketInfoDecoder*:TradingHours*:CodeDictionary*:DayStore*:HistoryClient*:DemoSeed*" TIMEOUT 300)
