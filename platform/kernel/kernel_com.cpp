#include "platform/kernel/kernel_com.h"


#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/kernel/kernel_registry.h"
#include "platform/kernel/kernel_utf.h"

// ---------------------------------------------------------------- ids

namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void AppendHex(std::u16string* out, std::uint32_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out->push_back(kHexDigits[(value >> shift) & 0xF]);
  }
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Reads `digits` hex digits at text[*pos]; false on a non-digit (the zero
// terminator included, so the read never runs past the text).
bool ReadHex(const char16_t* text, size_t* pos, int digits, std::uint32_t* value) {
  std::uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    int d = HexValue(text[*pos]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<std::uint32_t>(d);
    ++*pos;
  }
  *value = v;
  return true;
}

bool ReadChar(const char16_t* text, size_t* pos, char16_t expected) {
  if (text[*pos] != expected) return false;
  ++*pos;
  return true;
}

}  // namespace

std::u16string StringFromGuid(const GUID& guid) {
  std::u16string out;
  out.reserve(38);
  out.push_back(u'{');
  AppendHex(&out, guid.Data1, 8);
  out.push_back(u'-');
  AppendHex(&out, guid.Data2, 4);
  out.push_back(u'-');
  AppendHex(&out, guid.Data3, 4);
  out.push_back(u'-');
  AppendHex(&out, guid.Data4[0], 2);
  AppendHex(&out, guid.Data4[1], 2);
  out.push_back(u'-');
  for (int i = 2; i < 8; ++i) AppendHex(&out, guid.Data4[i], 2);
  out.push_back(u'}');
  return out;
}

HRESULT GuidFromString(const char16_t* text, GUID* out) {
  if (!text || !out) return CO_E_CLASSSTRING;
  GUID g{};
  size_t pos = 0;
  std::uint32_t v = 0;
  if (!ReadChar(text, &pos, u'{')) return CO_E_CLASSSTRING;
  if (!ReadHex(text, &pos, 8, &v)) return CO_E_CLASSSTRING;
  g.Data1 = v;
  if (!ReadChar(text, &pos, u'-') || !ReadHex(text, &pos, 4, &v)) return CO_E_CLASSSTRING;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!ReadChar(text, &pos, u'-') || !ReadHex(text, &pos, 4, &v)) return CO_E_CLASSSTRING;
  g.Data3 = static_cast<std::uint16_t>(v);
  if (!ReadChar(text, &pos, u'-')) return CO_E_CLASSSTRING;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !ReadChar(text, &pos, u'-')) return CO_E_CLASSSTRING;
    if (!ReadHex(text, &pos, 2, &v)) return CO_E_CLASSSTRING;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  if (!ReadChar(text, &pos, u'}') || text[pos] != 0) return CO_E_CLASSSTRING;
  *out = g;
  return S_OK;
}

// ---------------------------------------------------------------- strings
//
// Layout of one allocation: [uint32 byte length][units][zero unit]. The
// BSTR points just past the prefix, which keeps the units 4-byte aligned.

namespace {

std::atomic<int> g_allocFailureCountdown{-1};

bool AllocationShouldFail() {
  int n = g_allocFailureCountdown.load();
  while (n >= 0) {
    if (g_allocFailureCountdown.compare_exchange_weak(n, n - 1)) return n == 0;
  }
  return false;
}

constexpr UINT kMaxBstrUnits = (0xFFFFFFFFu - sizeof(std::uint32_t) - sizeof(OLECHAR)) / 2;

}  // namespace

void SetSysAllocFailureForTesting(int count) { g_allocFailureCountdown.store(count < 0 ? -1 : count); }

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBstrUnits || AllocationShouldFail()) return nullptr;
  size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  std::uint32_t prefix = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  auto* units = reinterpret_cast<OLECHAR*>(block + sizeof(std::uint32_t));
  if (text) {
    std::memcpy(units, text, bytes);
  } else {
    std::memset(units, 0, bytes);
  }
  units[length] = 0;
  return units;
}

BSTR SysAllocString(const OLECHAR* text) {
  UINT length = 0;
  if (text) {
    while (text[length] != 0) ++length;
  }
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (!text) return;
  std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t), sizeof prefix);
  return prefix / sizeof(OLECHAR);
}

// ---------------------------------------------------------------- libraries

namespace {

struct LoadedLibrary {
  std::string path;                        // as resolved by realpath
  void* handle = nullptr;                  // from dlopen
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;  // may be missing: then never unloaded
};

std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}

std::vector<LoadedLibrary>& Libraries() {  // guarded by LibraryLock()
  static std::vector<LoadedLibrary> libraries;
  return libraries;
}

}  // namespace

HRESULT CoGetClassObjectFromLibrary(const char* libraryPath, REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!libraryPath || !*libraryPath) return CO_E_DLLNOTFOUND;
  char resolved[PATH_MAX];
  std::string path = realpath(libraryPath, resolved) ? std::string(resolved) : std::string(libraryPath);
  DllGetClassObjectFn getClassObject = nullptr;
  {
    std::lock_guard<std::mutex> guard(LibraryLock());
    for (const LoadedLibrary& lib : Libraries()) {
      if (lib.path == path) getClassObject = lib.getClassObject;
    }
    if (!getClassObject) {
      void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) return CO_E_DLLNOTFOUND;
      LoadedLibrary lib;
      lib.path = path;
      lib.handle = handle;
      lib.getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
      lib.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
      if (!lib.getClassObject) {
        dlclose(handle);
        return CO_E_ERRORINDLL;
      }
      getClassObject = lib.getClassObject;
      Libraries().push_back(lib);
    }
  }
  return getClassObject(clsid, iid, object);
}

void CoFreeUnusedLibraries() {
  std::lock_guard<std::mutex> guard(LibraryLock());
  auto& libraries = Libraries();
  for (size_t i = 0; i < libraries.size();) {
    LoadedLibrary& lib = libraries[i];
    if (lib.canUnloadNow && lib.canUnloadNow() == S_OK) {
      dlclose(lib.handle);
      libraries.erase(libraries.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
}

// ---------------------------------------------------------------- activation

namespace {

// The default text value of HKEY_CLASSES_ROOT\path; false when missing or
// not a text.
bool ReadDefaultText(const std::u16string& path, std::u16string* text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = 0;
  bool ok = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
  std::u16string value(size / sizeof(char16_t), u'\0');
  if (ok && size > 0) {
    ok = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) ==
         ERROR_SUCCESS;
  }
  RegCloseKey(key);
  if (!ok) return false;
  value.resize(std::min<size_t>(value.size(), size / sizeof(char16_t)));
  while (!value.empty() && value.back() == 0) value.pop_back();
  *text = value;
  return true;
}


}  // namespace

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  std::u16string text;
  if (!ReadDefaultText(std::u16string(progId) + u"\\CLSID", &text)) return CO_E_CLASSSTRING;
  return GuidFromString(text.c_str(), clsid);
}

HRESULT CoGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  std::u16string library;
  if (!ReadDefaultText(u"CLSID\\" + StringFromGuid(clsid) + u"\\InprocServer32", &library) || library.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  return CoGetClassObjectFromLibrary(WideToUtf8(library).c_str(), clsid, iid, object);
}

HRESULT CoCreateInstanceByProgID(const char16_t* progId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  CLSID clsid{};
  HRESULT result = CLSIDFromProgID(progId, &clsid);
  if (FAILED(result)) return result;
  IClassFactory* factory = nullptr;
  result = CoGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(result)) return result;
  result = factory->CreateInstance(nullptr, iid, object);
  factory->Release();
  return result;
}
