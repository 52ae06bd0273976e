// make_pellune_db DATASET OUTPUT VERSIONFILE: writes the delivered dictionary
// database, the table qdic keyed by (marketid, code), filled with the data
// set's current rows (a temporary file renamed into place), and the matching
// qver.data (the data set's version, no terminator), so that a fresh
// install's first dictionary request asks only for later changes.
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "marketdata/code_dictionary.h"
#include "tools/simbroker/stock_dataset.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_pellune_db DATASET OUTPUT VERSIONFILE\n");
    return 2;
  }
  simbroker::StockDataset data;
  std::string error;
  if (!simbroker::LoadStockDataset(argv[1], &data, &error)) {
    std::fprintf(stderr, "make_pellune_db: %s\n", error.c_str());
    return 1;
  }
  const std::string output = argv[2];
  const std::string temporary = output + ".tmp";
  std::remove(temporary.c_str());
  sqlite3* db = nullptr;
  int rc = sqlite3_open(temporary.c_str(), &db);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, kDictionaryTableSchema, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, "insert or replace into qdic VALUES (?1, ?2, ?3, ?4, ?5)", -1, &insert, nullptr);
  for (const simbroker::DatasetRow& row : simbroker::CurrentDictionaryRows(data)) {
    if (rc != SQLITE_OK) break;
    sqlite3_reset(insert);
    sqlite3_bind_int(insert, 1, row.market);
    sqlite3_bind_int(insert, 2, row.type);
    sqlite3_bind_text(insert, 3, row.code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, row.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 5, row.abb.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(insert) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
  }
  sqlite3_finalize(insert);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) std::fprintf(stderr, "make_pellune_db: %s\n", sqlite3_errmsg(db));
  sqlite3_close(db);
  if (rc != SQLITE_OK || std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::remove(temporary.c_str());
    return 1;
  }
  const std::string version = simbroker::CurrentDictionaryVersion(data);
  std::FILE* file = std::fopen(argv[3], "wb");
  if (!file || std::fwrite(version.data(), 1, version.size(), file) != version.size()) {
    if (file) std::fclose(file);
    return 1;
  }
  return std::fclose(file) == 0 ? 0 : 1;
}
