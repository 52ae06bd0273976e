// The update run without windows against the simulated brokerage: what is
// fetched, from where, what ends up in the program folder, and that every
// failure leaves the installed release exactly as it was.
#include "updater/update_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>

#include "platform/kernel/kernel_files.h"
#include "updater/tests/update_test_support.h"
#include "updater/update_file.h"

using namespace updatetest;

namespace {

namespace fs = std::filesystem;

TEST(UpdateRunNames, HttpAddresses) {
  struct Case {
    const char* address;
    bool ok;
    const char* host;
    int port;
    const char* object;
  } cases[] = {
      {"http://127.0.0.1:8889/update/update.ini", true, "127.0.0.1", 8889, "/update/update.ini"},
      {"HTTP://h/a/b?x=1", true, "h", 80, "/a/b?x=1"},
      {"http://h", true, "h", 80, "/"},
      {"http://h?q", true, "h", 80, "/?q"},
      {"ftp://h/update.ini", false, "", 0, ""},
      {"https://h/update.ini", false, "", 0, ""},
      {"http://", false, "", 0, ""},
      {"http://:80/x", false, "", 0, ""},
      {"http://h:0/x", false, "", 0, ""},
      {"http://h:65536/x", false, "", 0, ""},
      {"http://h:8a/x", false, "", 0, ""},
      {"http://user@h/x", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    HttpAddress a;
    ASSERT_EQ(c.ok, ParseHttpAddress(c.address, &a)) << c.address;
    if (!c.ok) continue;
    EXPECT_EQ(c.host, a.host) << c.address;
    EXPECT_EQ(c.port, a.port) << c.address;
    EXPECT_EQ(c.object, a.object) << c.address;
  }
  EXPECT_EQ("/update/files/help.html", FileObject("http://elsewhere.invalid:81/update/files/help.html"));
  EXPECT_EQ("relative/name", FileObject("relative/name"));
}

TEST(UpdateRunNames, SectionsArePathsBelowTheProgramFolder) {
  struct Case {
    const char* section;
    const char* relative;  // null: refused
  } cases[] = {
      {"res\\default_html\\help.html", "res/default_html/help.html"},
      {"ZipPack.zip", "ZipPack.zip"},
      {"res/a..b.txt", "res/a..b.txt"},
      {"..\\x.txt", nullptr},
      {"res\\..\\..\\x.txt", nullptr},
      {"\\etc\\x", nullptr},
      {"/etc/x", nullptr},
      {"C:\\x", nullptr},
      {"c:x", nullptr},
      {"", nullptr},
      {"res\\\\x", nullptr},
      {"res\\", nullptr},
      {"..", nullptr},
  };
  for (const Case& c : cases) {
    std::string relative;
    EXPECT_EQ(c.relative != nullptr, UpdateTargetName(c.section, &relative)) << c.section;
    if (c.relative) {
      EXPECT_EQ(c.relative, relative) << c.section;
    }
  }
}

// Records what the run reports; optionally sets the cancel flag when a
// given file starts.
class Recorder : public UpdateRunListener {
 public:
  void FileStarted(const std::string& address) override {
    std::lock_guard<std::mutex> hold(lock);
    started.push_back(address);
    if (!cancelAt.empty() && address.find(cancelAt) != std::string::npos) cancel->store(true);
  }
  void FileProgress(int percent) override {
    std::lock_guard<std::mutex> hold(lock);
    percents.push_back(percent);
  }
  void FileArrived(const std::string& address) override {
    std::lock_guard<std::mutex> hold(lock);
    arrived.push_back(address);
  }
  std::mutex lock;
  std::vector<std::string> started, arrived;
  std::vector<int> percents;
  std::string cancelAt;
  std::atomic<bool>* cancel = nullptr;
};

class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.Ok()); }

  // The version check's fetch, then the run.
  UpdateRunResult Run() {
    std::string version;
    EXPECT_EQ(VersionCheckResult::kNewer,
              CheckForNewVersion(folder.DescriptionAddress(), Description(), folder.Path() + "update.ini", "Tamsel",
                                 kDefaultClientVersion, Http(), &version));
    UpdateRunRequest request;
    request.programFolder = folder.Path();
    request.serverCopy = Description();
    request.serverBase = folder.Base();
    request.product = "Tamsel";
    request.http = Http();
    recorder.cancel = &cancel;
    return RunUpdate(request, &recorder, cancel);
  }
  std::string Description() const { return folder.TempPath() + "update.ini"; }
  static HttpDownloadSettings Http() {
    HttpDownloadSettings s;
    s.connectTimeoutMs = 2000;
    s.receiveTimeoutMs = 5000;
    return s;
  }
  void Newer() {
    folder.Scenario([](simhttp::SimHttpScenario& s) { s.updateIni = simhttp::SimUpdateIni::kNewer; });
  }
  // A description of the test's own, served verbatim.
  void Describe(const std::string& text) {
    folder.Scenario([&](simhttp::SimHttpScenario& s) { s.rawBody["update.ini"] = text; });
  }
  std::string FileUrl(const std::string& name) const { return folder.Base() + "/update/files/" + name; }

  TestInstall folder;
  Recorder recorder;
  std::atomic<bool> cancel{false};
};

