// The add-in as the host meets it: libQuorath.so loaded with dlopen (its one
// export, its object, one window layer shared with the host, the entry
// dialog run through the feature), and the add-in object in process (the
// version table, the entries and their factory, the services, the string
// module, the message filter and the token store's binding).
#include "addin/plugin/quorath_addin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "addin/plugin/account_dialogs.h"
#include "addin/string_resources.h"
#include "addin/testhost/fake_host.h"
#include "addin/testhost/host_script.h"
#include "addin/plugin/tests/token_store_fixture.h"
#include "platform/window/win_desktop.h"

namespace {

using Strings = std::vector<std::string>;

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  return output;
}

// The names nm lists for a binary whose kind letter is one of kinds, without
// the linker's section markers. dynamic: the dynamic symbol table, else the
// binary's own table (static copies included).
Strings DefinedSymbolsOf(const char* path, bool dynamic, const std::string& kinds) {
  Strings names;
  std::string listing =
      RunCommand(std::string(dynamic ? "nm -D --defined-only " : "nm --defined-only ") + path + " 2>/dev/null");
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find('\n', start);
    std::string line = listing.substr(start, end - start);
    start = end == std::string::npos ? listing.size() : end + 1;
    std::size_t space = line.rfind(' ');
    if (space == std::string::npos || space < 2) continue;
    const std::string name = line.substr(space + 1);
    if (name == "_edata" || name == "_end" || name == "__bss_start" || name == "_init" || name == "_fini") continue;
    if (kinds.find(line[space - 1]) != std::string::npos) names.push_back(name);
  }
  return names;
}

// The defined dynamic functions and objects of a library.
Strings DefinedDynamicSymbols(const char* path) { return DefinedSymbolsOf(path, true, "TDBWVR"); }

// The layer's own functions and objects: strong definitions of a platform
// library (template and inline copies are weak and may be anywhere).
Strings StrongDynamicSymbols(const char* path) { return DefinedSymbolsOf(path, true, "TDBR"); }

Strings Common(Strings a, Strings b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  Strings both;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
  return both;
}

