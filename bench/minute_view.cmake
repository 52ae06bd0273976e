# The minute chart view on the offscreen platform: a cursor move, a dirty
# render after new data, against a full repaint of a clean picture.
find_package(Qt6 REQUIRED COMPONENTS Gui)
orv_benchmark(minute_view SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/minute_view_bench.cpp DEPS charts Qt6::Gui)
