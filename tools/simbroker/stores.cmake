# The stock data set, the dictionary service and the history-data server.
# The data set's path is compiled in (the program also takes --stocks FILE);
# the HTTP repair endpoint uses cpp-httplib (header only).
target_compile_definitions(simbroker PRIVATE ORV_STOCK_DATASET="${CMAKE_CURRENT_SOURCE_DIR}/data/stocks.txt")

# res/pellune.db of the build tree: the table qdic filled from the data set,
# so a fresh install can search stocks before its first dictionary update,
# and res/qver.data with the data set's version to go with it.
find_package(SQLite3 REQUIRED)
add_executable(make_pellune_db ${CMAKE_CURRENT_SOURCE_DIR}/dbtool/make_pellune_db.cpp)
target_link_libraries(make_pellune_db PRIVATE simbroker marketdata SQLite::SQLite3)
target_include_directories(make_pellune_db PRIVATE ${CMAKE_SOURCE_DIR})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/res/pellune.db ${CMAKE_BINARY_DIR}/res/qver.data
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
  COMMAND make_pellune_db ${CMAKE_CURRENT_SOURCE_DIR}/data/stocks.txt ${CMAKE_BINARY_DIR}/res/pellune.db
          ${CMAKE_BINARY_DIR}/res/qver.data
  DEPENDS make_pellune_db ${CMAKE_CURRENT_SOURCE_DIR}/data/stocks.txt
  COMMENT "Creating res/pellune.db from the stock data set")
add_custom_target(pellune_db ALL DEPENDS ${CMAKE_BINARY_DIR}/res/pellune.db ${CMAKE_BINARY_DIR}/res/qver.data)

find_package(PkgConfig REQUIRED)
pkg_check_modules(STORES_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(simbroker PUBLIC PkgConfig::STORES_HTTPLIB)

# The dictionary tests read the delivered database of the build tree.
if(TARGET marketdata_tests)
  add_dependencies(marketdata_tests pellune_db)
endif()