// One copy of the window layer per process: the plug-in, the token store and
// the programs that load them use the shared platform libraries and define
// none of the layer's functions themselves.
TEST(QuorathLayout, OneCopyOfTheWindowLayer) {
  Strings layer = StrongDynamicSymbols(PLATFORM_LIBRARY);
  const Strings kernel = StrongDynamicSymbols(PLATFORM_KERNEL_LIBRARY);
  ASSERT_GT(layer.size(), 100u);
  ASSERT_GT(kernel.size(), 100u);
  // Spot checks that the lists are the layer's (names are mangled).
  auto has = [](const Strings& names, const char* part) {
    return std::any_of(names.begin(), names.end(),
                       [part](const std::string& n) { return n.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(has(layer, "CreateWindowExW"));
  EXPECT_TRUE(has(kernel, "GetTickCount"));
  layer.insert(layer.end(), kernel.begin(), kernel.end());
  for (const char* binary : {QUORATH_LIBRARY, TOKENSTORE_LIBRARY}) {
    SCOPED_TRACE(binary);
    EXPECT_EQ(Common(DefinedDynamicSymbols(binary), layer), Strings{});
    EXPECT_NE(RunCommand(std::string("readelf -d ") + binary).find("[libplatform_kernel.so]"), std::string::npos);
  }
  for (const char* program : {QUORATH_HOST, "/proc/self/exe"}) {
    SCOPED_TRACE(program);
    EXPECT_EQ(Common(DefinedSymbolsOf(program, false, "TtDBW"), layer), Strings{});
  }
}

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    library = dlopen(QUORATH_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto get = reinterpret_cast<AddinGetObjectFunction>(dlsym(library, "Addin_GetObject"));
    ASSERT_NE(get, nullptr);
    addin = get();
    ASSERT_NE(addin, nullptr);
    EXPECT_EQ(get(), addin);
  }
  void TearDown() override {
    if (library != nullptr) dlclose(library);
  }
  IFeatureEntry* Entry(int index) {
    IFeatureEntry* entries[3] = {};
    addin->GetFeatureEntries(entries, 3);
    return entries[index];
  }

  TestDesktop desk;
  void* library = nullptr;
  IAddin* addin = nullptr;
};

TEST_F(LoadedPlugin, ExportsOnlyItsEntryPointAndNoWindowLayer) {
  EXPECT_EQ(DefinedDynamicSymbols(QUORATH_LIBRARY), Strings{"Addin_GetObject"});
  EXPECT_STREQ(addin->GetName(), "Quorath");
  EXPECT_STREQ(addin->GetDescription(), "Welmar注册用户认证");
  EXPECT_STREQ(addin->GetBuildDate(), "Jun 11 2012");
  EXPECT_STREQ(addin->GetBuildTime(), "09:53:09");
}

TEST_F(LoadedPlugin, VersionRowsAndEntries) {
  InterfaceVersionRow rows[17];
  InterfaceVersionRow sentinel{"none", "0", -1};
  std::fill(std::begin(rows), std::end(rows), sentinel);
  EXPECT_EQ(addin->GetInterfaceVersions(rows, 5), 5);
  const char* firstFive[] = {"IAddinPort", "IXMLProfile", "IGallery", "IAddin", "IFeatureEntry"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(rows[i].name, firstFive[i]);
    EXPECT_EQ(rows[i].number, 4);
  }
  EXPECT_STREQ(rows[0].version, "6.12");
  EXPECT_STREQ(rows[5].name, "none");
  EXPECT_EQ(addin->GetInterfaceVersions(nullptr, 5), 17);
  EXPECT_EQ(addin->GetInterfaceVersions(rows, 0), 17);
  EXPECT_STREQ(rows[5].name, "none");
  EXPECT_EQ(addin->GetInterfaceVersions(rows, 40), 17);
  EXPECT_STREQ(rows[16].name, "IFeatureForOption");
  EXPECT_STREQ(rows[16].version, "6.02");
  EXPECT_STREQ(rows[10].name, "IQarnClient");
  EXPECT_STREQ(rows[10].version, "6.11");

  IFeatureEntry* entries[10] = {};
  EXPECT_EQ(addin->GetFeatureEntries(entries, 10), 3);
  EXPECT_EQ(addin->GetFeatureEntries(nullptr, 10), 3);
  struct Expected {
    int kind;
    const char* name;
    const char* caption;
  };
  const Expected expected[] = {{1, "GETTMSSOCOM", "获取COM组建"},
                               {110, "EmbDialog.FN3", "注册用户"},
                               {102, "Gina.VelmicRegAuth", "用户认证"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i]->GetKind(), expected[i].kind);
    EXPECT_EQ(entries[i]->GetId(), -1);
    EXPECT_STREQ(entries[i]->GetName(), expected[i].name);
    EXPECT_STREQ(entries[i]->GetCaption(), expected[i].caption);
    EXPECT_EQ(entries[i]->GetRuntimeClass(), nullptr);
  }
  EXPECT_EQ(entries[3], nullptr);
}

TEST_F(LoadedPlugin, OneWindowLayerWithTheHost) {
  FakePort port;
  port.mainWindow = CreateWindowExW(0, u"Static", u"主窗口", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                    nullptr, nullptr);
  ASSERT_NE(port.mainWindow, nullptr);
  EXPECT_EQ(addin->AttachHost(&port), 1);
  EXPECT_EQ(addin->GetHost(), &port);
  // The plug-in's object for the host's window is in the one layer, in the
  // plug-in's own window map (its module is its load address).
  Dl_info info{};
  ASSERT_NE(dladdr(dlsym(library, "Addin_GetObject"), &info), 0);
  const HINSTANCE pluginModule = static_cast<HINSTANCE>(info.dli_fbase);
  EXPECT_EQ(CWnd::FromHandlePermanent(port.mainWindow), nullptr);
  {
    ResourceModuleScope scope(pluginModule);
    EXPECT_NE(CWnd::FromHandlePermanent(port.mainWindow), nullptr);
  }
  EXPECT_EQ(port.serviceLookups.size(), 5u);
  addin->RefreshServices(0);
  EXPECT_EQ(port.serviceLookups.size(), 10u);
  dlclose(library);
  library = nullptr;
  EXPECT_TRUE(IsWindow(port.mainWindow));  // the plug-in never destroys it
  {
    ResourceModuleScope scope(pluginModule);
    EXPECT_EQ(CWnd::FromHandlePermanent(port.mainWindow), nullptr);  // detached at unload
  }
  DestroyWindow(port.mainWindow);
}

TEST_F(LoadedPlugin, SignUpThroughTheFeatureWithHostControlsInThePluginsDialog) {
  // The host's own template 5002 does not hide the plug-in's.
  static const DialogTemplate hostsOwn = {WS_POPUP | WS_CAPTION, 0, 0, 0, 50, 20, u"宿主的对话框", 9, u"宋体", {}};
  RegisterDialogTemplate(IDD_ACCOUNT_ENTRY, &hostsOwn);
  FakePort port;
  addin->AttachHost(&port);
  HostScript script;
  ASSERT_TRUE(script.Make());
  HWND entryDialog = nullptr;
  HWND signUp = nullptr;
  std::u16string typed;
  script.Add([&] { return (entryDialog = FindTopLevel(u"欢迎使用注册用户系统")) != nullptr; });
  // A key in the plug-in's modal loop reaches the plug-in's filter once.
  script.Then([&] { PostMessageW(entryDialog, WM_KEYDOWN, VK_SHIFT, 0); });
  script.Then([&] { PostMessageW(GetDlgItem(entryDialog, entry_ids::kSignUp), BM_CLICK, 0, 0); });
  script.Add([&] { return (signUp = FindTopLevel(u"用户注册")) != nullptr; });
  script.Then([&] {
    // The host's password control inside the plug-in's dialog takes typed keys.
    HWND password = GetDlgItem(signUp, register_ids::kPassword);
    SetFocus(password);
    for (char16_t c : std::u16string(u"abc")) SendMessageW(password, WM_CHAR, c, 0);
    typed = GetWindowTextString(password);
    PostMessageW(GetDlgItem(signUp, register_ids::kCancel), BM_CLICK, 0, 0);
  });
  script.Add([&] { return !IsWindow(signUp); });
  script.Then([&] { PostMessageW(GetDlgItem(entryDialog, entry_ids::kExit), BM_CLICK, 0, 0); });
  script.Start();
  void* slot = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(Entry(1)->CreateFeature(0, nullptr, &slot), 1);
  EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(script.GaveUp());
  EXPECT_EQ(typed, u"abc");
  EXPECT_EQ(port.userActivity, 1);
  EXPECT_EQ(port.createdControls, 20);
  EXPECT_EQ(port.destroyedControls, 20);
  EXPECT_EQ(FindDialogTemplate(IDD_ACCOUNT_ENTRY), &hostsOwn);
  RegisterAccountDialogTemplates();  // the program's copy, as the in-process tests expect
}

// --- In process ---------------------------------------------------------------------

class Addin : public ::testing::Test {
 protected:
  void SetUp() override {
    app.InitInstance();
    RegisterAccountDialogTemplates();
  }
  void TearDown() override { app.ExitInstance(); }
  IFeatureEntry* Entry(int index) {
    IFeatureEntry* entries[8] = {};
    addin.GetFeatureEntries(entries, 8);
    return entries[index];
  }

  TestDesktop desk;
  CQuorathApp app;
  CQuorathAddin& addin = app.Addin();
  FakePort port;
};

TEST_F(Addin, VersionTableGrowsByItsRule) {
  EXPECT_EQ(addin.VersionCapacity(), 20);  // grown by 4 each time: count / 8 is below the minimum of 4
  InterfaceVersionRow row{"IExtra", "1.00", 4};
  for (int i = 0; i < 4; ++i) addin.AppendVersion(row);
  EXPECT_EQ(addin.GetInterfaceVersions(nullptr, 0), 21);
  EXPECT_EQ(addin.VersionCapacity(), 24);
}

TEST_F(Addin, AttachHostWithAndWithoutAPort) {
  EXPECT_EQ(addin.AttachHost(&port), 1);
  EXPECT_EQ(port.serviceLookups,
            (Strings{"QarnSkinUtility", "QarnGUIUtility", "QarnComm", "QarnGina", "QarnNoteUtility"}));
  EXPECT_EQ(addin.Services().gui, &port.gui);
  EXPECT_EQ(addin.AttachHost(nullptr), 1);
  EXPECT_EQ(addin.GetHost(), nullptr);
  EXPECT_EQ(addin.Services().gui, nullptr);
  addin.RefreshServices(0);
  EXPECT_EQ(addin.Services().comm, nullptr);
  EXPECT_EQ(*addin.DataSaverRef(), nullptr);  // no store registered
}

TEST_F(Addin, HostsOwnWindowObjectStaysInPlace) {
  CWnd hostMain;
  ASSERT_TRUE(hostMain.CreateEx(0, nullptr, u"host", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
  port.mainWindow = hostMain.m_hWnd;
  addin.AttachHost(&port);
  // Each keeps its own object in its own map; the host's answers outside the
  // plug-in's module and keeps the window's messages.
  EXPECT_EQ(CWnd::FromHandlePermanent(port.mainWindow), &hostMain);
  EXPECT_EQ(addin.MainWindowObject().m_hWnd, port.mainWindow);
  {
    PluginModuleScope scope;
    EXPECT_EQ(CWnd::FromHandlePermanent(port.mainWindow), &addin.MainWindowObject());
  }
  EXPECT_EQ(::SendMessageW(port.mainWindow, WM_GETTEXTLENGTH, 0, 0), 4);
}

TEST_F(Addin, OnHostEventPointsTheStringCacheAtAModule) {
  HMODULE module = LoadResourceModule(ORV_TEST_STRING_MODULE);
  ASSERT_NE(module, nullptr);
  auto* captioned = addin.AddEntry(std::make_unique<CQuorathFeatureEntry>(
      &addin, 99, "Captioned", reinterpret_cast<const char*>(std::uintptr_t{300}), nullptr, nullptr));
  EXPECT_STREQ(captioned->GetCaption(), "");
  EXPECT_EQ(addin.OnHostEvent(-65530, reinterpret_cast<std::intptr_t>(module), 0, 0, 0), 0);
  EXPECT_STREQ(captioned->GetCaption(), "第三百");
  EXPECT_STREQ(LoadResString(1), "资源模块一");
  EXPECT_EQ(addin.OnHostEvent(-65531, 0, 0, 0, 0), 0);
  EXPECT_STREQ(LoadResString(1), "资源模块一");
  EXPECT_EQ(addin.OnHostEvent(-65530, 0, 0, 0, 0), 0);
  EXPECT_STREQ(LoadResString(1), "");
  FreeResourceModule(module);
}

TEST_F(Addin, FactoryOfTheValueFeatureAndTheLoginExtension) {
  addin.AttachHost(&port);
  void* slot = nullptr;
  EXPECT_EQ(Entry(0)->CreateFeature(42, nullptr, &slot), 1);
  auto* value = static_cast<IValueFeature*>(slot);
  ASSERT_NE(value, nullptr);
  auto* object = static_cast<FeatureObject*>(static_cast<CGetSafeCom*>(value->GetOwner()));
  EXPECT_EQ(object->services.port, &port);
  EXPECT_EQ(object->services.gui, &port.gui);
  EXPECT_EQ(object->services.ownerAddin, &addin);
  EXPECT_EQ(object->services.ownerEntry, reinterpret_cast<std::intptr_t>(Entry(0)));
  EXPECT_EQ(object->services.argument, 42);
  EXPECT_EQ(value->GetValue(), reinterpret_cast<std::intptr_t>(Entry(0)));
  value->Release();

  EXPECT_EQ(Entry(2)->CreateFeature(7, nullptr, &slot), 1);
  auto* login = static_cast<ILoginExtension*>(slot);
  ASSERT_NE(login, nullptr);
  EXPECT_EQ(login->GetRuntimeClass(), &kGinaExtentAuthClass);
  EXPECT_EQ(login->GetValue(), reinterpret_cast<std::intptr_t>(Entry(2)));
  login->Release();

  // A kind outside the table: 0, the slot empty or holding the existing feature.
  auto* other = addin.AddEntry(std::make_unique<CQuorathFeatureEntry>(&addin, 99, "Other", "其他", nullptr,
                                                                      &kGetSafeComClass));
  int existing = 0;
  slot = &slot;
  EXPECT_EQ(other->CreateFeature(0, nullptr, &slot), 0);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(other->CreateFeature(0, &existing, &slot), 0);
  EXPECT_EQ(slot, &existing);
  // A record without a create function fails.
  static const FeatureClassRecord broken = {"Broken", 0, 1, nullptr};
  auto* withBroken = addin.AddEntry(std::make_unique<CQuorathFeatureEntry>(&addin, 1, "Broken", "坏", nullptr, &broken));
  EXPECT_EQ(withBroken->GetRuntimeClass(), &broken);  // flag word 1
  EXPECT_EQ(withBroken->CreateFeature(0, nullptr, &slot), 0);
}

// A view feature of the host's kind, for the factory's kinds 107 and 108.
class FakeView final : public ViewFeatureObject {
 public:
  void* GetInterface() override { return this; }
  const FeatureClassRecord* GetClassRecord() override { return nullptr; }
  void Initialise(std::intptr_t argument, int extra) override { calls.push_back("Initialise(" + std::to_string(argument) + "," + std::to_string(extra) + ")"); }
  void InitialiseSecond(std::intptr_t argument, int extra) override { calls.push_back("InitialiseSecond(" + std::to_string(argument) + "," + std::to_string(extra) + ")"); }
  HWND GetWindow() override { return window; }
  void FinishSetup() override { calls.push_back("FinishSetup"); }
  LPARAM OwnerNumber() override { return 77; }
  Strings calls;
  HWND window = nullptr;
  static HWND nextWindow;
};
HWND FakeView::nextWindow = nullptr;

FeatureObject* CreateFakeView() {
  auto* view = new FakeView();
  view->window = FakeView::nextWindow;
  return view;
}
const FeatureClassRecord kFakeViewClass = {"FakeView", sizeof(FakeView), 0, &CreateFakeView};

// Records WM_FEATURE_VIEW_INIT.
class ViewWindow : public CWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_FEATURE_VIEW_INIT) posts.push_back({wParam, lParam});
    return CWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<std::pair<WPARAM, LPARAM>> posts;
};

TEST_F(Addin, ViewFeatureKinds) {
  ViewWindow window;
  ASSERT_TRUE(window.CreateEx(0, nullptr, u"view", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  FakeView::nextWindow = window.m_hWnd;
  auto* kind107 = addin.AddEntry(std::make_unique<CQuorathFeatureEntry>(&addin, 107, "View", "视图", nullptr,
                                                                        &kFakeViewClass, 9));
  auto* kind108 = addin.AddEntry(std::make_unique<CQuorathFeatureEntry>(&addin, 108, "Pop", "弹出", nullptr,
                                                                        &kFakeViewClass, 5));
  void* slot = nullptr;
  EXPECT_EQ(kind107->CreateFeature(3, nullptr, &slot), 1);
  auto* view = static_cast<FakeView*>(slot);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->calls, (Strings{"Initialise(3,9)", "FinishSetup"}));
  desk.RunUntilIdle();
  EXPECT_EQ(window.posts, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 1}}));

  view->services.ownerEntry = 0;
  EXPECT_EQ(kind107->CreateFeature(3, view, &slot), 1);
  EXPECT_EQ(view->services.ownerEntry, reinterpret_cast<std::intptr_t>(kind107));
  EXPECT_EQ(kind108->CreateFeature(3, view, &slot), 1);
  EXPECT_EQ(slot, view);
  desk.RunUntilIdle();
  EXPECT_EQ(window.posts, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 1}, {0, 77}, {0, 0}}));

  EXPECT_EQ(kind108->CreateFeature(4, nullptr, &slot), 1);
  auto* second = static_cast<FakeView*>(slot);
  EXPECT_EQ(second->calls, Strings{"InitialiseSecond(4,5)"});
  desk.RunUntilIdle();
  EXPECT_EQ(window.posts.back(), (std::pair<WPARAM, LPARAM>{1, 0}));
  delete second;
  delete view;
}

