orv_fuzz_target(gif SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gif_fuzz.cpp DEPS controls)
