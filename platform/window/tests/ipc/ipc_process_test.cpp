// Starting the user's programs, reaping them, the instance lock, the port
// folder's checks and message boxes of child processes.
#include "platform/window/tests/ipc/ipc_fixture.h"

#include "platform/kernel/kernel_thread.h"

#include <unistd.h>

#include <algorithm>

namespace {

bool Listed(int pid) {
  auto all = ListProcesses();
  return std::any_of(all.begin(), all.end(), [&](const ProcessInfo& p) { return p.pid == pid; });
}

}  // namespace

TEST_F(IpcTest, AStartHandsOverArgumentsFolderEnvironmentAndThePort) {
  TestDesktop desk;
  Peer p = Start("report", {"report", "a b", "", "c"}, {"ORV_PEER_X=额外的值"}, logs_);
  ASSERT_GT(p.pid, 0);
  EXPECT_NE(p.thread, 0u);
  int code = -1;
  ASSERT_TRUE(WaitProcess(p.pid, 10000, &code));
  EXPECT_EQ(code, 5);
  std::string log = Log(p);
  std::string folder = logs_.substr(0, logs_.size() - 1);
  EXPECT_NE(log.find("args a b||c|\n"), std::string::npos) << log;
  EXPECT_NE(log.find("cwd " + folder + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("env 额外的值\n"), std::string::npos) << log;
  EXPECT_NE(log.find("joined 1\n"), std::string::npos) << "the child joined its parent's folder: " << log;

  int pid = 0;
  DWORD thread = 0;
  EXPECT_FALSE(StartProcessWithPort(ProcessStart{logs_ + "missing", {}, "", {}, -1}, &pid, &thread));
  EXPECT_FALSE(StartProcessWithPort(ProcessStart{IPC_PEER, {}, logs_ + "no-folder", {}, -1}, &pid, &thread));
  EXPECT_EQ(pid, 0);
}

TEST_F(IpcTest, ChildrenNobodyWaitsForAreReapedAndKeepTheirExitCode) {
  int pid = 0;
  ASSERT_TRUE(SpawnProcess("/bin/sh", {"-c", "exit 4"}, "", &pid));
  // A zombie would stay in the process list until someone waited.
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    gone = !Listed(pid);
    if (!gone) ::usleep(10000);
  }
  EXPECT_TRUE(gone);
  int code = -1;
  EXPECT_TRUE(WaitProcess(pid, 1000, &code));
  EXPECT_EQ(code, 4);
  EXPECT_FALSE(WaitProcess(pid, 0, &code)) << "one wait per exit code";

  int sleeper = 0;
  ASSERT_TRUE(SpawnProcess("/bin/sleep", {"30"}, "", &sleeper));
  ULONGLONG t0 = RealTickCount64();
  EXPECT_TRUE(TerminateProcessById(sleeper));
  EXPECT_LT(RealTickCount64() - t0, 500u) << "the caller does not wait for the reaping";
  gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    gone = !Listed(sleeper);
    if (!gone) ::usleep(10000);
  }
  EXPECT_TRUE(gone);
  EXPECT_TRUE(WaitProcess(sleeper, 1000, &code));
  EXPECT_EQ(code, 128 + 9);
}

