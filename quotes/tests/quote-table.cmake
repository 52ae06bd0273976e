# The main quote table, its column catalogue and simbroker's lists behind it.
orv_test_group(quotes_tests quote-table
  "ColumnSets*:QuoteTable*")
