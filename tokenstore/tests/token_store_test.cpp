// The token store: the table rules in one process, the COM plumbing, and the
// shared table across real processes (tokenstore_helper).
//
// Every test uses its own shared-object name (TMRQ_SECTION_NAME), so parallel
// runs and the sanitizer build never meet, and checks that nothing is left in
// the private runtime folder when the last user is gone.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_registry.h"
#include "tokenstore/data_saver.h"
#include "tokenstore/tests/token_text.h"

namespace {

// A fresh shared-object name for the next load of the library.
std::string UseFreshSectionName() {
  static int counter = 0;
  std::string name = "/orv-tokens-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  setenv("TMRQ_SECTION_NAME", name.c_str(), 1);
  return name;
}

// The table's file: the name without its '/' in the private runtime folder.
bool SectionExists(const std::string& name) {
  return access((PrivateRuntimeFolder() + name.substr(1)).c_str(), F_OK) == 0;
}

bool LibraryLoaded() {
  void* handle = dlopen(TOKENSTORE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

// An owned BSTR.
struct Bstr {
  BSTR text = nullptr;
  Bstr() = default;
  explicit Bstr(const std::u16string& s) : text(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text); }
  std::u16string Str() const { return std::u16string(text, SysStringLen(text)); }
  BSTR* Out() {
    SysFreeString(text);
    text = nullptr;
    return &text;
  }
};

// ------------------------------------------------------------ in one process

class DataSaverTest : public testing::Test {
 protected:
  void SetUp() override {
    section_ = UseFreshSectionName();
    ASSERT_EQ(S_OK, CoGetClassObjectFromLibrary(TOKENSTORE_LIBRARY, CLSID_DataSaver, IID_IClassFactory,
                                                reinterpret_cast<void**>(&factory_)));
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_IDataSaver, reinterpret_cast<void**>(&saver_)));
  }
  void TearDown() override {
    if (saver_) saver_->Release();
    if (factory_) factory_->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(LibraryLoaded()) << "the library stayed loaded";
    EXPECT_FALSE(SectionExists(section_)) << "shared table left behind";
  }

  HRESULT Set(LONGLONG code, LONG type, const std::u16string& token) {
    Bstr text(token);
    return saver_->SetToken(code, type, text.text);
  }
  struct Read {
    HRESULT hr;
    LONG type;
    std::u16string token;
  };
  Read Get(LONGLONG code) {
    Read r{E_UNEXPECTED, -7, u""};
    Bstr text;
    r.hr = saver_->GetToken(code, &r.type, text.Out());
    EXPECT_NE(nullptr, text.text) << "an out text is always a BSTR";
    r.token = text.Str();
    return r;
  }
  struct Next {
    LONG pos;
    LONGLONG code;
    LONG type;
    std::u16string token;
  };
  Next NextUser(LONG start) {
    Next n{start, -7, -7, u"sentinel"};
    Bstr text;
    EXPECT_EQ(S_OK, saver_->GetNextUser(&n.pos, &n.code, &n.type, text.Out()));
    n.token = text.Str();
    return n;
  }
  struct Active {
    LONGLONG code;
    LONG type;
    std::u16string token;
  };
  Active GetActive() {
    Active a{-7, -7, u"sentinel"};
    Bstr text;
    EXPECT_EQ(S_OK, saver_->GetActiveUser(&a.code, &a.type, text.Out()));
    a.token = text.Str();
    return a;
  }
  // Codes of the used records in index order.
  std::vector<LONGLONG> UsedCodes() {
    std::vector<LONGLONG> codes;
    for (LONG pos = 0;;) {
      Next n = NextUser(pos);
      if (n.code == 0) break;
      codes.push_back(n.code);
      pos = n.pos;
    }
    return codes;
  }

  std::string section_;
  IClassFactory* factory_ = nullptr;
  IDataSaver* saver_ = nullptr;
};

TEST_F(DataSaverTest, SixtyFifthCodeIsRefusedAndChangesNothing) {
  for (LONGLONG code = 1; code <= 64; ++code) ASSERT_EQ(S_OK, Set(code, 2, u"t")) << code;
  EXPECT_EQ(S_FALSE, Set(65, 2, u"t65"));
  EXPECT_EQ(0, Get(65).type);
  EXPECT_EQ(64, GetActive().code);
  // A code that has a record is still stored over.
  EXPECT_EQ(S_OK, Set(10, 3, u"again"));
  EXPECT_EQ(u"again", Get(10).token);
}

