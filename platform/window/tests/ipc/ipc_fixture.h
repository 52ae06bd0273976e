// The tests' side of windows between processes: one port folder of their
// own for the test process, peers started from it and ended after each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_desktop.h"
#include "platform/window/win_user.h"

class IpcTest : public ::testing::Test {
 protected:
  // The test process joins once, in a fresh 0700 folder, with a short send
  // time-out so that failures show quickly.
  static void SetUpTestSuite() {
    if (!Folder().empty()) return;
    std::string pattern = (std::filesystem::temp_directory_path() / "orvipc-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    ::chmod(pattern.c_str(), 0700);
    Folder() = pattern + "/";
    ASSERT_TRUE(JoinMessagePorts(Folder()));
    SetCrossProcessSendTimeout(300);
  }
  static std::string& Folder() {
    static std::string folder;
    return folder;
  }

  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvipclog-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    logs_ = pattern + "/";
    SetCrossProcessSendTimeout(300);
  }
  void TearDown() override {
    for (int pid : pids_) {
      TerminateProcessById(pid);
      WaitProcess(pid, 5000, nullptr);
    }
    std::error_code ignored;
    std::filesystem::remove_all(logs_, ignored);
  }

  struct Peer {
    int pid = 0;
    DWORD thread = 0;
    std::string log;
  };
  // Starts ipc_peer with args; its log is <logs>/<name>.log.
  Peer Start(const std::string& name, std::vector<std::string> args, std::vector<std::string> env = {},
             const std::string& workDir = "") {
    Peer p;
    p.log = logs_ + name + ".log";
    env.push_back("ORV_PEER_LOG=" + p.log);
    EXPECT_TRUE(StartProcessWithPort(ProcessStart{IPC_PEER, std::move(args), workDir, env, -1}, &p.pid, &p.thread))
        << name;
    if (p.pid > 0) pids_.push_back(p.pid);
    return p;
  }
  static std::string Log(const Peer& p) {
    std::string text;
    ReadWholeFile(p.log, &text);
    return text;
  }
  static int Lines(const Peer& p, const std::string& prefix) {
    std::string text = Log(p);
    int n = 0;
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) break;
      if (text.compare(at, prefix.size(), prefix) == 0) ++n;
      at = end + 1;
    }
    return n;
  }
  // Waits (running this process's queue) until the log has a line starting
  // with prefix.
  bool WaitLog(TestDesktop& desk, const Peer& p, const std::string& prefix, DWORD ms = 10000) {
    return desk.RunUntil([&] { return Lines(p, prefix) > 0; }, ms);
  }
  // A peer window with the title, found by this process.
  HWND StartWindow(TestDesktop& desk, const std::string& name, const WString& title, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"window", WideToUtf8(title)};
    args.insert(args.end(), more.begin(), more.end());
    Peer p = Start(name, args);
    last_ = p;
    HWND found = nullptr;
    desk.RunUntil([&] { return Lines(p, "ready") > 0; }, 10000);
    // A starved peer may miss one search's answer window: ask again until
    // it answers (or the bound passes).
    desk.RunUntil([&] { return (found = FindWindowW(nullptr, title.c_str())) != nullptr; }, 10000);
    return found;
  }

  std::string logs_;
  std::vector<int> pids_;
  Peer last_;
};
