# UTF-8/UTF-16 converters and the bounded var-int readers.
orv_fuzz_target(text SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/text_fuzz.cpp DEPS foundation)
