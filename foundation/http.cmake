# The system HTTP stack of the request layer is libcurl.
find_package(CURL REQUIRED)
target_link_libraries(foundation PUBLIC CURL::libcurl)