TEST_F(UpdateRunTest, NewerReleaseReplacesOnlyTheNewerFiles) {
  Newer();
  const UpdateRunResult r = Run();
  ASSERT_EQ(UpdateOutcome::kDone, r.outcome);
  EXPECT_FALSE(r.installer);
  EXPECT_EQ((std::vector<std::string>{"/update/files/help.html", "/update/files/updatelog.txt",
                                      "/update/files/ZipPack.zip"}),
            folder.FileRequests());
  EXPECT_EQ(ServerFile("help.html"), folder.Read("res/default_html/help.html"));
  EXPECT_EQ(ServerFile("updatelog.txt"), folder.Read("res/updatelog.txt"));
  EXPECT_EQ(ServerFile("ZipPack.zip"), folder.Read("ZipPack.zip"));
  std::string served;
  ReadWholeFile(Description(), &served);
  EXPECT_EQ(served, folder.Read("update.ini"));
  EXPECT_TRUE(folder.Leftovers().empty());
  EXPECT_EQ(3u, recorder.arrived.size());
  ASSERT_FALSE(recorder.percents.empty());
  EXPECT_EQ(100, recorder.percents.back());
}

TEST_F(UpdateRunTest, FilesComeFromTheDescriptionsServerByTheirPath) {
  // One address names another host and port; one file has no length.
  Describe("[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.2_016\r\n"
           "[res\\default_html\\help.html]\r\nVERSION=1.0.0.002\r\n"
           "URL=http://elsewhere.invalid:81/update/files/help.html\r\n"
           "[res\\new\\updatelog.txt]\r\nVERSION=1.0.0.002\r\nURL=" +
           FileUrl("updatelog.txt") + "\r\n");
  folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].noLength = true; });
  const UpdateRunResult r = Run();
  ASSERT_EQ(UpdateOutcome::kDone, r.outcome);
  EXPECT_EQ(ServerFile("help.html"), folder.Read("res/default_html/help.html"));
  EXPECT_EQ(ServerFile("updatelog.txt"), folder.Read("res/new/updatelog.txt")) << "a new folder is made";
  EXPECT_EQ(kOldLog, folder.Read("res/updatelog.txt"));
  EXPECT_TRUE(folder.Leftovers().empty());
}

TEST_F(UpdateRunTest, NoInstalledDescriptionGetsTheServersCopy) {
  Newer();
  fs::remove(folder.Path() + "update.ini");
  ASSERT_EQ(UpdateOutcome::kDone, Run().outcome);
  std::string served;
  ReadWholeFile(Description(), &served);
  EXPECT_EQ(served, folder.Read("update.ini"));
}

