// The updater's dialog on the test desktop against the simulated
// brokerage, in a temporary program folder: the version check's states, the
// whole update through the buttons, the failures that keep the installed
// release, the process search, painting and snapshots.
#include "updater/update_dialog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QImage>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_desktop.h"
#include "updater/tests/update_test_support.h"
#include "updater/update_file.h"

using namespace updatetest;
using namespace update_ids;

namespace {

namespace fs = std::filesystem;

class TestApp : public CWinApp {};

std::string SnapshotFolder() {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots/";
  fs::create_directories(folder);
  return folder;
}

COLORREF At(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Waits (real time) until pred holds.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class UpdateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.Ok());
    orvtest::UseProgramFonts();
  }
  void TearDown() override {
    if (dlg && dlg->m_hWnd) dlg->DestroyWindow();
    dlg.reset();
    for (int pid : started)
      if (TerminateProcessById(pid)) WaitProcess(pid, 10000, nullptr);
  }
  // The dialog of this folder, not yet opened.
  CUpdateDlg& Make(const std::string& current = kDefaultClientVersion) {
    dlg = std::make_unique<CUpdateDlg>("Tamsel", current, folder.DescriptionAddress(), folder.Path());
    HttpDownloadSettings http;
    http.connectTimeoutMs = 2000;
    http.receiveTimeoutMs = 5000;
    dlg->SetHttpSettings(http);
    return *dlg;
  }
  // Opens it modeless (the tests that do not end it).
  void Open(const std::string& current = kDefaultClientVersion) {
    ASSERT_TRUE(Make(current).Create(kTemplate, nullptr));
    desk.RunUntilIdle();
  }
  HWND Item(int id) const { return ::GetDlgItem(dlg->m_hWnd, id); }
  CRect ItemRect(int id) const {
    CRect r;
    ::GetWindowRect(Item(id), &r);
    ::ScreenToClient(dlg->m_hWnd, reinterpret_cast<POINT*>(&r.left));
    ::ScreenToClient(dlg->m_hWnd, reinterpret_cast<POINT*>(&r.right));
    return r;
  }
  void ClickItem(int id) {
    const CRect r = ItemRect(id);
    desk.Click(dlg->m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  }
  bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
  bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
  // Clicks OK and runs the queue until the run has ended.
  void RunUpdateByOk() {
    ClickItem(IDOK);
    ASSERT_TRUE(desk.RunUntil([&] { return !dlg->Running(); }, 30000));
    desk.RunUntilIdle();
  }
  void Newer() {
    folder.Scenario([](simhttp::SimHttpScenario& s) { s.updateIni = simhttp::SimUpdateIni::kNewer; });
  }
  void Snap(const std::string& name) { desk.SavePng(dlg->m_hWnd, SnapshotFolder() + name); }
  // The fake main program as folder/Korvane.
  void InstallFakeMainProgram() {
    fs::copy_file(ORV_FAKE_KORVANE, folder.Path() + "Korvane", fs::copy_options::overwrite_existing);
  }
  std::string MainProgramRun() const { return folder.Read("korvane-run.txt"); }

  TestInstall folder;
  TestApp app;
  TestDesktop desk;
  std::unique_ptr<CUpdateDlg> dlg;
  std::vector<int> started;
};

