# The bar, ex-rights and level-2 supplement decoders and the adjustment.
orv_fuzz_target(bar_decoders SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bar_decoders_fuzz.cpp DEPS marketdata)
