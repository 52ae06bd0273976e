# The grid control is a window: it draws through the platform layer and the
# foundation's drawing helpers and UI fonts.
target_link_libraries(controls PUBLIC platform foundation)
