orv_fuzz_target(gzip_inflate
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gzip_inflate_fuzz.cpp
  DEPS foundation)
