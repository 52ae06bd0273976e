# The price statistics panel scrolls with the skinned scroll bar; the
# fund-flow pie opens the indicator help dialog.
target_link_libraries(stockpage PUBLIC controls charts)
