orv_fuzz_target(http_reply SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/http_reply_fuzz.cpp DEPS foundation)
