# The keyboard search and the pop-up quote the frame makes come from the
# stock page's library.
target_link_libraries(shell PUBLIC stockpage)
