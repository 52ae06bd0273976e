// The registry is a tree of Key records held in memory, loaded from the
// registry file at first use (and again whenever the file's path changes),
// and written back whole after every change. Handles name key paths, not
// records, so a key deleted under an open handle simply stops being found.
//
// File format, UTF-8 text, one record a line:
//   key <root>\<path>                    a key (its parents are implied)
//   value <type> <name hex> <data hex>   a value of the key above it
// Key paths are written with '%' and control characters as %XX; value names
// as the hex of their UTF-8 form.
#include "platform/kernel/kernel_registry.h"


#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"

namespace {

struct Value {
  WString name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  WString name;                                   // as first created
  std::map<WString, std::unique_ptr<Key>> subKeys;  // by folded name
  std::vector<Value> values;                      // in creation order
};

struct OpenKey {
  int root = 0;                  // index into kRootNames
  std::vector<WString> path;     // components below the root
};

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};
constexpr int kRootCount = 3;
constexpr uintptr_t kRootBase = 0x80000000u;

std::mutex g_lock;  // guards everything below
std::string g_fileOverride;
std::string g_loadedFrom;  // the file the tree was loaded from
bool g_loaded = false;
Key g_roots[kRootCount];
std::map<uintptr_t, OpenKey> g_handles;
uintptr_t g_nextHandle = 0x1000;

WString Fold(const WString& name) {
  WString folded = name;
  for (WCHAR& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c - u'A' + u'a');
  return folded;
}

size_t Length16(const WCHAR* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

WString Text16(const WCHAR* text) { return text ? WString(text, Length16(text)) : WString(); }

std::vector<WString> SplitPath(const WString& path) {
  std::vector<WString> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == WString::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}



const char kHex[] = "0123456789abcdef";

std::string Hex(const BYTE* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    out += kHex[data[i] >> 4];
    out += kHex[data[i] & 15];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unhex(std::string_view text, std::vector<BYTE>* out) {
  if (text.size() % 2 != 0) return false;
  out->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<BYTE>(hi * 16 + lo));
  }
  return true;
}

std::string EscapePath(const std::string& path) {
  std::string out;
  for (char c : path) {
    auto b = static_cast<unsigned char>(c);
    if (c == '%' || b < 0x20 || b == 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
      continue;
    }
    out += c;
  }
  return out;
}

std::string UnescapePath(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

std::string RegistryFile() {
  if (!g_fileOverride.empty()) return g_fileOverride;
  std::string folder = AppDataFolder();
  if (folder.empty()) return std::string();
  return folder + "Orvenna/registry.txt";
}

Key* Child(Key* key, const WString& name) {
  auto it = key->subKeys.find(Fold(name));
  return it == key->subKeys.end() ? nullptr : it->second.get();
}

Key* ChildOrNew(Key* key, const WString& name, bool* created) {
  WString folded = Fold(name);
  auto it = key->subKeys.find(folded);
  if (it != key->subKeys.end()) return it->second.get();
  auto fresh = std::make_unique<Key>();
  fresh->name = name;
  Key* made = fresh.get();
  key->subKeys.emplace(std::move(folded), std::move(fresh));
  *created = true;
  return made;
}

Value* FindValue(Key* key, const WString& name) {
  WString folded = Fold(name);
  for (Value& v : key->values)
    if (Fold(v.name) == folded) return &v;
  return nullptr;
}

void Clear() {
  for (Key& root : g_roots) {
    root.subKeys.clear();
    root.values.clear();
  }
}

void ParseInto(const std::string& bytes) {
  Key* current = nullptr;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + start, end - start);
    start = end + 1;
    if (line.substr(0, 4) == "key ") {
      std::vector<WString> parts = SplitPath(Utf8ToWide(UnescapePath(line.substr(4))));
      current = nullptr;
      if (parts.empty()) continue;
      for (int r = 0; r < kRootCount; ++r)
        if (Fold(parts[0]) == Fold(Utf8ToWide(kRootNames[r]))) current = &g_roots[r];
      bool created = false;
      for (size_t i = 1; current && i < parts.size(); ++i) current = ChildOrNew(current, parts[i], &created);
      continue;
    }
    if (line.substr(0, 6) != "value " || !current) continue;
    line.remove_prefix(6);
    size_t a = line.find(' ');
    size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
    if (b == std::string_view::npos) continue;
    Value value;
    std::vector<BYTE> name;
    value.type = static_cast<DWORD>(std::strtoul(std::string(line.substr(0, a)).c_str(), nullptr, 10));
    if (!Unhex(line.substr(a + 1, b - a - 1), &name) || !Unhex(line.substr(b + 1), &value.data)) continue;
    value.name = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
    if (Value* old = FindValue(current, value.name)) {
      *old = std::move(value);
      continue;
    }
    current->values.push_back(std::move(value));
  }
}

