// The program `Update` started as a process (its arguments and boxes), and
// the update end to end with the build's real main program: after the run
// OK starts it from the program folder, and its start-up unpacks the
// package the run brought.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_process.h"
#include "platform/window/win_desktop.h"
#include "updater/tests/update_test_support.h"
#include "updater/update_dialog.h"
#include "updater/update_file.h"

using namespace updatetest;

namespace {

namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 30000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return true;
}

class UpdateProgramTest : public ::testing::Test {
 protected:
  // Runs the program with args; its exit code, -1 when it had to be ended.
  int Run(const std::vector<std::string>& args) {
    ProcessStart start;
    start.exe = ORV_UPDATE_PROGRAM;
    start.args = args;
    start.workDir = temp.Path();
    start.env = {"QT_QPA_PLATFORM=offscreen", "ORV_TEST_BOXES=" + temp.Path() + "boxes.txt"};
    int pid = 0;
    EXPECT_TRUE(StartProcess(start, &pid));
    int code = -1;
    if (!WaitProcess(pid, 60000, &code)) {
      TerminateProcessById(pid);
      WaitProcess(pid, 10000, nullptr);
      return -1;
    }
    return code;
  }
  std::string Boxes() const {
    std::string text;
    ReadWholeFile(temp.Path() + "boxes.txt", &text);
    return text;
  }
  orvtest::TempFolder temp;
};

TEST_F(UpdateProgramTest, ArgumentsDecideWhetherItRuns) {
  EXPECT_EQ(0, Run({"Tamsel", "tq_winpc_tqx1_1.0.0.1_016"}));
  EXPECT_EQ("", Boxes()) << "fewer than three arguments: nothing shown";
  EXPECT_EQ(0, Run({"Tamsel", "tq_winpc_tqx1_1.0.0.1_016", "ftp://h/update.ini"}));
  EXPECT_NE(std::string::npos, Boxes().find("\t版本文件URL应以http://开头!\t16")) << Boxes();
}

class UpdateEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.Ok());
    orvtest::UseProgramFonts();
  }
  void TearDown() override {
    for (int pid : started)
      if (TerminateProcessById(pid)) WaitProcess(pid, 10000, nullptr);
  }
  TestInstall folder;
  CWinApp app;
  TestDesktop desk;
  std::vector<int> started;
};

// The real main program in the temporary program folder: its file copied
// there, the shared libraries beside it linked from the build.
TEST_F(UpdateEndToEndTest, TheRestartedMainProgramUnpacksThePackage) {
  const fs::path build = fs::path(ORV_KORVANE).parent_path();
  fs::copy_file(ORV_KORVANE, folder.Path() + "Korvane");
  for (const auto& entry : fs::directory_iterator(build)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("lib", 0) == 0 && name.find(".so") != std::string::npos)
      fs::create_symlink(entry.path(), folder.Path() + name);
  }
  folder.Scenario([](simhttp::SimHttpScenario& s) { s.updateIni = simhttp::SimUpdateIni::kNewer; });
  const std::string oldPop = folder.Read("res/default_html/pop.html");
  int found = 0;
  const std::string package = simhttp::UpdateFileContent("ZipPack.zip", &found);
  ASSERT_NE(std::string::npos, package.find("暂无消息")) << "the package's pop.html differs from the installed one";

  CUpdateDlg dlg("Tamsel", kDefaultClientVersion, folder.DescriptionAddress(), folder.Path());
  HttpDownloadSettings http;
  http.connectTimeoutMs = 2000;
  http.receiveTimeoutMs = 5000;
  dlg.SetHttpSettings(http);
  auto click = [&](int id) {
    CRect r;
    ::GetWindowRect(::GetDlgItem(dlg.m_hWnd, id), &r);
    ::ScreenToClient(dlg.m_hWnd, reinterpret_cast<POINT*>(&r.left));
    ::ScreenToClient(dlg.m_hWnd, reinterpret_cast<POINT*>(&r.right));
    desk.Click(dlg.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  };
  desk.Until([&] { return dlg.m_hWnd && dlg.OkCaption() == u"更新(&U)"; });
  desk.Then([&] { click(IDOK); });
  desk.Until([&] { return !dlg.Running() && dlg.Status() == u"完成更新！"; }, 30000);
  desk.Then([&] {
    EXPECT_TRUE(folder.Exists("ZipPack.zip"));
    // The started program gets a message-port folder, a data root and a
    // server-list port of its own (nobody listens on port 1).
    fs::create_directories(folder.Path() + "../ports");
    fs::permissions(folder.Path() + "../ports", fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("ORV_PORT_FOLDER", (folder.Path() + "../ports").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder.Path() + "../data").c_str(), 1);
    ::setenv("ORV_TEST_SERVER_LIST_PORT", "1", 1);
    ::setenv("ORV_TEST_BOXES", (folder.Path() + "../boxes.txt").c_str(), 1);
    click(IDOK);
  });
  const INT_PTR result = dlg.DoModal();
  ::unsetenv("ORV_PORT_FOLDER");
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("ORV_TEST_SERVER_LIST_PORT");
  ::unsetenv("ORV_TEST_BOXES");
  EXPECT_EQ(IDOK, result);
  EXPECT_FALSE(desk.StepsTimedOut());
  ASSERT_GT(dlg.StartedProcess(), 0);
  started.push_back(dlg.StartedProcess());
  // Its start-up unpacks the package and deletes it.
  EXPECT_TRUE(WaitFor([&] { return !folder.Exists("ZipPack.zip"); }, 60000));
  const std::string pop = folder.Read("res/default_html/pop.html");
  EXPECT_NE(oldPop, pop);
  EXPECT_NE(std::string::npos, pop.find("暂无消息"));
  EXPECT_EQ("Orvenna证券VIP终端 1.0.0.2\r\n", folder.Read("readme.txt"));
  EXPECT_TRUE(folder.Leftovers().empty());
}

}  // namespace