TEST_F(DataSaverTest, SecondStoreKeepsOneRecordAndOneReleaseFreesIt) {
  ASSERT_EQ(S_OK, Set(7, 1, u"first"));
  ASSERT_EQ(S_OK, Set(7, 4, u"second"));
  EXPECT_EQ(std::vector<LONGLONG>{7}, UsedCodes());
  Read r = Get(7);
  EXPECT_EQ(4, r.type);
  EXPECT_EQ(u"second", r.token);

  DebugCapture capture;
  ASSERT_EQ(S_OK, Set(7, 0, u""));  // reference count was 1 after the second store
  EXPECT_TRUE(capture.Contains("release token"));
  EXPECT_TRUE(UsedCodes().empty());
  Active a = GetActive();
  EXPECT_EQ(7, a.code) << "a release leaves the active code";
  EXPECT_EQ(0, a.type);
  EXPECT_EQ(u"", a.token);
}

TEST_F(DataSaverTest, NextUserWalksUsedRecords) {
  for (LONGLONG code = 100; code <= 105; ++code) ASSERT_EQ(S_OK, Set(code, static_cast<LONG>(code - 90), u"x"));
  for (LONGLONG code : {100, 101, 103, 104}) ASSERT_EQ(S_OK, Set(code, 0, u""));
  // Records 2 (code 102) and 5 (code 105) are left.
  struct Case {
    const char* name;
    LONG start;
    LONG pos;
    LONGLONG code;
    LONG type;
  } cases[] = {
      {"from the start", 0, 3, 102, 12},
      {"from record 2", 2, 3, 102, 12},
      {"after record 2", 3, 6, 105, 15},
      {"after record 5", 6, 64, 0, 0},
      {"last record", 63, 64, 0, 0},
      {"start 64 stays", 64, 64, 0, 0},
      {"start 1000 stays", 1000, 1000, 0, 0},
      {"negative start counts as 0", -5, 3, 102, 12},
      {"most negative start", INT32_MIN, 3, 102, 12},
  };
  for (const Case& c : cases) {
    Next n = NextUser(c.start);
    EXPECT_EQ(c.pos, n.pos) << c.name;
    EXPECT_EQ(c.code, n.code) << c.name;
    EXPECT_EQ(c.type, n.type) << c.name;
    EXPECT_EQ(c.code ? u"x" : u"", n.token) << c.name;
  }
}

TEST_F(DataSaverTest, FreedRecordIsReusedFirst) {
  for (LONGLONG code = 1; code <= 3; ++code) ASSERT_EQ(S_OK, Set(code, 1, u"t"));
  ASSERT_EQ(S_OK, Set(2, 0, u""));
  ASSERT_EQ(S_OK, Set(9, 1, u"t"));
  EXPECT_EQ((std::vector<LONGLONG>{1, 9, 3}), UsedCodes());
}

TEST_F(DataSaverTest, NullAndEmptyTokens) {
  // An empty token for a code without a record is stored like any other.
  ASSERT_EQ(S_OK, saver_->SetToken(8, 3, nullptr));
  EXPECT_EQ(std::vector<LONGLONG>{8}, UsedCodes());
  EXPECT_EQ(3, Get(8).type);
  EXPECT_EQ(8, GetActive().code);
  // A null token for a code with a record releases it.
  ASSERT_EQ(S_OK, saver_->SetToken(8, 0, nullptr));
  EXPECT_TRUE(UsedCodes().empty());
  // Text after an embedded zero does not count: this token is empty too.
  ASSERT_EQ(S_OK, Set(9, 1, u"t"));
  ASSERT_EQ(S_OK, Set(9, 1, std::u16string(u"\0abc", 4)));
  EXPECT_TRUE(UsedCodes().empty());
}

