# The search dialog, the pop-up quote, the cycle view and the F10 window:
# they fill the browsing record and post the messages of the quote tables'
# shared pieces.
target_link_libraries(stockpage PUBLIC quotes)
