// DataSaver, its class factory and the library's load, unload and entry
// points. The table operations follow the record rules stated in
// tokenstore/data_saver.h; every access to the table is under TokenLock.
#include "tokenstore/data_saver.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "platform/kernel/debug_sink.h"
#include "tokenstore/token_table.h"
#include "platform/kernel/kernel_utf.h"

namespace {

// Objects alive plus LockServer holds; DllCanUnloadNow answers by it.
std::atomic<long> g_moduleLocks{0};

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
  std::u16string wide = Utf8ToWide(token);
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
    std::string token = WideToUtf8(szToken, SysStringLen(szToken));
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
