# The stores against their budgets: a dictionary apply of 30,000 records
# (under 1 s), one store-and-read of a 730-bar stock (under 5 ms) and a full
# download merge of 4,000 stocks x 730 bars (under 10 s).
find_package(SQLite3 REQUIRED)
orv_benchmark(stores SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stores_bench.cpp DEPS marketdata SQLite::SQLite3)
