# The grid control's full repaint and change-flash update on a 1920 x 1080
# surface, against a plain fill and the same texts drawn with one QPainter.
# The program's fonts come from the controls' test fixture.
find_package(Qt6 REQUIRED COMPONENTS Gui)
orv_benchmark(grid
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/grid_bench.cpp ${CMAKE_SOURCE_DIR}/controls/tests/resource_fixture.cpp
  DEPS controls Qt6::Gui)
target_compile_definitions(bench_grid PRIVATE ORV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ORV_BINARY_DIR="${CMAKE_BINARY_DIR}")
