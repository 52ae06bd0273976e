# The status bar, table bar, pop view and dialog base draw with the
# foundation's drawing helpers and split texts with its string helpers.
target_link_libraries(controls PUBLIC foundation platform)
