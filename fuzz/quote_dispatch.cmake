# The market-data engine's frame walk and reply dispatch.
orv_fuzz_target(quote_dispatch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/quote_dispatch_fuzz.cpp DEPS marketdata)
