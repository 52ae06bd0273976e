// The browser program's tests: the test process acts as the main program's
// helper (a host window with a slot, a notify window that records every
// report), starts the real Brisel offscreen with the sandbox and the GPU
// off, and serves the pages from the simulated brokerage on loopback.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browser/brisel_catalogue.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "tools/simbroker/http/sim_http_services.h"

// Records what a browser reports.
class Notify : public CWnd {
 public:
  struct Report {
    UINT msg;
    WPARAM w;
    LPARAM l;
    std::uintptr_t type;  // records: the type
    std::string text;     // records: UTF-8 (record 2 as sent, the others converted)
  };
  std::vector<Report> reports;
  // Answer to the records (1 unless a test wants to see the browser wait).
  std::function<void(const Report&)> onRecord;

  std::vector<Report> Records(std::uintptr_t type) const {
    std::vector<Report> out;
    for (const Report& r : reports)
      if (r.msg == WM_COPYDATA && r.type == type) out.push_back(r);
    return out;
  }
  std::vector<Report> Posts(UINT msg) const {
    std::vector<Report> out;
    for (const Report& r : reports)
      if (r.msg == msg) out.push_back(r);
    return out;
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_COPYDATA) {
      auto* record = reinterpret_cast<const COPYDATASTRUCT*>(l);
      Report r{msg, w, l, record->dwData, ""};
      if (record->dwData == BRISEL_COPY_WEB_COMMAND)
        r.text.assign(static_cast<const char*>(record->lpData), record->cbData);
      else
        r.text = WideToUtf8(RecordText(record->lpData, record->cbData));
      reports.push_back(r);
      if (onRecord) onRecord(r);
      return 1;
    }
    if (msg == BRISEL_MSG_VIEW_READY || msg == BRISEL_MSG_KEY || msg == BRISEL_MSG_CLOSED) {
      reports.push_back(Report{msg, w, l, 0, ""});
      return 1;
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

class BriselProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Server()) {
      std::string pattern = (std::filesystem::temp_directory_path() / "orvbrp-XXXXXX").string();
      ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
      ::chmod(pattern.c_str(), 0700);
      ASSERT_TRUE(JoinMessagePorts(pattern + "/"));
      simhttp::SimHttpOptions options;
      options.port = 0;
      options.historyPort = 0;
      Server() = new simhttp::SimHttpServer(options);
      ASSERT_EQ(Server()->Start(), 1);
    }
  }
  static simhttp::SimHttpServer*& Server() {
    static simhttp::SimHttpServer* server = nullptr;
    return server;
  }
  static std::string Base() { return Server()->BaseUrl(); }

  void SetUp() override {
    SetCrossProcessSendTimeout(10000);
    std::string pattern = (std::filesystem::temp_directory_path() / "orvbrplog-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern + "/";
    host_.CreateEx(0, nullptr, u"host", WS_POPUP | WS_VISIBLE, CRect(0, 0, 900, 700), nullptr, 0);
    slot_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 810, 610), &host_, 1);
    notify_.CreateEx(0, nullptr, u"notify", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0);
    Server()->ClearRequests();
  }
  void TearDown() override {
    if (pid_ > 0) {
      TerminateProcessById(pid_);
      WaitProcess(pid_, 10000, nullptr);
      EXPECT_TRUE(NoEngineProcessOf(pid_)) << "an engine process outlived its browser";
    }
    notify_.DestroyWindow();
    slot_.DestroyWindow();
    host_.DestroyWindow();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Starts Brisel on the address with the rectangle; extra environment.
  void Launch(const std::string& address, BriselRect rect = BriselRect{0, 0, 800, 600},
              std::vector<std::string> env = {}) {
    env.push_back("BRISEL_NO_SANDBOX=1");
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("BRISEL_TOKEN_HOST=127.0.0.1:" + std::to_string(Server()->Port()));
    env.push_back("ORV_TEST_BOXES=" + folder_ + "boxes.txt");
    bool haveProxy = false;
    for (const std::string& e : env) haveProxy |= e.rfind("BRISEL_PROXY=", 0) == 0;
    if (!haveProxy) env.push_back("BRISEL_PROXY=");
    ProcessStart start{BRISEL_PROGRAM, BuildBriselArgs(address, rect), "", env, -1};
    ASSERT_TRUE(StartProcessWithPort(start, &pid_, &thread_));
  }
  void Attach() {
    ASSERT_TRUE(::PostThreadMessageW(thread_, BRISEL_MSG_ATTACH, reinterpret_cast<WPARAM>(slot_.GetSafeHwnd()),
                                     reinterpret_cast<LPARAM>(notify_.GetSafeHwnd())));
  }
  // Launch, attach and wait for the ready report; the view window.
  HWND StartReady(const std::string& address, std::vector<std::string> env = {}) {
    Launch(address, BriselRect{0, 0, 800, 600}, env);
    Attach();
    EXPECT_TRUE(WaitFor([&] { return !notify_.Posts(BRISEL_MSG_VIEW_READY).empty(); }));
    if (notify_.Posts(BRISEL_MSG_VIEW_READY).empty()) return nullptr;
    view_ = reinterpret_cast<HWND>(notify_.Posts(BRISEL_MSG_VIEW_READY)[0].w);
    return view_;
  }
  bool WaitFor(const std::function<bool()>& pred, DWORD ms = 30000) { return desk_.RunUntil(pred, ms); }

  LRESULT Send(std::uintptr_t type, const std::string& utf8) {
    std::u16string text = Utf8ToWide(utf8);
    COPYDATASTRUCT record{type, static_cast<DWORD>(text.size() * 2), text.data()};
    return ::SendMessageW(view_, WM_COPYDATA, reinterpret_cast<WPARAM>(notify_.GetSafeHwnd()),
                          reinterpret_cast<LPARAM>(&record));
  }
  LRESULT Navigate(const std::string& address) { return Send(BRISEL_COPY_NAVIGATE, address); }
  LRESULT Call(const std::string& name) { return Send(BRISEL_COPY_CALL_SCRIPT, name); }

  std::vector<simhttp::SimRequestRecord> RequestsFor(const std::string& path) const {
    std::vector<simhttp::SimRequestRecord> out;
    for (const auto& r : Server()->Requests())
      if (r.path == path) out.push_back(r);
    return out;
  }
  bool WaitRequest(const std::string& path, size_t count = 1) {
    return WaitFor([&] { return RequestsFor(path).size() >= count; });
  }
  // Waits until a page function exists (the page has loaded its script).
  bool WaitScriptReady(const std::string& name = "Ping") {
    return WaitFor([&] { return Call(name) == 1; });
  }

  // No process of the web engine whose parent is the ended browser remains.
  static bool NoEngineProcessOf(int pid) {
    for (int i = 0; i < 100; ++i) {
      bool found = false;
      for (const ProcessInfo& p : ListProcesses())
        if (p.parentPid == pid) found = true;
      if (!found) return true;
      Sleep(100);
    }
    return false;
  }

  TestDesktop desk_;
  CWnd host_;
  CWnd slot_;
  Notify notify_;
  HWND view_ = nullptr;
  int pid_ = 0;
  DWORD thread_ = 0;
  std::string folder_;
};
