# The skinned edit, buttons, scroll bar, pop-up list, tree and list box draw
# through the window layer and the drawing helpers.
target_link_libraries(controls PUBLIC platform foundation)
