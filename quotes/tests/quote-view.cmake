# The quote view with its connection, tickers, pages and browsed list
# against simbroker's market-data server, and the shared quote-page pieces.
orv_test_group(quotes_tests quote-view
  "QuoteNumberTexts*:QuoteColors*:StockListMessages*:QuotePageSupport*:TickerTexts*:QuoteViewConnection*:QuoteViewTickers*:QuoteViewPages*:QuoteViewConstruction*:QuoteViewBrowse*:QuoteViewThreads*:QuoteViewSnapshot*")