TEST_F(DataSaverTest, TokenLengthLimit) {
  const std::u16string han(1, u'\u4E2D');  // three bytes of UTF-8
  struct Case {
    const char* name;
    std::u16string token;
    HRESULT result;
  } cases[] = {
      {"255 ASCII bytes", std::u16string(255, u'a'), S_OK},
      {"256 ASCII bytes", std::u16string(256, u'a'), S_FALSE},
      {"85 Han characters (255 bytes)", [&] { std::u16string s; for (int i = 0; i < 85; ++i) s += han; return s; }(), S_OK},
      {"86 Han characters (258 bytes)", [&] { std::u16string s; for (int i = 0; i < 86; ++i) s += han; return s; }(), S_FALSE},
      {"254 bytes and one Han character", std::u16string(254, u'a') + han, S_FALSE},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(S_OK, Set(1, 5, u"old"));
    ASSERT_EQ(S_OK, Set(2, 5, u"other"));  // the active code
    EXPECT_EQ(c.result, Set(1, 6, c.token)) << c.name;
    Read r = Get(1);
    bool stored = c.result == S_OK;
    EXPECT_EQ(stored ? c.token : u"old", r.token) << c.name;
    EXPECT_EQ(stored ? 6 : 5, r.type) << c.name;
    EXPECT_EQ(stored ? 1 : 2, GetActive().code) << c.name;
    // A refused token for a new code takes no record.
    EXPECT_EQ(c.result, Set(3, 6, c.token)) << c.name;
    EXPECT_EQ(stored ? 3u : 2u, UsedCodes().size()) << c.name;
    for (LONGLONG code : UsedCodes()) saver_->SetToken(code, 0, nullptr);
  }
}

TEST_F(DataSaverTest, TextsComeBackAsStored) {
  struct Case {
    const char* name;
    std::u16string token;
  } cases[] = {
      {"ASCII", u"abc-123"},
      {"Chinese", u"\u4E2D\u6587\u4EE4\u724C"},
      {"surrogate pair", u"a\U0001F600b"},
      {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b"},
      {"lone low surrogate at the end", std::u16string(u"a") + char16_t(0xDC00)},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(S_OK, Set(11, 1, c.token)) << c.name;
    EXPECT_EQ(c.token, Get(11).token) << c.name;
    EXPECT_EQ(c.token, GetActive().token) << c.name;
  }
}

TEST_F(DataSaverTest, ActiveUser) {
  EXPECT_EQ(0, GetActive().code) << "zero at first";
  ASSERT_EQ(S_OK, Set(1, 10, u"one"));
  ASSERT_EQ(S_OK, Set(2, 20, u"two"));
  EXPECT_EQ(2, GetActive().code) << "a store makes its code active";
  EXPECT_EQ(S_OK, saver_->SetActiveUser(1));
  Active a = GetActive();
  EXPECT_EQ(1, a.code);
  EXPECT_EQ(10, a.type);
  EXPECT_EQ(u"one", a.token);
  EXPECT_EQ(S_OK, saver_->SetActiveUser(99)) << "unknown code";
  EXPECT_EQ(1, GetActive().code) << "an unknown code changes nothing";
}

TEST_F(DataSaverTest, OutOfMemoryForOutText) {
  ASSERT_EQ(S_OK, Set(1, 10, u"one"));
  LONG type = -7;
  LONGLONG code = -7;
  LONG pos = 0;
  BSTR text = reinterpret_cast<BSTR>(1);
  SetSysAllocFailureForTesting(0);
  EXPECT_EQ(E_OUTOFMEMORY, saver_->GetToken(1, &type, &text));
  EXPECT_EQ(nullptr, text);
  SetSysAllocFailureForTesting(0);
  EXPECT_EQ(E_OUTOFMEMORY, saver_->GetActiveUser(&code, &type, &text));
  EXPECT_EQ(nullptr, text);
  SetSysAllocFailureForTesting(0);
  EXPECT_EQ(E_OUTOFMEMORY, saver_->GetNextUser(&pos, &code, &type, &text));
  EXPECT_EQ(nullptr, text);
  SetSysAllocFailureForTesting(-1);
  EXPECT_EQ(u"one", Get(1).token) << "the table is unharmed";
}

TEST_F(DataSaverTest, NullOutPointersAreRefused) {
  LONG type = 0;
  LONGLONG code = 0;
  LONG pos = 0;
  Bstr text;
  EXPECT_EQ(E_POINTER, saver_->GetToken(1, nullptr, text.Out()));
  EXPECT_EQ(E_POINTER, saver_->GetToken(1, &type, nullptr));
  EXPECT_EQ(E_POINTER, saver_->GetActiveUser(nullptr, &type, text.Out()));
  EXPECT_EQ(E_POINTER, saver_->GetNextUser(nullptr, &code, &type, text.Out()));
  EXPECT_EQ(E_POINTER, saver_->GetNextUser(&pos, &code, &type, nullptr));
}

TEST_F(DataSaverTest, InterfacesAndDispatchIds) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, saver_->QueryInterface(IID_IClassFactory, &p));
  EXPECT_EQ(nullptr, p);
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IDataSaver}) {
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, saver_->QueryInterface(*iid, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(saver_), unknown);
    unknown->Release();
  }
  UINT infoCount = 9;
  EXPECT_EQ(S_OK, saver_->GetTypeInfoCount(&infoCount));
  EXPECT_EQ(0u, infoCount);

  std::u16string names[] = {u"SetToken", u"gettoken", u"SETACTIVEUSER", u"GetActiveUser", u"GetNextUser", u"Nope"};
  LPOLESTR ptrs[6];
  for (int i = 0; i < 6; ++i) ptrs[i] = names[i].data();
  DISPID ids[6] = {};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, saver_->GetIDsOfNames(IID_IUnknown, ptrs, 6, 0, ids));
  EXPECT_EQ((std::vector<DISPID>{1, 2, 3, 4, 5, -1}), std::vector<DISPID>(ids, ids + 6));
  EXPECT_EQ(S_OK, saver_->GetIDsOfNames(IID_IUnknown, ptrs, 5, 0, ids));
}

