// The start-up's pieces: the client version, the pending update package,
// the menu hook, the login key, a cancelled login, and one instance per
// user with real Korvane processes.
#include "shell/tests/login_test_support.h"

#include <QImage>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "controls/menu_ex.h"
#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_process.h"
#include "platform/mfc/afx_controls.h"
#include "platform/window/win_desktop.h"
#include "shell/korvane_app.h"
#include "shell/login_dialog.h"
#include "shell/login_key.h"
#include "shell/pending_update.h"
#include "shell/program_identity.h"
#include "tools/simbroker/http/sim_http_content.h"

using namespace shelltest;

namespace {

// The message-port folder of this test process, joined once (a process
// joins one folder for its life).
const std::string& TestPorts() {
  static orvtest::TempFolder* folder = new orvtest::TempFolder();
  static bool joined = [] {
    chmod(folder->Path().c_str(), 0700);
    return JoinMessagePorts(folder->Path());
  }();
  EXPECT_TRUE(joined);
  return folder->Path();
}

void WriteText(const std::string& path, const std::string& text) { WriteWholeFile(path, text.data(), text.size()); }

std::string ReadText(const std::string& path) {
  std::string out;
  ReadWholeFile(path, &out);
  return out;
}

// ------------------------------------------------------------------ client version

TEST(StartupClientVersion, FromUpdateIniOrTheDefault) {
  struct Case {
    const char* name;
    const char* ini;  // null: no file
    std::string version;
  } cases[] = {
      {"no file", nullptr, "tq_winpc_tqx1_1.0.0.1_016"},
      {"no key", "[Tamsel]\r\nMINVER=1.0.0.001\r\n", "tq_winpc_tqx1_1.0.0.1_016"},
      {"no section", "[Other]\r\nVERSION=x\r\n", "tq_winpc_tqx1_1.0.0.1_016"},
      {"plain", "[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.2_017\r\n", "tq_winpc_tqx1_1.0.0.2_017"},
      {"UTF-8", "[Tamsel]\r\nVERSION=版本_1.0\r\n", "版本_1.0"},
  };
  BrokerageFolders folders;
  ASSERT_TRUE(folders.Ok());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(folders.Program() + "update.ini");
    if (c.ini) folders.WriteProgram("update.ini", c.ini);
    EXPECT_EQ(InstalledClientVersion(), c.version);
  }
}

// ------------------------------------------------------------------ update package

class PendingUpdateTest : public ::testing::Test {
 protected:
  void Package(const std::vector<std::pair<std::string, std::string>>& items) {
    WriteText(folder.Path() + "ZipPack.zip", simhttp::BuildStoredZip(items));
  }
  void Ini(const std::string& text) { WriteText(folder.Path() + "update.ini", text); }
  bool Has(const std::string& relative) const { return FileExists(folder.Path() + relative); }
  orvtest::TempFolder folder;
};

TEST_F(PendingUpdateTest, ItemsNewerThanTheirSectionAreUnpacked) {
  Ini("[ZipPack.zip]\r\nVERSION=1.0.0.5\r\n"
      "[\\bin\\x.dll]\r\nVERSION=1.0.0.4\r\n"   // older: unpacked
      "[x.dll]\r\nVERSION=1.0.0.6\r\n"          // newer: kept
      "[\\res\\same.txt]\r\nVERSION=1.0.0.5\r\n"  // equal: kept
      "[\\res\\empty.txt]\r\nVERSION=\r\n"       // empty: unpacked
      "[bin/]\r\nVERSION=1.0.0.6\r\n");             // a folder entry: its own name
  WriteText(folder.Path() + "x.dll", std::string("installed"));
  Package({{"bin/x.dll", "new bin"}, {"x.dll", "new top"}, {"res/same.txt", "same"}, {"res/empty.txt", "e"},
           {"res/none.txt", "no section"}, {"bin/", ""}});
  const PendingUpdateReport report = UnpackPendingUpdate(folder.Path());
  EXPECT_TRUE(report.opened);
  EXPECT_EQ(report.unpacked, 3);
  EXPECT_EQ(report.skipped, 3);
  EXPECT_EQ(ReadText(folder.Path() + "bin/x.dll"), "new bin");
  EXPECT_EQ(ReadText(folder.Path() + "x.dll"), "installed");
  EXPECT_FALSE(Has("res/same.txt"));
  EXPECT_EQ(ReadText(folder.Path() + "res/empty.txt"), "e");
  EXPECT_EQ(ReadText(folder.Path() + "res/none.txt"), "no section");
  EXPECT_FALSE(Has("ZipPack.zip")) << "deleted after the run";
}

