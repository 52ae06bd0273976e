# The skinned buttons, menus and tab bar draw through the window layer and
# the drawing helpers.
target_link_libraries(controls PUBLIC platform foundation)