TEST_F(UpdateDialogTest, VersionCheckStates) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    WString status, caption;
    bool cancel;
    const char* snapshot;
  } cases[] = {
      {"newer", [&] { Newer(); }, u"发现新的版本:Tamsel tq_winpc_tqx1_1.0.0.2_016", u"更新(&U)", true,
       "update_dialog_newer.png"},
      {"current", [] {}, u"您现在用的版本已是最新的！", u"完成(&O)", false, "update_dialog_up_to_date.png"},
      {"status 500", [&] { folder.Scenario([](simhttp::SimHttpScenario& s) { s.status["update.ini"] = 500; }); },
       u"连接服务器失败！", u"重试(&R)", true, nullptr},
      {"refused", [&] { folder.Server().SetSiteListening(0, false); }, u"连接服务器失败！", u"重试(&R)", true,
       "update_dialog_connect_failed.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Server().SetScenario(simhttp::SimHttpScenario());
    c.arrange();
    Open();
    EXPECT_EQ(c.status, dlg->Status());
    EXPECT_EQ(c.caption, dlg->OkCaption());
    EXPECT_EQ(c.cancel, Visible(IDCANCEL));
    EXPECT_TRUE(Enabled(IDOK));
    if (c.snapshot) Snap(c.snapshot);
    dlg->DestroyWindow();
  }
  // From the retry state OK checks again, successfully once the server answers.
  Open();
  ASSERT_EQ(u"重试(&R)", dlg->OkCaption());
  ASSERT_EQ(1, folder.Server().SetSiteListening(0, true));
  Newer();
  ClickItem(IDOK);
  desk.RunUntilIdle();
  EXPECT_EQ(u"发现新的版本:Tamsel tq_winpc_tqx1_1.0.0.2_016", dlg->Status());
  EXPECT_EQ(u"更新(&U)", dlg->OkCaption());
}

TEST_F(UpdateDialogTest, UpdateEndsWithTheMainProgramStarted) {
  Newer();
  InstallFakeMainProgram();
  CUpdateDlg& d = Make();
  std::vector<int> percents;
  desk.Until([&] { return d.m_hWnd && d.OkCaption() == u"更新(&U)"; });
  desk.Then([&] { ClickItem(IDOK); });
  desk.Until([&] {
    percents.push_back(d.ProgressBar().GetPos());
    return !d.Running() && d.Status() == u"完成更新！";
  }, 30000);
  desk.Then([&] {
    EXPECT_EQ(100, d.ProgressBar().GetPos());
    EXPECT_FALSE(Visible(IDCANCEL));
    EXPECT_TRUE(Enabled(IDOK));
    EXPECT_EQ(u"完成(&O)", d.OkCaption());
    Snap("update_dialog_finished.png");
    EXPECT_TRUE(MainProgramRun().empty()) << "nothing started before OK";
    ClickItem(IDOK);
  });
  EXPECT_EQ(IDOK, d.DoModal());
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ((std::vector<std::string>{"/update/files/help.html", "/update/files/updatelog.txt",
                                      "/update/files/ZipPack.zip"}),
            folder.FileRequests());
  EXPECT_EQ(ServerFile("help.html"), folder.Read("res/default_html/help.html"));
  EXPECT_EQ(ServerFile("ZipPack.zip"), folder.Read("ZipPack.zip"));
  EXPECT_TRUE(folder.Leftovers().empty());
  ASSERT_GT(d.StartedProcess(), 0);
  started.push_back(d.StartedProcess());
  ASSERT_TRUE(WaitFor([&] { return !MainProgramRun().empty(); }));
  std::string folderPath = folder.Path();
  folderPath.pop_back();
  EXPECT_EQ("\n" + folderPath + "\n", MainProgramRun()) << "no arguments, the program folder as working folder";
}