class BusyFilter : public Addin {
 protected:
  void SetUp() override {
    Addin::SetUp();
    addin.AttachHost(&port);
    HostServiceSet set;
    set.Attach(&port);
    dialog = std::make_unique<RegisterDialog>(set, nullptr);
    ASSERT_TRUE(dialog->Create(IDD_REGISTER, nullptr));
    dialog->ShowWindow(SW_SHOW);
    desk.RunUntilIdle();
  }
  void TearDown() override {
    dialog.reset();
    Addin::TearDown();
  }
  POINT CentreOf(int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog->m_hWnd, id), &rect);
    POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ::ScreenToClient(dialog->m_hWnd, &centre);
    return centre;
  }
  std::unique_ptr<RegisterDialog> dialog;
};

TEST_F(BusyFilter, ClicksDroppedAndCursorsWhileTheHostIsBusy) {
  HWND box = ::GetDlgItem(dialog->m_hWnd, register_ids::kDetails);
  POINT centre = CentreOf(register_ids::kDetails);
  port.busy = 1;
  desk.Click(dialog->m_hWnd, centre.x, centre.y);
  EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // dropped
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(port.userActivity, 1);
  port.hookSeen.clear();
  desk.MoveMouse(dialog->m_hWnd, 5, 5);
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_WAIT));
  EXPECT_NE(std::find(port.hookSeen.begin(), port.hookSeen.end(), WM_MOUSEMOVE), port.hookSeen.end());

  port.busy = 0;
  desk.Advance(2000);  // not a double click
  desk.Click(dialog->m_hWnd, centre.x, centre.y);
  EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(port.userActivity, 2);
  ::SetFocus(::GetDlgItem(dialog->m_hWnd, register_ids::kUserName));
  desk.Key('A');
  EXPECT_EQ(port.userActivity, 3);
}

