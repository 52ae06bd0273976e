orv_fuzz_target(json_reader SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/json_reader_fuzz.cpp DEPS foundation)
