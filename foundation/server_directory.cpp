// Server directory and the market-data site choice.
#include "foundation/server_directory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"

namespace {

std::recursive_mutex gDirectoryLock;
XmlNode* gDirectory = nullptr;  // guarded by gDirectoryLock
std::atomic<int (*)()> gRandomSource{nullptr};

// Field number index (0-based) of a record, or null when it has fewer fields.
const char* Field(const RecordList* record, int index) {
  const StringList* field = record->fields;
  for (int i = 0; field != nullptr && i < index; ++i) field = field->next;
  return field != nullptr ? field->text : nullptr;
}

void CopyCut(char* buffer, size_t size, const char* text) {
  size_t n = strnlen(text, size - 1);
  memcpy(buffer, text, n);
  buffer[n] = 0;
}

// The market-data site choice of ChooseServer. Writes the chosen address into
// result (cleared when no record can be used) and stores the chosen host.
void ChooseQuoteSite(const char* value, int level2, char* result, size_t resultSize) {
  memset(result, 0, resultSize);
  RecordList* records = SplitRecords(value, ',', '|');
  std::vector<const RecordList*> usable;
  int needed = level2 == 1 ? 3 : 2;
  for (const RecordList* record = records; record != nullptr; record = record->next) {
    if (Field(record, needed - 1) != nullptr) usable.push_back(record);
  }
  if (usable.empty()) {
    FreeRecordList(&records);
    return;
  }
  const RecordList* chosen = nullptr;
  if (const char* host = GetConfig("host")) {
    for (const RecordList* record : usable) {
      if (strstr(Field(record, 1), host) != nullptr) {
        chosen = record;
        break;
      }
    }
  }
  if (chosen == nullptr) {
    int (*source)() = gRandomSource.load();
    long long r = source != nullptr ? source() : rand();
    long long count = static_cast<long long>(usable.size());
    chosen = usable[static_cast<size_t>(((r % count) + count) % count)];
  }
  CopyCut(result, resultSize, Field(chosen, level2 == 1 ? 2 : 1));
  char host[512] = {};
  ExtractBetween(Field(chosen, 1), host, sizeof host, "http://", ":");
  SetConfig("host", host);
  FreeRecordList(&records);
  SaveConfig();
}

}  // namespace

void SetServerRandomSourceForTesting(int (*source)()) { gRandomSource.store(source); }

void LoadServerList() {
  FileBlob* blob = ReadDataFile("res\\server.data");
  XmlNode* directory = nullptr;
  if (blob != nullptr) {
    const char* cursor = blob->data;
    directory = ParseXmlNode(&cursor);
    FreeFileBlob(blob);
  }
  std::lock_guard<std::recursive_mutex> guard(gDirectoryLock);
  FreeXmlTree(gDirectory);
  gDirectory = directory;
}

void FreeServerList() {
  std::lock_guard<std::recursive_mutex> guard(gDirectoryLock);
  FreeXmlTree(gDirectory);
  gDirectory = nullptr;
}

char* ChooseServer(const char* name, int level2) {
  constexpr size_t kResultSize = 1024;
  auto* result = static_cast<char*>(calloc(kResultSize, 1));
  if (result == nullptr || name == nullptr) return result;
  std::lock_guard<std::recursive_mutex> guard(gDirectoryLock);
  const char* value = GetXmlValue(gDirectory, name);
  if (value != nullptr) CopyCut(result, kResultSize, value);
  if (strcmp(name, "PCQuote") == 0) ChooseQuoteSite(value, level2, result, kResultSize);
  RemoveAllInPlace(result, static_cast<int>(strlen(result)), "amp;");
  return result;
}

RecordList* GetServerRecords(const char* name) {
  std::lock_guard<std::recursive_mutex> guard(gDirectoryLock);
  const char* value = GetXmlValue(gDirectory, name);
  return value != nullptr ? SplitRecords(value, ',', '|') : nullptr;
}

char* GetQuoteServerHost(int level2) {
  auto* host = static_cast<char*>(calloc(512, 1));
  if (host == nullptr) return nullptr;
  char* address = ChooseServer("PCQuote", level2);
  if (address != nullptr) ExtractBetween(address, host, 512, "http://", ":");
  free(address);
  return host;
}
