# The code dictionary lives in SQLite (res\pellune.db, table qdic).
find_package(SQLite3 REQUIRED)
target_link_libraries(marketdata PUBLIC SQLite::SQLite3)