void WriteKey(const Key& key, const std::string& path, std::string* out) {
  if (!key.values.empty() || key.subKeys.empty()) {
    *out += "key " + EscapePath(path) + "\n";
    for (const Value& v : key.values) {
      std::string name = WideToUtf8(v.name);
      *out += "value " + std::to_string(v.type) + " " + Hex(reinterpret_cast<const BYTE*>(name.data()), name.size()) +
              " " + Hex(v.data.data(), v.data.size()) + "\n";
    }
  }
  for (const auto& [folded, child] : key.subKeys) WriteKey(*child, path + "\\" + WideToUtf8(child->name), out);
}

// Loads the tree when the file changed since the last load. Caller holds g_lock.
void EnsureLoaded() {
  std::string file = RegistryFile();
  if (g_loaded && file == g_loadedFrom) return;
  Clear();
  g_loaded = true;
  g_loadedFrom = file;
  std::string bytes;
  if (!file.empty() && ReadWholeFile(file, &bytes)) ParseInto(bytes);
}

// Writes the tree; false when it could not be written. Caller holds g_lock.
bool Persist() {
  if (g_loadedFrom.empty()) return false;
  std::string out = "# Orvenna registry\n";
  for (int r = 0; r < kRootCount; ++r)
    for (const auto& [folded, child] : g_roots[r].subKeys)
      WriteKey(*child, std::string(kRootNames[r]) + "\\" + WideToUtf8(child->name), &out);
  size_t slash = g_loadedFrom.rfind('/');
  if (slash != std::string::npos) CreateFolderTree(g_loadedFrom.substr(0, slash));
  return WriteWholeFile(g_loadedFrom, out.data(), out.size());
}

// Reverts the tree to the file after a failed write. Caller holds g_lock.
void Reload() {
  g_loaded = false;
  EnsureLoaded();
}

// The key path a handle names; false for a handle that is not open.
bool Resolve(HKEY hKey, OpenKey* out) {
  auto value = reinterpret_cast<uintptr_t>(hKey);
  if (value >= kRootBase && value < kRootBase + kRootCount) {
    *out = OpenKey{static_cast<int>(value - kRootBase), {}};
    return true;
  }
  auto it = g_handles.find(value);
  if (it == g_handles.end()) return false;
  *out = it->second;
  return true;
}

Key* Find(const OpenKey& at) {
  Key* key = &g_roots[at.root];
  for (const WString& part : at.path) {
    key = Child(key, part);
    if (!key) return nullptr;
  }
  return key;
}

HKEY NewHandle(OpenKey at) {
  uintptr_t value = g_nextHandle;
  g_nextHandle += 4;
  g_handles.emplace(value, std::move(at));
  return reinterpret_cast<HKEY>(value);
}

