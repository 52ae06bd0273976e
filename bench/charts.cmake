# Chart engine recalculation times: CalcKLineIndicators over 8,000 bars for
# each pane layout after a zoom or scroll step, and CalcMinuteIndicators over
# 242 and 1,024 minutes.
orv_benchmark(charts SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/charts_bench.cpp DEPS charts)