TEST_F(PendingUpdateTest, VersionsCompareAsText) {
  Ini("[ZipPack.zip]\r\nVERSION=1.0.0.10\r\n[a.txt]\r\nVERSION=1.0.0.9\r\n");
  Package({{"a.txt", "new"}});
  const PendingUpdateReport report = UnpackPendingUpdate(folder.Path());
  EXPECT_EQ(report.unpacked, 0) << "1.0.0.10 sorts before 1.0.0.9";
  EXPECT_FALSE(Has("a.txt"));
  EXPECT_FALSE(Has("ZipPack.zip")) << "deleted even when nothing was newer";
}

TEST_F(PendingUpdateTest, WithoutUpdateIniEverythingIsUnpacked) {
  Package({{"a.txt", "1"}, {"res/b.txt", "2"}});
  const PendingUpdateReport report = UnpackPendingUpdate(folder.Path());
  EXPECT_EQ(report.unpacked, 2);
  EXPECT_TRUE(Has("a.txt"));
  EXPECT_TRUE(Has("res/b.txt"));
}

TEST_F(PendingUpdateTest, NamesLeavingTheFolderAreSkipped) {
  const std::string outside = folder.Path() + "outside/";
  std::filesystem::create_directories(outside);
  std::filesystem::create_directories(folder.Path() + "program");
  WriteText(folder.Path() + "program/ZipPack.zip",
                 simhttp::BuildStoredZip({{"../escape.txt", "x"},
                                          {"/abs.txt", "x"},
                                          {"\\back.txt", "x"},
                                          {"C:/drive.txt", "x"},
                                          {"res/../../up.txt", "x"},
                                          {"ok.txt", "fine"}}));
  const PendingUpdateReport report = UnpackPendingUpdate(folder.Path() + "program/");
  EXPECT_EQ(report.refused, 5);
  EXPECT_EQ(report.unpacked, 1);
  EXPECT_EQ(ReadText(folder.Path() + "program/ok.txt"), "fine");
  for (const char* name : {"escape.txt", "up.txt", "program/escape.txt", "program/abs.txt", "program/back.txt",
                           "program/drive.txt", "program/up.txt", "abs.txt"})
    EXPECT_FALSE(Has(name)) << name;
}

TEST_F(PendingUpdateTest, UnreadablePackageIsKept) {
  WriteText(folder.Path() + "ZipPack.zip", std::string("not a zip archive at all"));
  EXPECT_FALSE(UnpackPendingUpdate(folder.Path()).opened);
  EXPECT_TRUE(Has("ZipPack.zip"));
  std::filesystem::remove(folder.Path() + "ZipPack.zip");
  EXPECT_FALSE(UnpackPendingUpdate(folder.Path()).opened) << "no package: nothing to do";
}

// ------------------------------------------------------------------ menu hook

class TestApp : public CKorvaneApp {};

TEST(StartupMenuHook, MenuWindowsGetTheFlatProcedureOnce) {
  TestDesktop desk;
  TestApp app;
  app.InstallMenuHook();
  ASSERT_NE(app.MenuHook(), nullptr);
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
  WNDPROC seen = nullptr;
  desk.Until([&] {
    HWND menu = FindWindowW(WC_POPUPMENU, nullptr);
    if (!menu) return false;
    seen = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(menu, GWLP_WNDPROC));
    // A second creation notice finds the flat procedure there already.
    SendMessageW(menu, 0x1E2, 0, 0);
    return true;
  });
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  CMenu menu;
  menu.CreatePopupMenu();
  menu.AppendMenu(MF_STRING, 1, u"一");
  menu.TrackPopupMenu(0, 20, 20, &owner);
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ(seen, &FlatMenuWndProc);
  EXPECT_EQ(app.ExitInstance(), 0);
  EXPECT_EQ(app.MenuHook(), nullptr) << "removed at exit";
  owner.DestroyWindow();
}

// ------------------------------------------------------------------ login key

TEST(LoginKey, DefaultIsTheDemoModulus) {
  std::string demo = ReadText(ORV_DEMO_LOGIN_MODULUS_FILE);
  while (!demo.empty() && (demo.back() == '\n' || demo.back() == '\r' || demo.back() == ' ')) demo.pop_back();
  EXPECT_EQ(std::string(kLoginRsaModulus), demo);
}

