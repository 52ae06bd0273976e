# One keystroke of the keyboard search over a 30,000-row code dictionary,
# alone and with the result list of an offscreen dialog refilled, against a
# plain scan of the table.
find_package(Qt6 REQUIRED COMPONENTS Gui)
orv_benchmark(stock_search SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stock_search_bench.cpp DEPS stockpage Qt6::Gui)
