orv_fuzz_target(sorted_lists SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sorted_lists_fuzz.cpp DEPS marketdata)
