orv_fuzz_target(zip_reader
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/zip_reader_fuzz.cpp
  DEPS foundation)