TEST_F(UpdateDialogTest, FailedRunsKeepTheInstalledRelease) {
  const std::string files = folder.Base() + "/update/files/";
  struct Case {
    const char* name;
    std::function<void(simhttp::SimHttpScenario&)> arrange;
    WString status;
    bool okEnabled;
    WString caption;
  } cases[] = {
      {"missing second file", [](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].status = 404; },
       Utf8ToWide(files + "updatelog.txt") + u"不存在！", false, u"完成(&O)"},
      {"status 500", [](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].status = 500; },
       u"更新失败，请点击更新重试！", true, u"更新(&U)"},
      {"cut short", [](simhttp::SimHttpScenario& s) { s.fileFaults["ZipPack.zip"].cutAfter = 50; },
       u"更新失败，请点击更新重试！", true, u"更新(&U)"},
      {"traversal",
       [&](simhttp::SimHttpScenario& s) {
         s.rawBody["update.ini"] = "[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.2_016\r\n[..\\x.txt]\r\nVERSION=2\r\nURL=" +
                                   files + "help.html\r\n";
       },
       u"更新失败：文件名..\\x.txt无效！", false, u"完成(&O)"},
      {"newer section without URL before a newer file",
       [&](simhttp::SimHttpScenario& s) {
         s.rawBody["update.ini"] = "[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.2_016\r\n[\\res\\a.png]\r\nVERSION=2\r\n"
                                   "[res\\updatelog.txt]\r\nVERSION=2\r\nURL=" + files + "updatelog.txt\r\n";
       },
       u"更新失败：\\res\\a.png没有下载地址！", false, u"完成(&O)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    simhttp::SimHttpScenario s;
    s.updateIni = simhttp::SimUpdateIni::kNewer;
    c.arrange(s);
    folder.Server().SetScenario(s);
    const auto before = folder.Files();
    Open();
    RunUpdateByOk();
    EXPECT_EQ(c.status, dlg->Status());
    EXPECT_EQ(c.okEnabled, Enabled(IDOK));
    EXPECT_EQ(c.caption, dlg->OkCaption());
    EXPECT_TRUE(Visible(IDCANCEL));
    EXPECT_EQ(0, dlg->ProgressBar().GetPos());
    EXPECT_EQ(before, folder.Files());
    EXPECT_TRUE(folder.Leftovers().empty());
    if (c.okEnabled) {
      // A second 更新 walks again and succeeds once the fault is gone.
      folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults.clear(); });
      RunUpdateByOk();
      EXPECT_EQ(u"完成更新！", dlg->Status());
      EXPECT_EQ(ServerFile("updatelog.txt"), folder.Read("res/updatelog.txt"));
      folder.Write("res/default_html/help.html", kOldHelp);
      folder.Write("res/updatelog.txt", kOldLog);
      folder.Write("update.ini", simhttp::BuildDemoSeedFiles().at("update.ini"));
      fs::remove(folder.Path() + "ZipPack.zip");
    }
    dlg->DestroyWindow();
  }
  EXPECT_FALSE(fs::exists(folder.Path() + "../x.txt"));
}

TEST_F(UpdateDialogTest, UnwritableFolderIsTold) {
  Newer();
  // The staged file's place is taken by a folder: nothing can be written
  // there, whoever runs the test.
  fs::create_directories(folder.Path() + "res/default_html/help.html.upg/x");
  const auto before = folder.Files();
  Open();
  RunUpdateByOk();
  ASSERT_EQ(1u, desk.Boxes().size());
  EXPECT_EQ(u"写文件" + Utf8ToWide(folder.Path()) + u"res/default_html/help.html错误！\n文件正在使用中，请先关闭程序！",
            desk.Boxes()[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONHAND), desk.Boxes()[0].type);
  EXPECT_EQ(before, folder.Files());
  EXPECT_TRUE(folder.FileRequests().empty()) << "nothing is fetched when nothing can be staged";
}

