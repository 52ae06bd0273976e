# The history client's reply dispatch and the dictionary reply decoder.
orv_fuzz_target(history_reply SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/history_reply_fuzz.cpp DEPS marketdata)
