orv_benchmark(window_paint SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/window_paint_bench.cpp DEPS platform)
