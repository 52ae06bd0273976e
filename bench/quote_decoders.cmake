# The stock-list (type 32) and category-list (type 42) decoders on replies
# built by the simulated server, against a plain copy of the same bytes.
orv_benchmark(quote_decoders
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/quote_decoders_bench.cpp
  DEPS marketdata simbroker)
