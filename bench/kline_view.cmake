# The K-line view over 8,000 day bars on the offscreen platform: scroll and
# zoom steps (recalculation + repaint) for five lower indicators against a
# plain repaint of the same view.
find_package(Qt6 REQUIRED COMPONENTS Gui)
orv_benchmark(kline_view SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kline_view_bench.cpp DEPS charts Qt6::Gui)