TEST_F(UpdateRunTest, InstallerArrivesExecutable) {
  folder.Scenario([](simhttp::SimHttpScenario& s) { s.updateIni = simhttp::SimUpdateIni::kWithSetup; });
  const UpdateRunResult r = Run();
  ASSERT_EQ(UpdateOutcome::kDone, r.outcome);
  EXPECT_TRUE(r.installer);
  EXPECT_EQ(ServerFile("Setup.exe"), folder.Read("Setup.exe"));
  EXPECT_EQ(0, ::access((folder.Path() + "Setup.exe").c_str(), X_OK));
}

// Every row fails the run and leaves every file of the installed release as
// it was, with nothing staged left behind.
TEST_F(UpdateRunTest, AFailedRunLeavesTheInstalledReleaseAlone) {
  const std::string head = "[Tamsel]\r\nVERSION=tq_winpc_tqx1_1.0.0.2_016\r\n";
  auto fileSection = [&](const std::string& section, const std::string& name) {
    return "[" + section + "]\r\nVERSION=1.0.0.002\r\nURL=" + FileUrl(name) + "\r\n";
  };
  struct Case {
    const char* name;
    std::function<void()> arrange;
    UpdateOutcome outcome;
    std::string detail;  // address, section or path the result names
  } cases[] = {
      {"the second file is missing",
       [&] {
         Newer();
         folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].status = 404; });
       },
       UpdateOutcome::kMissingFile, FileUrl("updatelog.txt")},
      {"the second file answers 500",
       [&] {
         Newer();
         folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].status = 500; });
       },
       UpdateOutcome::kFailed, FileUrl("updatelog.txt")},
      {"the package is cut short",
       [&] {
         Newer();
         folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults["ZipPack.zip"].cutAfter = 100; });
       },
       UpdateOutcome::kFailed, FileUrl("ZipPack.zip")},
      {"a section climbs out of the folder",
       [&] { Describe(head + fileSection("res\\updatelog.txt", "updatelog.txt") + fileSection("..\\x.txt", "help.html")); },
       UpdateOutcome::kBadName, "..\\x.txt"},
      {"an absolute section", [&] { Describe(head + fileSection("\\etc\\x", "help.html")); },
       UpdateOutcome::kBadName, "\\etc\\x"},
      {"a drive letter", [&] { Describe(head + fileSection("C:\\x", "help.html")); }, UpdateOutcome::kBadName,
       "C:\\x"},
      {"a newer section without URL before a newer file",
       [&] {
         Describe(head + "[\\res\\a.png]\r\nVERSION=1.0.0.002\r\n" +
                  fileSection("res\\default_html\\help.html", "help.html"));
       },
       UpdateOutcome::kNoAddress, "\\res\\a.png"},
      {"the folder takes no new file",
       [&] {
         Newer();
         fs::create_directories(folder.Path() + "res/updatelog.txt.upg/x");
       },
       UpdateOutcome::kWriteError, folder.Path() + "res/updatelog.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Server().SetScenario(simhttp::SimHttpScenario());
    folder.Server().ClearRequests();
    c.arrange();
    auto before = folder.Files();
    const UpdateRunResult r = Run();
    EXPECT_EQ(c.outcome, r.outcome);
    const std::string detail = !r.path.empty() ? r.path : !r.section.empty() ? r.section : r.address;
    EXPECT_EQ(c.detail, detail);
    EXPECT_EQ(before, folder.Files());
    EXPECT_EQ(kOldHelp, folder.Read("res/default_html/help.html"));
    EXPECT_EQ(kOldLog, folder.Read("res/updatelog.txt"));
    fs::remove_all(folder.Path() + "res/updatelog.txt.upg");
    EXPECT_TRUE(folder.Leftovers().empty());
  }
  EXPECT_FALSE(fs::exists(folder.Path() + "../x.txt"));
}

TEST_F(UpdateRunTest, CancelDuringASlowFileReplacesNothing) {
  Newer();
  folder.Scenario([](simhttp::SimHttpScenario& s) { s.fileFaults["updatelog.txt"].msPerKiB = 20000; });
  recorder.cancelAt = "updatelog.txt";
  const auto before = folder.Files();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(UpdateOutcome::kCancelled, Run().outcome);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << "not the whole slow file";
  EXPECT_EQ(before, folder.Files());
  EXPECT_TRUE(folder.Leftovers().empty());
}

