#include "marketdata/own_stocks.h"

#include <cstring>
#include <string>

#include "foundation/user_folders.h"

namespace {

struct OwnKey {
  char bytes[kOwnStockEntrySize];
};

OwnKey MakeKey(const char* code, int market) {
  OwnKey key{};
  size_t n = strnlen(code, 6);
  std::memcpy(key.bytes, code, n);
  key.bytes[6] = static_cast<char>(market);
  return key;
}

// Compares an entry with the key as text over 7 bytes.
bool EntryEquals(const char* entry, const OwnKey& key) {
  return std::strncmp(entry, key.bytes, kOwnStockEntrySize) == 0;
}

// The file's bytes; false when it cannot be read.
bool ReadOwnFile(QuoteEngine* engine, std::string* out) {
  FileBlob* blob = ReadDataFile(engine->ownStockPath);
  if (!blob) return false;
  out->assign(blob->data, static_cast<size_t>(blob->size));
  FreeFileBlob(blob);
  return true;
}

int IndexOf(const std::string& bytes, const OwnKey& key) {
  size_t entries = bytes.size() / kOwnStockEntrySize;
  for (size_t i = 0; i < entries; ++i) {
    if (EntryEquals(bytes.data() + i * kOwnStockEntrySize, key)) return static_cast<int>(i);
  }
  return -1;
}

bool WriteOwnFile(QuoteEngine* engine, const std::string& bytes) {
  return WriteDataFile(engine->ownStockPath, bytes.data(), static_cast<int>(bytes.size()));
}

void ReloadCopy(QuoteEngine* engine) {
  std::shared_ptr<const OwnStockList> fresh = LoadOwnStockList(engine);
  engine->ownStocks = std::move(fresh);
}

}  // namespace

int GetOwnStockCount(QuoteEngine* engine) {
  long long size = GetFileSizeUtf8Path((DataRoot() + engine->ownStockPath).c_str());
  if (size < kOwnStockEntrySize) return 0;
  return static_cast<int>(size / kOwnStockEntrySize);
}

int FindOwnStock(QuoteEngine* engine, const char* code, int market) {
  if (!code) return -1;
  std::string bytes;
  if (!ReadOwnFile(engine, &bytes)) return -1;
  return IndexOf(bytes, MakeKey(code, market));
}

bool IsOwnStock(QuoteEngine* engine, const char* code, int market) {
  if (!code) return false;
  std::shared_ptr<const OwnStockList> copy = GetOwnStockSnapshot(engine);
  if (!copy) return false;
  int count = engine->ownStockCount.load();
  if (count > copy->EntryCount()) count = copy->EntryCount();
  const OwnKey key = MakeKey(code, market);
  for (int i = 0; i < count; ++i) {
    if (EntryEquals(copy->bytes.data() + static_cast<size_t>(i) * kOwnStockEntrySize, key)) return true;
  }
  return false;
}

int AddOwnStock(QuoteEngine* engine, const char* code, int market) {
  if (!code || !code[0]) return -1;
  std::lock_guard<std::mutex> hold(engine->ownStockLock);
  const OwnKey key = MakeKey(code, market);
  std::string bytes;
  int result = 0;
  if (!ReadOwnFile(engine, &bytes) || bytes.size() < kOwnStockEntrySize) {
    WriteOwnFile(engine, std::string(key.bytes, kOwnStockEntrySize));
    ++engine->ownStockCount;
  } else if (IndexOf(bytes, key) >= 0) {
    result = 1;
  } else {
    bytes.append(key.bytes, kOwnStockEntrySize);
    WriteOwnFile(engine, bytes);
    ++engine->ownStockCount;
  }
  ReloadCopy(engine);
  return result;
}

int RemoveOwnStock(QuoteEngine* engine, const char* code, int market) {
  if (!code) return -1;
  std::lock_guard<std::mutex> hold(engine->ownStockLock);
  std::string bytes;
  int result = -1;
  if (ReadOwnFile(engine, &bytes) && bytes.size() >= kOwnStockEntrySize) {
    int index = IndexOf(bytes, MakeKey(code, market));
    if (index >= 0) {
      bytes.erase(static_cast<size_t>(index) * kOwnStockEntrySize, kOwnStockEntrySize);
      WriteOwnFile(engine, bytes);
      --engine->ownStockCount;
      result = 0;
    }
  }
  ReloadCopy(engine);
  return result;
}

void MoveOwnStock(QuoteEngine* engine, int from, int to) {
  std::lock_guard<std::mutex> hold(engine->ownStockLock);
  int count = GetOwnStockCount(engine);
  if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
  std::string bytes;
  if (ReadOwnFile(engine, &bytes) && static_cast<int>(bytes.size() / kOwnStockEntrySize) >= count) {
    std::string kept = bytes.substr(static_cast<size_t>(from) * kOwnStockEntrySize, kOwnStockEntrySize);
    bytes.erase(static_cast<size_t>(from) * kOwnStockEntrySize, kOwnStockEntrySize);
    bytes.insert(static_cast<size_t>(to) * kOwnStockEntrySize, kept);
    WriteOwnFile(engine, bytes);
  }
  ReloadCopy(engine);
}

std::shared_ptr<const OwnStockList> LoadOwnStockList(QuoteEngine* engine) {
  std::string bytes;
  if (!ReadOwnFile(engine, &bytes) || bytes.size() < kOwnStockEntrySize) return nullptr;
  auto copy = std::make_shared<OwnStockList>();
  copy->bytes = std::move(bytes);
  return copy;
}

std::shared_ptr<const OwnStockList> GetOwnStockSnapshot(QuoteEngine* engine) {
  std::lock_guard<std::mutex> hold(engine->ownStockLock);
  return engine->ownStocks;
}
