# The stock page: structure and layout, showing a stock against simbroker,
# K-line data, commands, menus and keys, information lists.
orv_test_group(stockpage_tests stockpage "QuoteDetails*" TIMEOUT 600)