TEST_F(UpdateRunTest, ASwapThatFailsPutsTheFirstFilesBack) {
  Newer();
  // The second target is a folder with something in it: it cannot become a file.
  fs::remove(folder.Path() + "res/updatelog.txt");
  folder.Write("res/updatelog.txt/keep.txt", "kept");
  const auto before = folder.Files();
  const UpdateRunResult r = Run();
  EXPECT_EQ(UpdateOutcome::kSwapFailed, r.outcome);
  EXPECT_EQ(folder.Path() + "res/updatelog.txt", r.path);
  EXPECT_EQ(before, folder.Files());
  EXPECT_EQ(kOldHelp, folder.Read("res/default_html/help.html"));
  EXPECT_TRUE(folder.Leftovers().empty());
}

TEST_F(UpdateRunTest, AnInterruptedSwapIsPutBack) {
  // As a run killed in the middle of its swap leaves it: help.html swapped
  // (old copy kept), the package moved in where none was, the log not yet.
  folder.Write("res/default_html/help.html.old", kOldHelp);
  folder.Write("res/default_html/help.html", "new help");
  folder.Write("ZipPack.zip", "new package");
  folder.Write("res/updatelog.txt.upg", "new log");
  folder.Write("update.swap",
               "1 res/default_html/help.html\n0 ZipPack.zip\n1 res/updatelog.txt\n1 ../outside.txt\n1 /etc/passwd\n");
  EXPECT_EQ(1, RestoreInterruptedSwap(folder.Path()));
  EXPECT_EQ(kOldHelp, folder.Read("res/default_html/help.html"));
  EXPECT_EQ(kOldLog, folder.Read("res/updatelog.txt"));
  EXPECT_FALSE(folder.Exists("ZipPack.zip"));
  EXPECT_TRUE(folder.Leftovers().empty());
  EXPECT_EQ(0, RestoreInterruptedSwap(folder.Path())) << "nothing to do without a journal";
}

TEST_F(UpdateRunTest, VersionCheck) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string current;
    VersionCheckResult result;
    std::string version;
  } cases[] = {
      {"newer", [&] { Newer(); }, kDefaultClientVersion, VersionCheckResult::kNewer, "tq_winpc_tqx1_1.0.0.2_016"},
      {"current", [] {}, kDefaultClientVersion, VersionCheckResult::kUpToDate, kDefaultClientVersion},
      {"no product VERSION", [&] { Describe("[Tamsel]\r\nMINVER=1.0.0.001\r\n"); }, "1",
       VersionCheckResult::kUpToDate, ""},
      {"byte order: 1.0.0.10 before 1.0.0.9", [&] { Describe("[Tamsel]\r\nVERSION=1.0.0.10\r\n"); }, "1.0.0.9",
       VersionCheckResult::kUpToDate, "1.0.0.10"},
      {"compulsory with an equal VERSION",
       [&] { Describe("[Tamsel]\r\nVERSION=1.0.0.9\r\nMINVER=1.0.0.002\r\n"); }, "1.0.0.9",
       VersionCheckResult::kNewer, "1.0.0.9"},
      {"status 500",
       [&] { folder.Scenario([](simhttp::SimHttpScenario& s) { s.status["update.ini"] = 500; }); },
       kDefaultClientVersion, VersionCheckResult::kConnectFailed, ""},
      {"refused", [&] { folder.Server().SetSiteListening(0, false); }, kDefaultClientVersion,
       VersionCheckResult::kConnectFailed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Server().SetScenario(simhttp::SimHttpScenario());
    c.arrange();
    std::string version = "sentinel";
    EXPECT_EQ(c.result, CheckForNewVersion(folder.DescriptionAddress(), Description(), folder.Path() + "update.ini",
                                           "Tamsel", c.current, Http(), &version));
    EXPECT_EQ(c.version, version);
  }
}

}  // namespace
