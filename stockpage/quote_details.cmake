# The stock page hosts the block lists and implements the quote view's page
# interface.
target_link_libraries(stockpage PUBLIC monitor quotes)
