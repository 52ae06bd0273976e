# The stock data set, the dictionary service and the history server.
orv_test_group(simbroker_tests stores "StockDataset*:DictionaryService*:HistoryServer*" TIMEOUT 120)
