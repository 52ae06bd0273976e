// The project's stock data set (data/stocks.txt): real Shanghai and Shenzhen
// stocks, indices, funds and B shares with their names and pinyin initials,
// a base version and the change lists of later versions. simbroker serves
// its dictionary from it and the build makes res/pellune.db from it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

struct DatasetRow {
  int op = 1;              // change lists: 1/2 insert or replace, 3 delete
  int market = 0;          // 1 Shanghai, 2 Shenzhen
  int type = 0;            // 1 index, 2 stock, 3 fund
  std::string code;        // 6 characters
  std::string name;        // UTF-8, at most 24 bytes
  std::string abb;         // pinyin initials, at most 6
  double prevClose = 0;    // previous close (0 when not given)
};

struct StockDataset {
  std::string baseVersion;
  std::vector<DatasetRow> base;
  std::vector<std::pair<std::string, std::vector<DatasetRow>>> versions;  // in order
};

// Parses the text; false (with *error set) at the first malformed line.
bool ParseStockDataset(const std::string& text, StockDataset* out, std::string* error);
// Reads and parses a file.
bool LoadStockDataset(const std::string& path, StockDataset* out, std::string* error);
// The committed data set of the source tree.
std::string DefaultStockDatasetPath();

// The newest version, and the rows of the base with every change applied
// (sorted by market and code).
std::string CurrentDictionaryVersion(const StockDataset& data);
std::vector<DatasetRow> CurrentDictionaryRows(const StockDataset& data);

// The changes a client of this version needs: *full is set (and every
// current row returned with operation 1) when the version is unknown or
// empty; an up-to-date version gives no rows.
std::vector<DatasetRow> DictionaryChangesSince(const StockDataset& data, const std::string& version, bool* full);

// The 39-byte record of a row: op, market, type, code 6, name 24, abb 6.
void PutDictionaryRecord(Bytes* out, const DatasetRow& row);

// A type-1 reply body: u16 n, version, u16 m, m records.
Bytes DictionaryReplyBody(const std::string& version, const std::vector<DatasetRow>& rows);

}  // namespace simbroker
