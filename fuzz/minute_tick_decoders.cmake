# The minute, tick, F10, alert and information decoders.
orv_fuzz_target(minute_tick_decoders SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/minute_tick_decoders_fuzz.cpp DEPS marketdata)
