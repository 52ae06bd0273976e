// DataSaver, its class factory and the library's load, unload and entry
// points. The table operations follow the record rules stated in
// tokenstore/data_saver.h; every access to the table is under TokenLock.
#include "tokenstore/data_saver.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "platform/debug_sink.h"
#include "tokenstore/token_table.h"

namespace {

// Objects alive plus LockServer holds; DllCanUnloadNow answers by it.
std::atomic<long> g_moduleLocks{0};

// ---------------------------------------------------------------- texts
// UTF-16 units to UTF-8 up to the first zero unit. A surrogate pair becomes
// one four-byte sequence; a lone surrogate is kept as its own three-byte
// sequence so that every text comes back as it went in.

std::string ToUtf8(BSTR text) {
  std::string out;
  if (!text) return out;
  UINT length = SysStringLen(text);
  for (UINT i = 0; i < length && text[i] != 0; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// UTF-8 (as stored, at most 255 bytes) to UTF-16; a byte that does not start
// a well-formed sequence becomes U+FFFD.
std::u16string ToUtf16(const std::string& text) {
  std::u16string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool ok = extra >= 0 && i + static_cast<size_t>(extra) < n;
    for (int k = 1; ok && k <= extra; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        ok = false;
      } else {
        c = (c << 6) | (s[i + k] & 0x3F);
      }
    }
    if (ok && extra >= 1) {
      static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
      ok = c >= kMin[extra] && c <= 0x10FFFF;
    }
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

// The first record with the code, in index order; with 0 the first free one.
TokenRecord* FindTokenRecord(TokenTable* table, LONGLONG code) {
  for (TokenRecord& record : table->records) {
    if (record.customerCode == code) return &record;
  }
  return nullptr;
}

// What a getter read under the lock, handed out after the lock is gone.
struct RecordCopy {
  LONGLONG code = 0;
  LONG userType = 0;
  std::string token;
};

RecordCopy CopyOf(const TokenRecord* record) {
  RecordCopy copy;
  if (!record) return copy;
  copy.code = record->customerCode;
  copy.userType = record->userType;
  copy.token.assign(record->token, strnlen(record->token, kTokenTextSize));
  return copy;
}

// Sets the out text; S_OK or E_OUTOFMEMORY (with *out null).
HRESULT HandOut(const std::string& token, BSTR* out) {
  std::u16string wide = ToUtf16(token);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

bool SameNameIgnoringCase(const OLECHAR* a, const char* b) {
  for (;; ++a, ++b) {
    char16_t ca = *a;
    char16_t cb = static_cast<unsigned char>(*b);
    if (ca >= u'a' && ca <= u'z') ca = static_cast<char16_t>(ca - 32);
    if (cb >= u'a' && cb <= u'z') cb = static_cast<char16_t>(cb - 32);
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

struct MethodName {
  const char* name;
  DISPID id;
};
constexpr MethodName kMethodNames[] = {
    {"SetToken", DISPID_SetToken},         {"GetToken", DISPID_GetToken},
    {"SetActiveUser", DISPID_SetActiveUser}, {"GetActiveUser", DISPID_GetActiveUser},
    {"GetNextUser", DISPID_GetNextUser},
};

// ---------------------------------------------------------------- DataSaver

class DataSaver final : public IDataSaver {
 public:
  DataSaver() { ++g_moduleLocks; }
  DataSaver(const DataSaver&) = delete;
  DataSaver& operator=(const DataSaver&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IDataSaver) {
      *object = static_cast<IDataSaver*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if ((!names || !ids) && count > 0) return E_POINTER;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = -1;
      for (const MethodName& m : kMethodNames) {
        if (names[i] && SameNameIgnoringCase(names[i], m.name)) ids[i] = m.id;
      }
      if (ids[i] == -1) result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }

  HRESULT SetToken(LONGLONG llCustCode, LONG lUserType, BSTR szToken) override {
    std::string token = ToUtf8(szToken);
    if (token.size() >= kTokenTextSize) return S_FALSE;  // would not fit the record
    TokenLock lock;
    TokenTable* table = lock.Table();
    if (!table) return E_FAIL;
    TokenRecord* record = FindTokenRecord(table, llCustCode);
    if (record && token.empty()) {
      if (--record->referenceCount <= 0) std::memset(record, 0, sizeof *record);
      OutputDebugStringA("release token");
      return S_OK;
    }
    if (!record) record = FindTokenRecord(table, 0);
    if (!record) return S_FALSE;
    std::memset(record, 0, sizeof *record);
    record->customerCode = llCustCode;
    std::memcpy(record->token, token.data(), token.size());
    record->referenceCount = 1;
    record->userType = lUserType;
    table->activeCode = llCustCode;
    return S_OK;
  }

  HRESULT GetToken(LONGLONG llCustCode, LONG* plUserType, BSTR* szToken) override {
    if (!plUserType || !szToken) return E_POINTER;
    RecordCopy copy;
    {
      TokenLock lock;
      if (!lock.Table()) return E_FAIL;
      copy = CopyOf(FindTokenRecord(lock.Table(), llCustCode));
    }
    *plUserType = copy.userType;
    return HandOut(copy.token, szToken);
  }

  HRESULT SetActiveUser(LONGLONG llCustCode) override {
    TokenLock lock;
    TokenTable* table = lock.Table();
    if (!table) return E_FAIL;
    if (FindTokenRecord(table, llCustCode)) table->activeCode = llCustCode;
    return S_OK;
  }

  HRESULT GetActiveUser(LONGLONG* pllCustCode, LONG* plUserType, BSTR* szToken) override {
    if (!pllCustCode || !plUserType || !szToken) return E_POINTER;
    LONGLONG active = 0;
    RecordCopy copy;
    {
      TokenLock lock;
      TokenTable* table = lock.Table();
      if (!table) return E_FAIL;
      active = table->activeCode;
      copy = CopyOf(FindTokenRecord(table, active));
    }
    *pllCustCode = active;
    *plUserType = copy.userType;
    return HandOut(copy.token, szToken);
  }

  HRESULT GetNextUser(LONG* plPos, LONGLONG* pllCustCode, LONG* plUserType, BSTR* szToken) override {
    if (!plPos || !pllCustCode || !plUserType || !szToken) return E_POINTER;
    RecordCopy copy;
    LONG position = *plPos;
    {
      TokenLock lock;
      TokenTable* table = lock.Table();
      if (!table) return E_FAIL;
      if (position < kTokenRecordCount) {
        position = kTokenRecordCount;
        for (int i = std::max<LONG>(*plPos, 0); i < kTokenRecordCount; ++i) {
          if (table->records[i].customerCode != 0) {
            copy = CopyOf(&table->records[i]);
            position = i + 1;
            break;
          }
        }
      }
    }
    *plPos = position;
    *pllCustCode = copy.code;
    *plUserType = copy.userType;
    return HandOut(copy.token, szToken);
  }

 private:
  ~DataSaver() { --g_moduleLocks; }

  std::atomic<ULONG> refs_{0};
};

// ---------------------------------------------------------------- factory

// One factory for the library's life; its references do not keep the
// library loaded (LockServer does).
class DataSaverFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* saver = new (std::nothrow) DataSaver;
    if (!saver) return E_OUTOFMEMORY;
    saver->AddRef();
    HRESULT result = saver->QueryInterface(iid, object);
    saver->Release();
    return result;
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      ++g_moduleLocks;
    } else {
      --g_moduleLocks;
    }
    return S_OK;
  }
};

DataSaverFactory g_factory;
bool g_tableAttached = false;

__attribute__((constructor)) void LoadTokenStore() { g_tableAttached = AttachTokenSection(); }
__attribute__((destructor)) void UnloadTokenStore() { DetachTokenSection(); }

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid,
                                                                             void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_DataSaver || !g_tableAttached) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return g_moduleLocks.load() == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT TokenStoreHoldLockForTesting() {
  return HoldTokenLockForever() ? S_OK : E_FAIL;
}
