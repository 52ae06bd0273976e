orv_fuzz_target(trade_reply SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/trade_reply_fuzz.cpp DEPS trading)