TEST_F(IpcTest, ShellExecuteSplitsParametersAndNamesTheProcess) {
  TestDesktop desk;
  std::string log = logs_ + "shell.log";
  ::setenv("ORV_PEER_LOG", log.c_str(), 1);
  WString file = Utf8ToWide(IPC_PEER), params = u" report \"two words\" three", dir = Utf8ToWide(logs_);
  SHELLEXECUTEINFOW info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = file.c_str();
  info.lpParameters = params.c_str();
  info.lpDirectory = dir.c_str();
  info.nShow = SW_SHOW;
  ASSERT_TRUE(ShellExecuteExW(&info));
  ::unsetenv("ORV_PEER_LOG");
  int pid = ProcessIdOfHandle(info.hProcess);
  ASSERT_GT(pid, 0);
  int code = -1;
  ASSERT_TRUE(WaitProcess(pid, 10000, &code));
  EXPECT_EQ(code, 5);
  std::string text;
  ReadWholeFile(log, &text);
  EXPECT_NE(text.find("args two words|three|\n"), std::string::npos) << text;

  WString missing = Utf8ToWide(logs_ + "nothing-here");
  SHELLEXECUTEINFOW bad;
  bad.lpFile = missing.c_str();
  SetLastError(0);
  EXPECT_FALSE(ShellExecuteExW(&bad));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(IpcTest, TheInstanceLockIsHeldWhileItsHolderLives) {
  TestDesktop desk;
  Peer first = Start("lock1", {"lock", "korvane"});
  ASSERT_TRUE(WaitLog(desk, first, "lock "));
  EXPECT_EQ(Log(first), "lock 1\n");
  Peer second = Start("lock2", {"lock", "korvane"});
  ASSERT_TRUE(WaitLog(desk, second, "lock "));
  EXPECT_EQ(Log(second), "lock 0\n");
  EXPECT_FALSE(ClaimInstanceLock("korvane")) << "nor this process";
  ASSERT_TRUE(TerminateProcessById(first.pid));
  ASSERT_TRUE(WaitProcess(first.pid, 5000, nullptr));
  Peer third = Start("lock3", {"lock", "korvane"});
  ASSERT_TRUE(WaitLog(desk, third, "lock "));
  EXPECT_EQ(Log(third), "lock 1\n") << "released by the kernel when the holder was killed";
}

TEST_F(IpcTest, AnUnsafePortFolderTurnsCrossProcessCallsOff) {
  TestDesktop desk;
  std::string open = logs_ + "open", link = logs_ + "link", foreign = logs_ + "foreign";
  ASSERT_TRUE(CreateFolder(open));
  ::chmod(open.c_str(), 0755);
  ASSERT_EQ(::symlink(Folder().c_str(), link.c_str()), 0);
  std::vector<std::string> bad{open, link};
  if (::geteuid() == 0) {
    ASSERT_TRUE(CreateFolder(foreign));
    ::chmod(foreign.c_str(), 0700);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    bad.push_back(foreign);
  }
  for (const std::string& folder : bad) {
    std::string why;
    EXPECT_FALSE(IsPrivateFolder(folder, &why)) << folder;
    EXPECT_FALSE(why.empty());
    // A program told to use it still runs, alone.
    int pid = 0;
    std::string log = logs_ + "refused.log";
    DeleteFileAt(log);
    ASSERT_TRUE(StartProcess(ProcessStart{IPC_PEER, {"report"}, "", {"ORV_PORT_FOLDER=" + folder, "ORV_PEER_LOG=" + log}, -1},
                             &pid));
    int code = -1;
    ASSERT_TRUE(WaitProcess(pid, 10000, &code));
    EXPECT_EQ(code, 5);
    std::string text;
    ReadWholeFile(log, &text);
    EXPECT_NE(text.find("joined 0\n"), std::string::npos) << folder << ": " << text;
  }
  EXPECT_TRUE(IsPrivateFolder(Folder(), nullptr));
}

TEST_F(IpcTest, AChildsMessageBoxesAreRecordedAndAnswered) {
  TestDesktop desk;
  Peer p = Start("box", {"box"}, {"ORV_TEST_BOXES=boxes.txt", "ORV_TEST_BOX_ANSWER=7"}, logs_);
  ASSERT_TRUE(WaitLog(desk, p, "answer"));
  EXPECT_EQ(Log(p), "answer 7\n");
  std::string boxes;
  ASSERT_TRUE(ReadWholeFile(logs_ + "boxes.txt", &boxes)) << "counted from the folder the child started in";
  EXPECT_EQ(boxes, "标题\t文本\\n第二行\t4\n");
}