// Resolves hKey to an existing key. Caller holds g_lock.
LONG KeyOf(HKEY hKey, Key** key) {
  OpenKey at;
  if (!Resolve(hKey, &at)) return ERROR_INVALID_HANDLE;
  EnsureLoaded();
  *key = Find(at);
  return *key ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Copies name with its zero into a buffer of *size WCHARs.
LONG CopyName(const WString& name, WCHAR* out, DWORD* size) {
  if (!out || !size) return ERROR_INVALID_PARAMETER;
  if (name.size() + 1 > *size) return ERROR_MORE_DATA;
  std::copy(name.begin(), name.end(), out);
  out[name.size()] = 0;
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Copies data as RegQueryValueExW does.
LONG CopyData(const Value& value, DWORD* type, BYTE* data, DWORD* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  if (type) *type = value.type;
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value.data.size());
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data && needed > 0) std::memcpy(data, value.data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExW(HKEY hKey, const WCHAR* subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_lock);
  OpenKey at;
  if (!Resolve(hKey, &at)) return ERROR_INVALID_HANDLE;
  EnsureLoaded();
  for (WString& part : SplitPath(Text16(subKey))) at.path.push_back(std::move(part));
  if (!Find(at)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(std::move(at));
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY hKey, const WCHAR* subKey, DWORD, WCHAR*, DWORD, REGSAM, void*, PHKEY result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_lock);
  OpenKey at;
  if (!Resolve(hKey, &at)) return ERROR_INVALID_HANDLE;
  EnsureLoaded();
  Key* key = Find(at);
  if (!key) return ERROR_FILE_NOT_FOUND;
  bool created = false;
  for (WString& part : SplitPath(Text16(subKey))) {
    key = ChildOrNew(key, part, &created);
    at.path.push_back(std::move(part));
  }
  if (created && !Persist()) {
    Reload();
    return ERROR_ACCESS_DENIED;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(std::move(at));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto value = reinterpret_cast<uintptr_t>(hKey);
  if (value >= kRootBase && value < kRootBase + kRootCount) return ERROR_SUCCESS;
  return g_handles.erase(value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY hKey, const WCHAR* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
  std::lock_guard<std::mutex> guard(g_lock);
  Key* key = nullptr;
  LONG result = KeyOf(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  Value* value = FindValue(key, Text16(valueName));
  if (!value) return ERROR_FILE_NOT_FOUND;
  return CopyData(*value, type, data, dataSize);
}

LONG RegSetValueExW(HKEY hKey, const WCHAR* valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  if (!data && dataSize > 0) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_lock);
  Key* key = nullptr;
  LONG result = KeyOf(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  Value fresh{Text16(valueName), type, std::vector<BYTE>(data, data + dataSize)};
  if (Value* old = FindValue(key, fresh.name)) {
    old->type = type;
    old->data = std::move(fresh.data);
  } else {
    key->values.push_back(std::move(fresh));
  }
  if (Persist()) return ERROR_SUCCESS;
  Reload();
  return ERROR_ACCESS_DENIED;
}

LONG RegDeleteValueW(HKEY hKey, const WCHAR* valueName) {
  std::lock_guard<std::mutex> guard(g_lock);
  Key* key = nullptr;
  LONG result = KeyOf(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  Value* value = FindValue(key, Text16(valueName));
  if (!value) return ERROR_FILE_NOT_FOUND;
  key->values.erase(key->values.begin() + (value - key->values.data()));
  if (Persist()) return ERROR_SUCCESS;
  Reload();
  return ERROR_ACCESS_DENIED;
}

LONG RegEnumKeyExW(HKEY hKey, DWORD index, WCHAR* name, DWORD* nameSize, DWORD*, WCHAR* keyClass, DWORD* classSize,
                   void*) {
  std::lock_guard<std::mutex> guard(g_lock);
  Key* key = nullptr;
  LONG result = KeyOf(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  if (index >= key->subKeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = key->subKeys.begin();
  std::advance(it, index);
  result = CopyName(it->second->name, name, nameSize);
  if (result != ERROR_SUCCESS) return result;
  if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
  if (classSize) *classSize = 0;
  return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY hKey, DWORD index, WCHAR* name, DWORD* nameSize, DWORD*, DWORD* type, BYTE* data,
                   DWORD* dataSize) {
  std::lock_guard<std::mutex> guard(g_lock);
  Key* key = nullptr;
  LONG result = KeyOf(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& value = key->values[index];
  result = CopyName(value.name, name, nameSize);
  if (result != ERROR_SUCCESS) return result;
  return CopyData(value, type, data, dataSize);
}

LONG RegQueryInfoKeyW(HKEY hKey, WCHAR* keyClass, DWORD* classSize, DWORD*, DWORD* subKeys, DWORD* maxSubKeyLen,
                      DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen, DWORD* maxValueLen,
                      DWORD* securityDescriptor, void*) {
  std::lock_guard<std::mutex> guard(g_lock);
  Key* key = nullptr;
  LONG result = KeyOf(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
  if (classSize) *classSize = 0;
  if (subKeys) *subKeys = static_cast<DWORD>(key->subKeys.size());
  if (values) *values = static_cast<DWORD>(key->values.size());
  if (maxClassLen) *maxClassLen = 0;
  if (securityDescriptor) *securityDescriptor = 0;
  DWORD longestKey = 0, longestName = 0, longestData = 0;
  for (const auto& [folded, child] : key->subKeys) longestKey = std::max(longestKey, static_cast<DWORD>(child->name.size()));
  for (const Value& v : key->values) {
    longestName = std::max(longestName, static_cast<DWORD>(v.name.size()));
    longestData = std::max(longestData, static_cast<DWORD>(v.data.size()));
  }
  if (maxSubKeyLen) *maxSubKeyLen = longestKey;
  if (maxValueNameLen) *maxValueNameLen = longestName;
  if (maxValueLen) *maxValueLen = longestData;
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY hKey, const WCHAR* subKey) {
  std::lock_guard<std::mutex> guard(g_lock);
  OpenKey at;
  if (!Resolve(hKey, &at)) return ERROR_INVALID_HANDLE;
  EnsureLoaded();
  for (WString& part : SplitPath(Text16(subKey))) at.path.push_back(std::move(part));
  if (at.path.empty()) return ERROR_ACCESS_DENIED;  // a root key
  Key* key = Find(at);
  if (!key) return ERROR_FILE_NOT_FOUND;
  if (!key->subKeys.empty()) return ERROR_ACCESS_DENIED;
  WString last = at.path.back();
  at.path.pop_back();
  Find(at)->subKeys.erase(Fold(last));
  if (Persist()) return ERROR_SUCCESS;
  Reload();
  return ERROR_ACCESS_DENIED;
}

void SetRegistryFileForTesting(std::string path) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_fileOverride = NativePath(path);
  g_loaded = false;
}
