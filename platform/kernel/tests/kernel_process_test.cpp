#include "platform/kernel/kernel_process.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/kernel/tests/kernel_test_folder.h"

TEST(KernelProcess, SpawnPassesArgumentsAndFolderAndWaitGivesExitCode) {
  TestFolder dir;
  int pid = -1;
  ASSERT_TRUE(SpawnProcess("/bin/sh", {"-c", "printf '%s|' \"$@\" > args.txt; pwd > cwd.txt; exit 7", "sh", "a", "b c", ""},
                           dir.Path(), &pid));
  EXPECT_GT(pid, 0);
  int code = -1;
  ASSERT_TRUE(WaitProcess(pid, 10000, &code));
  EXPECT_EQ(code, 7);
  std::string text;
  ASSERT_TRUE(ReadWholeFile(dir / "args.txt", &text));
  EXPECT_EQ(text, "a|b c||");
  ASSERT_TRUE(ReadWholeFile(dir / "cwd.txt", &text));
  char real[PATH_MAX];
  ASSERT_NE(::realpath(dir.Path().c_str(), real), nullptr);
  EXPECT_EQ(text, std::string(real) + "\n");
  EXPECT_FALSE(WaitProcess(pid, 10, &code)) << "already reaped";
}

TEST(KernelProcess, SpawnFailuresLeavePidAlone) {
  TestFolder dir;
  int pid = 12345;
  EXPECT_FALSE(SpawnProcess(dir / "missing-program", {}, "", &pid));
  EXPECT_FALSE(SpawnProcess("no-such-program-anywhere", {}, "", &pid));
  EXPECT_FALSE(SpawnProcess("/bin/true", {}, dir / "no-such-folder", &pid));
  EXPECT_FALSE(SpawnProcess("", {}, "", &pid));
  EXPECT_EQ(pid, 12345);
  ASSERT_TRUE(SpawnProcess("true", {}, "", &pid)) << "found through PATH";
  int code = -1;
  ASSERT_TRUE(WaitProcess(pid, 10000, &code));
  EXPECT_EQ(code, 0);
}

TEST(KernelProcess, RunningProcessIsListedTimesOutAndTerminates) {
  int pid = -1;
  ASSERT_TRUE(SpawnProcess("/bin/sleep", {"30"}, "", &pid));
  int code = -1;
  ULONGLONG start = RealTickCount64();
  EXPECT_FALSE(WaitProcess(pid, 30, &code));
  EXPECT_GE(RealTickCount64() - start, 29u);
  EXPECT_EQ(code, -1);

  bool found = false;
  for (const ProcessInfo& p : ListProcesses()) {
    if (p.pid == ::getpid()) {
      EXPECT_EQ(p.exeName, "platform_kernel_tests");
    }
    if (p.pid != pid) continue;
    found = true;
    EXPECT_EQ(p.exeName, "sleep");
    EXPECT_EQ(p.parentPid, ::getpid());
  }
  EXPECT_TRUE(found);

  ASSERT_TRUE(TerminateProcessById(pid));
  ASSERT_TRUE(WaitProcess(pid, 10000, &code));
  EXPECT_EQ(code, 128 + 9);
}

TEST(KernelProcess, GuardsAgainstProcessGroupsAndMissingProcesses) {
  EXPECT_FALSE(TerminateProcessById(0)) << "would signal our own group";
  EXPECT_FALSE(TerminateProcessById(-1)) << "would signal every process";
  EXPECT_FALSE(WaitProcess(0, 10, nullptr));
  EXPECT_FALSE(WaitProcess(INT_MAX, 10, nullptr));
}

// Waiting for a process that is not our child (the updater waits for the
// main program this way): it ends, and the wait sees it end.
TEST(KernelProcess, WaitsForAProcessThatIsNotItsChild) {
  TestFolder dir;
  int shell = -1;
  // The shell starts a grandchild, writes its pid and exits; the grandchild
  // lives on briefly.
  ASSERT_TRUE(SpawnProcess("/bin/sh", {"-c", "sleep 0.3 & echo $! > pid.txt"}, dir.Path(), &shell));
  ASSERT_TRUE(WaitProcess(shell, 10000, nullptr));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(dir / "pid.txt", &text));
  int grandchild = std::atoi(text.c_str());
  ASSERT_GT(grandchild, 0);
  int code = 55;
  EXPECT_TRUE(WaitProcess(grandchild, 10000, &code));
  EXPECT_EQ(code, 55) << "not ours: no exit code";
}

TEST(KernelProcess, WebAddressesGoToTheOpenerAndOtherSchemesNowhere) {
  std::vector<std::u16string> opened;
  SetWebAddressOpenerForTesting([&](const std::u16string& a) {
    opened.push_back(a);
    return true;
  });
  EXPECT_TRUE(ShellOpenWebAddress(u"http://127.0.0.1:8889/order"));
  EXPECT_TRUE(ShellOpenWebAddress(u"https://example.test/a?b=1"));
  for (const char16_t* refused : {u"file:///etc/passwd", u"/usr/bin/xterm", u"", u"HTTP:/x"})
    EXPECT_FALSE(ShellOpenWebAddress(refused)) << WideToUtf8(refused);
  EXPECT_FALSE(ShellOpenWebAddress(nullptr));
  SetWebAddressOpenerForTesting(nullptr);
  EXPECT_EQ(opened, (std::vector<std::u16string>{u"http://127.0.0.1:8889/order", u"https://example.test/a?b=1"}));
}