TEST(LoginKey, ConfigureRefusesAMalformedKey) {
  struct Case {
    const char* name;
    std::string key;
    bool accepted;
  } cases[] = {
      {"demo key", ReadText(ORV_DEMO_LOGIN_MODULUS_FILE).substr(0, 256), true},
      {"lower case", std::string(256, 'a'), false},
      {"too short", std::string(255, 'A'), false},
      {"not hex", std::string(255, 'A') + "G", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string command = "cmake -DORV_LOGIN_RSA_MODULUS=" + c.key + " -P " ORV_LOGIN_KEY_SCRIPT " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()) == 0, c.accepted);
  }
}

// ------------------------------------------------------------------ whole start-up

TEST(StartupLogin, CancelledLoginMakesNoMainWindow) {
  BrokerageFolders folders;
  ASSERT_TRUE(folders.Ok());
  TestDesktop desk;
  TestApp app;
  desk.Until([] { return FindWindowW(nullptr, kProgramTitle) != nullptr; }, 20000);
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  EXPECT_FALSE(app.StartUp());
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(app.ExitInstance(), 0);
}

// Two real Korvane processes in a port folder and data root of the test's
// own; the server list goes to a port nobody listens on.
class StartupSingleInstance : public ::testing::Test {
 protected:
  void SetUp() override {
    TestPorts();
    std::filesystem::create_directories(temp.Path() + "data");
  }
  void TearDown() override {
    for (int pid : started)
      if (TerminateProcessById(pid)) WaitProcess(pid, 10000, nullptr);
  }
  int Start(const std::string& boxes = std::string()) {
    ProcessStart start;
    start.exe = ORV_KORVANE;
    start.workDir = temp.Path();
    start.env = {"XDG_DATA_HOME=" + temp.Path() + "data", "QT_QPA_PLATFORM=offscreen",
                 "ORV_TEST_SERVER_LIST_PORT=" + std::to_string(closedPort)};
    if (!boxes.empty()) start.env.push_back("ORV_TEST_BOXES=" + boxes);
    int pid = 0;
    EXPECT_TRUE(StartProcessWithPort(start, &pid, nullptr));
    started.push_back(pid);
    return pid;
  }
  // The window titled with the program title that belongs to pid.
  HWND WindowOf(int pid, int timeoutMs = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      HWND found = FindWindowW(nullptr, kProgramTitle);
      DWORD owner = 0;
      if (found) GetWindowThreadProcessId(found, &owner);
      if (found && static_cast<int>(owner) == pid) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
  }

  orvtest::TempFolder temp;
  std::vector<int> started;
  int closedPort = 1;
};

TEST_F(StartupSingleInstance, SecondProcessBringsTheFirstForwardAndEnds) {
  const int first = Start();
  HWND window = WindowOf(first);
  ASSERT_NE(window, nullptr) << "the first instance shows its login window";

  const std::string boxes = temp.Path() + "boxes.txt";
  const int second = Start("boxes.txt");
  int code = -1;
  ASSERT_TRUE(WaitProcess(second, 30000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadText(boxes), "\t本程序已经在运行了！\t0\n") << "empty caption, MB_OK";
  EXPECT_TRUE(IsWindow(window)) << "the first keeps running";

  ASSERT_TRUE(TerminateProcessById(first));
  ASSERT_TRUE(WaitProcess(first, 10000, nullptr));
  const int third = Start();
  EXPECT_NE(WindowOf(third), nullptr) << "a new instance starts normally once the first is gone";
}

// `Korvane --snapshot FILE` against the test's own brokerage: the demo
// sign-in, the main window's picture, and nothing written when the sign-in
// is refused.
TEST(StartupSnapshotSwitch, SignsInAndWritesTheMainWindow) {
  TestPorts();
  orvtest::TempFolder temp;
  simhttp::SimHttpOptions options;
  options.port = 0;
  simhttp::SimHttpServer server(options);
  ASSERT_EQ(server.Start(), 1);
  const std::string res = temp.Path() + "data/pellune/Tamsel/res/";
  std::filesystem::create_directories(res);
  const auto seeds = simhttp::BuildDemoSeedFiles();
  WriteText(res + "config.data", seeds.at("res/config.data"));
  WriteText(res + "server.data", simhttp::BuildServerDirectory(server.Layout(), 0));
  auto run = [&](const std::string& file) {
    ProcessStart start;
    start.exe = ORV_KORVANE;
    start.args = {"--snapshot", file};
    start.workDir = temp.Path();
    start.env = {"XDG_DATA_HOME=" + temp.Path() + "data", "QT_QPA_PLATFORM=offscreen",
                 "ORV_TEST_SERVER_LIST_PORT=" + std::to_string(server.Port())};
    int pid = 0;
    int code = -1;
    EXPECT_TRUE(StartProcessWithPort(start, &pid, nullptr));
    if (!WaitProcess(pid, 90000, &code)) {
      TerminateProcessById(pid);
      WaitProcess(pid, 10000, nullptr);
    }
    return code;
  };
  EXPECT_EQ(run("main.png"), 0);
  QImage picture(QString::fromStdString(temp.Path() + "main.png"));
  ASSERT_FALSE(picture.isNull()) << "written relative to the starting folder";
  EXPECT_GT(picture.width(), 800);
  EXPECT_EQ(server.Requests("ialogin").size(), 1u);
  EXPECT_EQ(server.Requests("ialogin").at(0).body.substr(0, 41), "username=demo&password=demo123&randomCode");

  simhttp::SimHttpScenario refuse;
  refuse.iaLogin = simhttp::SimIaLogin::kRefuse;
  server.SetScenario(refuse);
  EXPECT_EQ(run("refused.png"), 1);
  EXPECT_FALSE(FileExists(temp.Path() + "refused.png"));
}

}  // namespace
