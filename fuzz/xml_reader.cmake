orv_fuzz_target(xml_reader SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_reader_fuzz.cpp DEPS foundation)
