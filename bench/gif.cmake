# Decoding a 400 x 300 animation of 20 frames, against Qt's GIF reader.
find_package(Qt6 REQUIRED COMPONENTS Gui)
orv_benchmark(gif
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gif_bench.cpp
  DEPS controls gif_test_writer Qt6::Gui)
