# The drawing helpers and UI fonts draw through the platform's window and
# drawing layer.
target_link_libraries(foundation PUBLIC platform)
