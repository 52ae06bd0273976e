orv_fuzz_target(json_replies SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/json_replies_fuzz.cpp DEPS marketdata)