TEST_F(DataSaverTest, ClassObjectAndUnloading) {
  void* library = dlopen(TOKENSTORE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(nullptr, library);
  auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(library, "DllGetClassObject"));
  auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library, "DllCanUnloadNow"));
  ASSERT_NE(nullptr, getClassObject);
  ASSERT_NE(nullptr, canUnloadNow);

  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IDataSaver, IID_IClassFactory, &p));
  EXPECT_EQ(nullptr, p);
  EXPECT_EQ(E_NOINTERFACE, getClassObject(CLSID_DataSaver, IID_IDataSaver, &p));
  EXPECT_EQ(E_POINTER, getClassObject(CLSID_DataSaver, IID_IClassFactory, nullptr));

  p = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory_->CreateInstance(saver_, IID_IDataSaver, &p));
  EXPECT_EQ(nullptr, p);
  EXPECT_EQ(E_NOINTERFACE, factory_->CreateInstance(nullptr, IID_IClassFactory, &p));
  EXPECT_EQ(nullptr, p);

  EXPECT_EQ(S_FALSE, canUnloadNow()) << "an object is alive";
  saver_->Release();
  saver_ = nullptr;
  EXPECT_EQ(S_OK, canUnloadNow());
  factory_->LockServer(TRUE);
  EXPECT_EQ(S_FALSE, canUnloadNow()) << "the server is locked";
  CoFreeUnusedLibraries();
  EXPECT_TRUE(LibraryLoaded());
  factory_->LockServer(FALSE);
  EXPECT_EQ(S_OK, canUnloadNow());
  dlclose(library);
}

TEST(DataSaverWithoutTable, ClassIsUnavailable) {
  setenv("TMRQ_SECTION_NAME", "/no/such/name", 1);
  DebugCapture capture;
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
            CoGetClassObjectFromLibrary(TOKENSTORE_LIBRARY, CLSID_DataSaver, IID_IClassFactory, &factory));
  EXPECT_EQ(nullptr, factory);
  EXPECT_TRUE(capture.Contains("cannot open the shared token table"));
  CoFreeUnusedLibraries();
  EXPECT_FALSE(LibraryLoaded());
}

}  // namespace

// ------------------------------------------------------------ registration

namespace {

class DataSaverRegistration : public testing::Test {
 protected:
  void SetUp() override {
    section_ = UseFreshSectionName();
    char pattern[] = "/tmp/orv-registry-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder_ = pattern;
    SetRegistryFileForTesting(folder_ + "/registry.txt");
    library_ = dlopen(TOKENSTORE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library_);
    registerServer_ = reinterpret_cast<DllRegisterServerFn>(dlsym(library_, "DllRegisterServer"));
    unregisterServer_ = reinterpret_cast<DllRegisterServerFn>(dlsym(library_, "DllUnregisterServer"));
    ASSERT_NE(nullptr, registerServer_);
    ASSERT_NE(nullptr, unregisterServer_);
  }
  void TearDown() override {
    if (library_) dlclose(library_);
    CoFreeUnusedLibraries();
    SetRegistryFileForTesting("");
    unlink((folder_ + "/registry.txt").c_str());
    rmdir(folder_.c_str());
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_FALSE(SectionExists(section_));
  }