TEST_F(BusyFilter, HostWindowsAreOfferedToTheHost) {
  HWND password = ::GetDlgItem(dialog->m_hWnd, register_ids::kPassword);  // made by the host
  ::SetFocus(password);
  port.preTranslated.clear();
  desk.Key('A');
  ASSERT_FALSE(port.preTranslated.empty());
  EXPECT_EQ(port.preTranslated.front(), password);
  EXPECT_EQ(::GetWindowTextString(password), u"a");
}

TEST_F(BusyFilter, NoPortIsNeverBusy) {
  addin.AttachHost(nullptr);
  port.busy = 1;
  desk.Click(dialog->m_hWnd, CentreOf(register_ids::kDetails).x, CentreOf(register_ids::kDetails).y);
  EXPECT_EQ(::SendMessageW(::GetDlgItem(dialog->m_hWnd, register_ids::kDetails), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(port.userActivity, 0);
}

// The token store registered in a temporary registry file.
class WithTokenStore : public Addin {
 protected:
  void SetUp() override {
    section_ = "/orv-quorath-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    setenv("TMRQ_SECTION_NAME", section_.c_str(), 1);
    char pattern[] = "/tmp/orv-quorath-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    store_ = LoadAndRegisterTokenStore(folder_ + "/registry.txt");
    ASSERT_NE(store_, nullptr);
    Addin::SetUp();
  }
  void TearDown() override {
    Addin::TearDown();
    UnloadTokenStore(store_);
    unlink((folder_ + "/registry.txt").c_str());
    rmdir(folder_.c_str());
  }
  // The token another process reads for code: "<hr> <type> <token>".
  std::string ReadInAnotherProcess(const std::string& code) {
    std::string output = RunCommand(std::string("printf 'get ") + code + "\\nexit\\n' | " + TOKENSTORE_HELPER + " " +
                             TOKENSTORE_LIBRARY);
    std::size_t ready = output.find("ready\n");
    if (ready == std::string::npos) return output;
    std::string answer = output.substr(ready + 6);
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
  }

  std::string section_;
  std::string folder_;
  void* store_ = nullptr;
};

class AnswerRef final : public IQarnAnswerRef {
 public:
  explicit AnswerRef(IQarnJob* job) : job_(job) {}
  IQarnJob* GetJob() override { return job_; }

 private:
  IQarnJob* job_;
};

TEST_F(WithTokenStore, LoginTokenReachesTheSharedStore) {
  addin.AttachHost(&port);
  ASSERT_NE(*addin.DataSaverRef(), nullptr);
  void* slot = nullptr;
  ASSERT_EQ(Entry(2)->CreateFeature(0, nullptr, &slot), 1);
  auto* login = static_cast<ILoginExtension*>(slot);
  FakeClient* client = port.NewClient();
  client->loginType = 29;
  FakeJob* loginJob = port.NewJob(client);
  FakeJob* answer = port.NewJob(client);
  answer->rows = {{{807, "5"}, {825, "TOKEN-XYZ"}, {809, "600123"}}};
  AnswerRef ref(answer);
  EXPECT_EQ(login->OnLoginAnswer(loginJob, &ref), 0);
  EXPECT_EQ(ReadInAnotherProcess("600123"), "0 2 TOKEN-XYZ");
  EXPECT_EQ(port.traces, Strings{"QXDM: 5\r\n"});
  login->Release();
}

TEST_F(Addin, WithoutTheStoreTheHandOverIsTraced) {
  addin.AttachHost(&port);
  void* slot = nullptr;
  ASSERT_EQ(Entry(2)->CreateFeature(0, nullptr, &slot), 1);
  auto* login = static_cast<ILoginExtension*>(slot);
  FakeClient* client = port.NewClient();
  client->loginType = 30;
  FakeJob* loginJob = port.NewJob(client);
  EXPECT_EQ(login->OnBeforeLogin(loginJob), 0);
  FakeJob* answer = port.NewJob(client);
  answer->rows = {{{807, "0"}, {825, "T"}, {809, "1"}}};
  AnswerRef ref(answer);
  EXPECT_EQ(login->OnLoginAnswer(loginJob, &ref), 0);
  EXPECT_EQ(port.traces, (Strings{"TokenFaild", "QXDM: 0\r\n", "SetToken Faild"}));
  login->Release();
}

}  // namespace

namespace {

// The program quorath_host, run as a user would.
struct HostRun {
  std::string output;
  int exitCode;
};

HostRun RunHost(const std::string& arguments) {
  std::string command = std::string(QUORATH_HOST) + " " + arguments + " 2>&1; echo \"exit=$?\"";
  std::string output = RunCommand(command);
  std::size_t at = output.rfind("exit=");
  int code = at == std::string::npos ? -1 : std::atoi(output.c_str() + at + 5);
  return HostRun{output.substr(0, at == std::string::npos ? output.size() : at), code};
}

TEST(QuorathHost, ListAndLogin) {
  HostRun list = RunHost("--list");
  EXPECT_EQ(list.exitCode, 0) << list.output;
  EXPECT_NE(list.output.find("interfaces: 17"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("IFeatureForOption    6.02 (4)"), std::string::npos);
  EXPECT_NE(list.output.find("kind 110  id -1  EmbDialog.FN3        注册用户"), std::string::npos);
  EXPECT_NE(list.output.find("Gina.VelmicRegAuth"), std::string::npos);

  HostRun login = RunHost("--login 29");
  EXPECT_EQ(login.exitCode, 0) << login.output;
  EXPECT_NE(login.output.find("OnBeforeLogin(type 29): 1"), std::string::npos) << login.output;
  EXPECT_NE(login.output.find("SetField(4225,7,0)"), std::string::npos);
  EXPECT_NE(login.output.find("SetToken Faild"), std::string::npos);

  EXPECT_EQ(RunHost("--login x").exitCode, 2);
  EXPECT_EQ(RunHost("--sign-up --list").exitCode, 2);
  EXPECT_EQ(RunHost("--help").exitCode, 0);
  EXPECT_EQ(RunHost("--list --plugin /no/such/plugin.so").exitCode, 1);
}

TEST(QuorathHost, SignUpAndPasswordChangeWithPictures) {
  char pattern[] = "/tmp/orv-quorath-host-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  HostRun signUp = RunHost("--sign-up --snapshot " + dir);
  EXPECT_EQ(signUp.exitCode, 0) << signUp.output;
  EXPECT_NE(signUp.output.find("[注册成功 64] 注册成功！您注册的用户名是：wangwu"), std::string::npos) << signUp.output;
  HostRun password = RunHost("--change-password --snapshot " + dir);
  EXPECT_EQ(password.exitCode, 0) << password.output;
  EXPECT_NE(password.output.find("SetField(804,secret2,1)"), std::string::npos) << password.output;
  for (const char* name : {"entry.png", "sign_up.png", "sign_up_details.png", "change_password.png"}) {
    std::string path = dir + "/" + name;
    EXPECT_EQ(access(path.c_str(), R_OK), 0) << name;
    unlink(path.c_str());
  }
  rmdir(dir.c_str());
}

}  // namespace
