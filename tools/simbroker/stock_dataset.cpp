#include "tools/simbroker/stock_dataset.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace simbroker {

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '|')) fields.push_back(field);
  return fields;
}

bool ParseRow(const std::vector<std::string>& f, bool change, DatasetRow* row) {
  size_t at = 0;
  if (change) row->op = std::atoi(f[at++].c_str());
  if (f.size() < at + 5) return false;
  row->market = std::atoi(f[at].c_str());
  row->type = std::atoi(f[at + 1].c_str());
  row->code = f[at + 2];
  row->name = f[at + 3];
  row->abb = f[at + 4];
  if (f.size() > at + 5) row->prevClose = std::atof(f[at + 5].c_str());
  return row->code.size() == 6 && row->name.size() <= 24 && row->abb.size() <= 6 && row->market > 0;
}

using Key = std::pair<int, std::string>;

void Apply(std::map<Key, DatasetRow>* rows, const std::vector<DatasetRow>& changes) {
  for (const DatasetRow& c : changes) {
    if (c.op == 3) {
      rows->erase({c.market, c.code});
    } else if (c.op == 1 || c.op == 2) {
      DatasetRow r = c;
      r.op = 1;
      (*rows)[{c.market, c.code}] = r;
    }
  }
}

}  // namespace

bool ParseStockDataset(const std::string& text, StockDataset* out, std::string* error) {
  *out = StockDataset{};
  std::istringstream in(text);
  std::string line;
  int number = 0;
  std::vector<DatasetRow>* target = &out->base;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("@base ", 0) == 0) {
      out->baseVersion = line.substr(6);
      continue;
    }
    if (line.rfind("@version ", 0) == 0) {
      out->versions.push_back({line.substr(9), {}});
      target = &out->versions.back().second;
      continue;
    }
    DatasetRow row;
    if (!ParseRow(Split(line), target != &out->base, &row)) {
      if (error) *error = "line " + std::to_string(number) + ": " + line;
      return false;
    }
    target->push_back(row);
  }
  return true;
}

bool LoadStockDataset(const std::string& path, StockDataset* out, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  return ParseStockDataset(text.str(), out, error);
}

std::string DefaultStockDatasetPath() { return ORV_STOCK_DATASET; }

std::string CurrentDictionaryVersion(const StockDataset& data) {
  return data.versions.empty() ? data.baseVersion : data.versions.back().first;
}

std::vector<DatasetRow> CurrentDictionaryRows(const StockDataset& data) {
  std::map<Key, DatasetRow> rows;
  Apply(&rows, data.base);
  for (const auto& v : data.versions) Apply(&rows, v.second);
  std::vector<DatasetRow> out;
  for (auto& [key, row] : rows) out.push_back(row);
  return out;
}

std::vector<DatasetRow> DictionaryChangesSince(const StockDataset& data, const std::string& version, bool* full) {
  *full = false;
  if (version == CurrentDictionaryVersion(data)) return {};
  size_t from = data.versions.size() + 1;
  if (!version.empty() && version == data.baseVersion) from = 0;
  for (size_t i = 0; i < data.versions.size(); ++i) {
    if (!version.empty() && data.versions[i].first == version) from = i + 1;
  }
  if (from > data.versions.size()) {
    *full = true;
    return CurrentDictionaryRows(data);
  }
  std::vector<DatasetRow> changes;
  for (size_t i = from; i < data.versions.size(); ++i) {
    changes.insert(changes.end(), data.versions[i].second.begin(), data.versions[i].second.end());
  }
  return changes;
}

void PutDictionaryRecord(Bytes* out, const DatasetRow& row) {
  PutU8(out, static_cast<uint64_t>(row.op));
  PutU8(out, static_cast<uint64_t>(row.market));
  PutU8(out, static_cast<uint64_t>(row.type));
  PutFixedText(out, row.code, 6);
  PutFixedText(out, row.name, 24);
  PutFixedText(out, row.abb, 6);
}

Bytes DictionaryReplyBody(const std::string& version, const std::vector<DatasetRow>& rows) {
  Bytes body;
  PutU16(&body, version.size());
  PutText(&body, version);
  PutU16(&body, rows.size());
  for (const DatasetRow& row : rows) PutDictionaryRecord(&body, row);
  return body;
}

}  // namespace simbroker