  // The text value name (null: default) of HKEY_CLASSES_ROOT\path, or
  // "<no key>" / "<no value>".
  static std::u16string Value(const std::u16string& path, const char16_t* name = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
    char16_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(char16_t);
    DWORD type = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return u"<no value>";
    return type == REG_SZ ? std::u16string(buffer) : u"<not text>";
  }

  std::string section_;
  std::string folder_;
  void* library_ = nullptr;
  DllRegisterServerFn registerServer_ = nullptr;
  DllRegisterServerFn unregisterServer_ = nullptr;
};

const std::u16string kClassKey = u"CLSID\\{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}";

TEST_F(DataSaverRegistration, RegisterWritesTheClassKeys) {
  // A stale sub-key of the class key goes; a neighbour class stays.
  ASSERT_TRUE(Value(kClassKey + u"\\Stale") == u"<no key>");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + u"\\Stale").c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-1111-2222-3333-444444444444}", 0,
                                           nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);

  ASSERT_EQ(S_OK, registerServer_());
  char resolved[PATH_MAX];
  ASSERT_NE(nullptr, realpath(TOKENSTORE_LIBRARY, resolved));
  const std::u16string clsid = u"{9E0DCE0D-A9ED-4446-A04C-07DD51EDA834}";
  struct Case {
    std::u16string path;
    const char16_t* name;
    std::u16string value;
  } cases[] = {
      {u"TMRQCommon.DataSaver.1", nullptr, u"DataSaver Class"},
      {u"TMRQCommon.DataSaver.1\\CLSID", nullptr, clsid},
      {u"TMRQCommon.DataSaver", nullptr, u"DataSaver Class"},
      {u"TMRQCommon.DataSaver\\CLSID", nullptr, clsid},
      {u"TMRQCommon.DataSaver\\CurVer", nullptr, u"TMRQCommon.DataSaver.1"},
      {kClassKey, nullptr, u"DataSaver Class"},
      {kClassKey + u"\\ProgID", nullptr, u"TMRQCommon.DataSaver.1"},
      {kClassKey + u"\\VersionIndependentProgID", nullptr, u"TMRQCommon.DataSaver"},
      {kClassKey + u"\\Programmable", nullptr, u"<no value>"},
      {kClassKey + u"\\InprocServer32", nullptr, std::u16string(resolved, resolved + strlen(resolved))},
      {kClassKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment"},
      {kClassKey + u"\\TypeLib", nullptr, u"{B4E1041A-98FC-459F-A95F-3AE57477E475}"},
      {kClassKey + u"\\Stale", nullptr, u"<no key>"},
      {u"CLSID\\{00000000-1111-2222-3333-444444444444}", nullptr, u"<no value>"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.value == Value(c.path, c.name)) << std::string(c.path.begin(), c.path.end());
  }
  EXPECT_EQ(S_OK, registerServer_()) << "registering again";
  EXPECT_TRUE(Value(kClassKey + u"\\TypeLib") == u"{B4E1041A-98FC-459F-A95F-3AE57477E475}");
}

TEST_F(DataSaverRegistration, CreateByProgIdThenUnregister) {
  ASSERT_EQ(S_OK, registerServer_());
  for (const char16_t* progId : {kDataSaverProgId, kDataSaverVersionIndependentProgId}) {
    IDataSaver* saver = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstanceByProgID(progId, IID_IDataSaver, reinterpret_cast<void**>(&saver)));
    Bstr token(u"by-progid");
    EXPECT_EQ(S_OK, saver->SetToken(5, 1, token.text));
    LONG type = 0;
    Bstr out;
    EXPECT_EQ(S_OK, saver->GetToken(5, &type, out.Out()));
    EXPECT_TRUE(out.Str() == u"by-progid");
    saver->Release();
  }

  ASSERT_EQ(S_OK, unregisterServer_());
  for (const std::u16string& path : {std::u16string(u"TMRQCommon.DataSaver.1"), std::u16string(u"TMRQCommon.DataSaver"),
                                     kClassKey}) {
    EXPECT_TRUE(Value(path) == u"<no key>") << std::string(path.begin(), path.end());
  }
  EXPECT_TRUE(Value(u"CLSID") == u"<no value>") << "the CLSID key itself stays";
  EXPECT_EQ(S_OK, unregisterServer_()) << "nothing left to remove";

  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CO_E_CLASSSTRING, CoCreateInstanceByProgID(kDataSaverProgId, IID_IDataSaver, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoGetClassObject(CLSID_DataSaver, IID_IClassFactory, &object));
}

}  // namespace
