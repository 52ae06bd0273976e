orv_fuzz_target(quote_lists SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/quote_lists_fuzz.cpp DEPS marketdata)
