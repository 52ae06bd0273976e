# Indicator recalculation times: the classic ten with the moving averages,
# the level-2 indicators with both overlays over 8,000 bars, and the minute
# indicators over 242 and 1,024 minutes.
orv_benchmark(indicators SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/indicators_bench.cpp DEPS marketdata)