TEST_F(UpdateDialogTest, CancelDuringASlowDownloadEndsWithoutStarting) {
  Newer();
  InstallFakeMainProgram();
  folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].msPerKiB = 30000; });
  const auto before = folder.Files();
  CUpdateDlg& d = Make();
  desk.Until([&] { return d.m_hWnd && d.OkCaption() == u"更新(&U)"; });
  desk.Then([&] { ClickItem(IDOK); });
  const WString slowFile = u"正在下载文件：" + Utf8ToWide(folder.Base() + "/update/files/updatelog.txt");
  desk.Until([&] {
    const int done = d.ProgressBar().GetPos();
    // The first KiB of the slow file may arrive in pieces: wait for all of it.
    return d.Running() && d.Status() == slowFile && done >= 51 && done < 100;
  }, 20000);
  desk.Then([&] {
    Snap("update_dialog_downloading.png");
    EXPECT_EQ(51, d.ProgressBar().GetPos()) << "the first KiB of the log";
    ClickItem(IDCANCEL);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(IDCANCEL, d.DoModal());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ(0, d.StartedProcess());
  EXPECT_EQ(before, folder.Files());
  EXPECT_TRUE(folder.Leftovers().empty());
}

TEST_F(UpdateDialogTest, InstallerRunsInsteadOfTheMainProgram) {
  folder.Scenario([](simhttp::SimHttpScenario& s) { s.updateIni = simhttp::SimUpdateIni::kWithSetup; });
  InstallFakeMainProgram();
  CUpdateDlg& d = Make();
  desk.Until([&] { return d.m_hWnd && d.OkCaption() == u"更新(&U)"; });
  desk.Then([&] { ClickItem(IDOK); });
  EXPECT_EQ(IDOK, d.DoModal());
  ASSERT_GT(d.StartedProcess(), 0);
  started.push_back(d.StartedProcess());
  ASSERT_TRUE(WaitFor([&] { return folder.Read("setup-ran.txt") == "installed\n"; }));
  EXPECT_EQ(ServerFile("Setup.exe"), folder.Read("Setup.exe"));
  EXPECT_TRUE(MainProgramRun().empty());
  EXPECT_TRUE(folder.Leftovers().empty());
}

TEST_F(UpdateDialogTest, InterruptedSwapIsPutBackBeforeTheCheck) {
  folder.Write("res/updatelog.txt.old", kOldLog);
  folder.Write("res/updatelog.txt", "half-installed log");
  folder.Write("update.swap", "1 res/updatelog.txt\n");
  Open();
  EXPECT_EQ(kOldLog, folder.Read("res/updatelog.txt"));
  EXPECT_TRUE(folder.Leftovers().empty());
  EXPECT_EQ(u"您现在用的版本已是最新的！", dlg->Status());
}

TEST_F(UpdateDialogTest, RunningMainProgramIsAskedAboutAndEnded) {
  Newer();
  InstallFakeMainProgram();
  for (int answer : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(answer == IDOK ? "OK" : "Cancel");
    fs::remove(folder.Path() + "korvane-run.txt");
    ProcessStart start;
    start.exe = folder.Path() + "Korvane";
    start.args = {"--stay"};
    start.workDir = folder.Path();
    int pid = 0;
    ASSERT_TRUE(StartProcess(start, &pid));
    started.push_back(pid);
    ASSERT_TRUE(WaitFor([&] { return !MainProgramRun().empty(); }));
    desk.SetBoxAnswer(answer);
    const size_t boxes = desk.Boxes().size();
    Open();
    RunUpdateByOk();
    ASSERT_EQ(boxes + 1, desk.Boxes().size());
    EXPECT_EQ(u"Tamsel已在运行！\n请先关闭程序才能进行更新！\n如果选择确定将强行关闭程序！", desk.Boxes().back().text);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL), desk.Boxes().back().type);
    EXPECT_EQ(u"完成更新！", dlg->Status()) << "the run goes on either way";
    const bool gone = FindProgramProcess(folder.Path() + "Korvane") < 0;
    EXPECT_EQ(answer == IDOK, gone);
    dlg->DestroyWindow();
    folder.Write("update.ini", simhttp::BuildDemoSeedFiles().at("update.ini"));
  }
}

TEST_F(UpdateDialogTest, PaintingSplitsAtRow300WithTheSeparator) {
  Newer();
  Open();
  const QImage image = desk.Snapshot(dlg->m_hWnd);
  CRect client;
  dlg->GetClientRect(&client);
  ASSERT_EQ(client.Width(), image.width());
  const CRect cancel = ItemRect(IDCANCEL), ok = ItemRect(IDOK);
  const int x = (cancel.right + ok.left) / 2;
  for (int y : {ok.top, ok.CenterPoint().y, ok.bottom - 1}) {
    EXPECT_EQ(RGB(0x1F, 0x1F, 0x1F), At(image, x, y)) << "y " << y;
    EXPECT_EQ(RGB(0xA4, 0xA4, 0xA4), At(image, x + 1, y)) << "y " << y;
  }
  // The two pictures meet at row 300: each is stretched from its whole
  // picture, so their edge rows show there.
  QImage top(QString::fromStdString(folder.Path() + "res/update.png"));
  QImage bottom(QString::fromStdString(folder.Path() + "res/updateBG.png"));
  ASSERT_FALSE(top.isNull());
  ASSERT_FALSE(bottom.isNull());
  EXPECT_EQ(At(top, 2, top.height() - 1), At(image, 2, 299));
  EXPECT_EQ(At(bottom, 2, 0), At(image, 2, 300));
}

}  // namespace
