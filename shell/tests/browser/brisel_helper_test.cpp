// The browser helper against the stub browser (brisel_stub.cpp): the start
// and attach, the values kept until ready, the records turned into owner
// messages, termination, and the slot the browser's view lives in.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "browser/brisel_catalogue.h"
#include "controls/control_messages.h"
#include "foundation/config_store.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_desktop.h"
#include "shell/brisel_helper.h"

namespace {

// Records every notification; frees the copies it is given, as the frame
// does.
class Owner : public CWnd {
 public:
  struct Note {
    UINT msg;
    WPARAM w;
    LPARAM l;
    std::string text;
  };
  std::vector<Note> notes;
  std::vector<Note> Of(UINT msg) const {
    std::vector<Note> out;
    for (const Note& n : notes)
      if (n.msg == msg) out.push_back(n);
    return out;
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    switch (msg) {
      case WM_WEB_COMMAND: {
        char* text = reinterpret_cast<char*>(w);
        notes.push_back({msg, w, l, text});
        delete[] text;
        return 1;
      }
      case WM_OAUTH_QQ_URL:
      case WM_OAUTH_SINA_URL: {
        WCHAR* text = reinterpret_cast<WCHAR*>(w);
        notes.push_back({msg, w, l, WideToUtf8(text)});
        delete[] text;
        return 1;
      }
      case WM_POP_HTML:  // lent for the call
        notes.push_back({msg, w, l, WideToUtf8(reinterpret_cast<const WCHAR*>(w))});
        return 1;
      case WM_KEY_COMMAND:
      case WM_BROWSER_READY:
      case WM_BRISEL_CLOSED:
        notes.push_back({msg, w, l, ""});
        return 1;
      default:
        return CWnd::WindowProc(msg, w, l);
    }
  }
};

bool ProcessGone(int pid) { return pid > 0 && ::kill(pid, 0) != 0; }

class BriselHelperTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool joined = false;
    if (joined) return;
    std::string pattern = (std::filesystem::temp_directory_path() / "orvbrisel-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    ::chmod(pattern.c_str(), 0700);
    ASSERT_TRUE(JoinMessagePorts(pattern + "/"));
    joined = true;
  }

  void SetUp() override {
    SetCrossProcessSendTimeout(3000);
    std::string pattern = (std::filesystem::temp_directory_path() / "orvbriselog-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern + "/";
    log_ = folder_ + "stub.log";
    ::setenv("BRISEL_STUB_LOG", log_.c_str(), 1);
    for (const char* name : {"BRISEL_STUB_EXIT", "BRISEL_STUB_READY_MS", "BRISEL_STUB_NO_READY", "BRISEL_STUB_SCRIPT",
                             "BRISEL_STUB_HANG_MS"})
      ::unsetenv(name);
    SetBriselProgramForTesting(BRISEL_STUB);
    host_.CreateEx(0, nullptr, u"host", WS_POPUP | WS_VISIBLE, CRect(0, 0, 800, 600), nullptr, 0);
    owner_.CreateEx(0, nullptr, u"owner", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0);
    helper_ = std::make_unique<VexloBriselHelper>(owner_.GetSafeHwnd(), &host_);
    helper_->Create(nullptr, u"", WS_CHILD, CRect(0, 0, 0, 0), &host_, 0);
  }
  void TearDown() override {
    int pid = helper_->ProcessId();
    helper_->DestroyWindow();
    helper_.reset();
    if (pid) {
      EXPECT_TRUE(ProcessGone(pid));
    }
    owner_.DestroyWindow();
    host_.DestroyWindow();
    SetBriselProgramForTesting("");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::vector<std::string> LogLines(const std::string& prefix = "") const {
    std::string text;
    ReadWholeFile(log_, &text);
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) break;
      std::string line = text.substr(at, end - at);
      if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
      at = end + 1;
    }
    return out;
  }
  bool WaitFor(const std::function<bool()>& pred, DWORD ms = 15000) { return desk_.RunUntil(pred, ms); }
  bool WaitReady() {
    return WaitFor([&] { return !owner_.Of(WM_BROWSER_READY).empty(); });
  }
  void Start(const char16_t* address = u"about:blank", RECT rect = RECT{10, 20, 410, 320}) {
    helper_->StartBrowser(address, nullptr, rect);
  }

  TestDesktop desk_;
  CWnd host_;
  Owner owner_;
  std::unique_ptr<VexloBriselHelper> helper_;
  std::string folder_, log_;
};

TEST_F(BriselHelperTest, CommandLineAndProxyReachTheBrowserByteForByte) {
  SetConfig("proxytype", "1");
  SetConfig("proxyaddress", "10.0.0.2");
  SetConfig("proxyport", "808");
  helper_->StartBrowser(u"http://127.0.0.1/a b.html", nullptr, RECT{-5, 7, 300, 200});
  LoadConfig();  // back to a direct connection for the other tests
  ASSERT_TRUE(WaitFor([&] { return !LogLines("proxy ").empty(); }));
  EXPECT_EQ(LogLines("args ")[0], "args 6 NULL|http://127.0.0.1/a b.html|300|200|-5|7|");
  std::string proxy = LogLines("proxy ")[0].substr(6);
  EXPECT_EQ(proxy, "1|10.0.0.2|808|||");
  EXPECT_EQ(proxy.size(), 17u);

  helper_->StartBrowser(u"about:blank", nullptr, RECT{0, 0, 10, 10});
  ASSERT_TRUE(WaitFor([&] { return LogLines("proxy ").size() == 2; }));
  EXPECT_EQ(LogLines("proxy ")[1], "proxy ");  // direct: an empty text
}

TEST_F(BriselHelperTest, AttachIsPostedOnlyToAChildStillRunningAfterTheWait) {
  Start();
  ASSERT_TRUE(WaitReady());
  std::vector<std::string> thread = LogLines("thread ");
  ASSERT_EQ(thread.size(), 1u);
  EXPECT_EQ(thread[0], "thread " + std::to_string(BRISEL_MSG_ATTACH) + " " +
                           std::to_string(reinterpret_cast<std::uintptr_t>(helper_->SlotWindow())));
  EXPECT_EQ(LogLines("attach 1 400x300").size(), 1u);

  ::setenv("BRISEL_STUB_EXIT", "1", 1);
  DebugCapture trace;
  helper_->TerminateBrowser();
  SetBriselStartWaitForTesting(20000);  // a busy machine may start the stub slowly
  Start();
  SetBriselStartWaitForTesting(0);
  EXPECT_TRUE(trace.Contains("the browser ended at start"));
  EXPECT_EQ(helper_->ProcessId(), 0);
  EXPECT_EQ(LogLines("thread ").size(), 1u);  // the second process got nothing
  EXPECT_EQ(LogLines("args ").size(), 2u);
}

TEST_F(BriselHelperTest, ValuesKeptUntilReadyGoOutInOrderThenAtOnce) {
  ::setenv("BRISEL_STUB_READY_MS", "400", 1);
  Start();
  EXPECT_EQ(helper_->CallScript(u"Ping"), 0);  // not ready: nothing reaches a browser
  helper_->Navigate(u"http://first/");
  helper_->MoveBrowser(RECT{1, 2, 301, 202});
  helper_->SetCookies(u"username=演示|");
  helper_->Navigate(u"http://second/");
  ASSERT_TRUE(WaitReady());
  ASSERT_TRUE(WaitFor([&] { return LogLines("record ").size() >= 3; }));
  EXPECT_EQ(LogLines("record "),
            (std::vector<std::string>{"record 6 1,2,301,202", "record 0 username=演示|", "record 1 http://second/"}));
  EXPECT_EQ(owner_.Of(WM_BROWSER_READY)[0].w,
            reinterpret_cast<WPARAM>(static_cast<IBriselHelper*>(helper_.get())));

  // After ready every value goes at once.
  helper_->SetNewsHtml(u"<b>新闻</b>");
  helper_->Navigate(u"http://third/");
  EXPECT_EQ(LogLines("record ").back(), "record 1 http://third/");
  EXPECT_EQ(LogLines("record ")[3], "record 7 <b>新闻</b>");
  EXPECT_EQ(helper_->CallScript(u"Ping"), 1);
  EXPECT_EQ(LogLines("record ").back(), "record 5 Ping");
}

TEST_F(BriselHelperTest, NewsHtmlKeptBeforeReadyGoesBeforeTheAddressAndScriptAnswersZero) {
  ::setenv("BRISEL_STUB_READY_MS", "300", 1);
  ::setenv("BRISEL_STUB_SCRIPT", "0", 1);
  Start();
  helper_->Navigate(u"http://page/");
  helper_->SetNewsHtml(u"<i>x</i>");
  ASSERT_TRUE(WaitReady());
  ASSERT_TRUE(WaitFor([&] { return LogLines("record ").size() >= 2; }));
  EXPECT_EQ(LogLines("record "), (std::vector<std::string>{"record 7 <i>x</i>", "record 1 http://page/"}));
  EXPECT_EQ(helper_->CallScript(u"OnWindowClose"), 0);
}

TEST_F(BriselHelperTest, RecordsFromTheBrowserReachTheOwner) {
  Start();
  ASSERT_TRUE(WaitReady());
  struct Row {
    const char16_t* command;
    UINT msg;
    std::string text;
    LPARAM l;
  };
  const Row rows[] = {
      {u"stub:2:goto::quote::min,600000,1", WM_WEB_COMMAND, "goto::quote::min,600000,1", 0},
      {u"stub:2:goto::popwindow::公告::系统公告::http://x/", WM_WEB_COMMAND, "goto::popwindow::公告::系统公告::http://x/", 0},
      {u"stub:3:http://t/#access_token=1&openid=2", WM_OAUTH_QQ_URL, "http://t/#access_token=1&openid=2", 0},
      {u"stub:3:http://t/#access_token=1", WM_OAUTH_SINA_URL, "http://t/#access_token=1", 0},
      {u"stub:4:http://127.0.0.1/help.html", WM_POP_HTML, "http://127.0.0.1/help.html", 0},
      {u"stub:8:40117", WM_KEY_COMMAND, "", 40117},
      {u"stub:8:F6", WM_KEY_COMMAND, "", 0},
      {u"stub:closed:1", WM_BRISEL_CLOSED, "", 1},
      {u"stub:closed:0", WM_BRISEL_CLOSED, "", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(WideToUtf8(row.command));
    owner_.notes.clear();
    helper_->Navigate(row.command);
    ASSERT_TRUE(WaitFor([&] { return !owner_.Of(row.msg).empty(); }));
    Owner::Note note = owner_.Of(row.msg)[0];
    EXPECT_EQ(note.text, row.text);
    EXPECT_EQ(note.l, row.l);
    if (row.msg == WM_KEY_COMMAND || row.msg == WM_BRISEL_CLOSED) {
      EXPECT_EQ(note.w, 0u);
    }
  }
  EXPECT_EQ(LogLines("sent ").size(), 7u);
  for (const std::string& line : LogLines("sent ")) EXPECT_EQ(line.back(), '1') << line;

  // Two records in a row each keep their own text.
  owner_.notes.clear();
  helper_->Navigate(u"stub:twice:goto::a|goto::bb");
  ASSERT_TRUE(WaitFor([&] { return owner_.Of(WM_WEB_COMMAND).size() == 2; }));
  EXPECT_EQ(owner_.Of(WM_WEB_COMMAND)[0].text, "goto::a");
  EXPECT_EQ(owner_.Of(WM_WEB_COMMAND)[1].text, "goto::bb");
}

TEST_F(BriselHelperTest, TerminationRestartAndAMissingProgram) {
  Start();
  ASSERT_TRUE(WaitReady());
  int first = helper_->ProcessId();
  Start(u"about:blank#2");
  int second = helper_->ProcessId();
  EXPECT_NE(first, second);
  EXPECT_TRUE(ProcessGone(first));  // ended before the second started
  EXPECT_EQ(helper_->ViewWindow(), nullptr);
  EXPECT_TRUE(helper_->TerminateBrowser());
  EXPECT_TRUE(ProcessGone(second));
  EXPECT_FALSE(helper_->TerminateBrowser());  // nothing left to end

  // A missing program is silent and the values wait for the next start.
  SetBriselProgramForTesting(folder_ + "no-such-program");
  Start();
  EXPECT_EQ(helper_->ProcessId(), 0);
  helper_->Navigate(u"http://kept/");
  SetBriselProgramForTesting(BRISEL_STUB);
  owner_.notes.clear();
  Start();
  ASSERT_TRUE(WaitReady());
  ASSERT_TRUE(WaitFor([&] { return !LogLines("record 1").empty(); }));
  EXPECT_EQ(LogLines("record 1"), std::vector<std::string>{"record 1 http://kept/"});
}

TEST_F(BriselHelperTest, ABrowserThatNeverAnswersCostsOneSendTimeOut) {
  ::setenv("BRISEL_STUB_HANG_MS", "3000", 1);
  Start();
  ASSERT_TRUE(WaitReady());
  SetCrossProcessSendTimeout(300);
  ULONGLONG before = RealTickCount64();
  EXPECT_EQ(helper_->CallScript(u"Ping"), 0);
  EXPECT_LT(RealTickCount64() - before, 2500u);
  // The terminal still answers its own windows.
  EXPECT_EQ(owner_.SendMessage(WM_KEY_COMMAND, 0, 65), 1);
}

TEST_F(BriselHelperTest, TheSlotFollowsTheRectangleAndTheShowCommand) {
  ::setenv("BRISEL_STUB_READY_MS", "300", 1);
  Start();
  helper_->MoveBrowser(RECT{0, 0, 500, 250});  // kept for the browser, the slot moves at once
  CRect slot;
  ::GetWindowRect(helper_->SlotWindow(), &slot);
  EXPECT_EQ(slot.Size(), CSize(500, 250));
  ASSERT_TRUE(WaitReady());
  ASSERT_TRUE(WaitFor([&] { return desk_.Embeddings().size() == 1; }));
  TestDesktop::Embedding e = desk_.Embeddings()[0];
  EXPECT_EQ(e.slot, helper_->SlotWindow());
  EXPECT_EQ(e.clientPid, helper_->ProcessId());
  EXPECT_EQ(e.size.cx, 500);
  EXPECT_EQ(e.size.cy, 250);
  EXPECT_TRUE(e.visible);

  helper_->MoveBrowser(RECT{20, 30, 220, 130});
  EXPECT_EQ(desk_.Embeddings()[0].size.cx, 200);
  helper_->ShowBrowser(SW_HIDE);
  EXPECT_FALSE(desk_.Embeddings()[0].visible);
  ASSERT_TRUE(WaitFor([&] { return !LogLines("thread " + std::to_string(BRISEL_MSG_SHOW)).empty(); }));
  helper_->ShowBrowser(SW_SHOW);
  EXPECT_TRUE(desk_.Embeddings()[0].visible);
  desk_.SavePng(host_.GetSafeHwnd(), std::string(ORV_BINARY_DIR) + "/snapshots/brisel_slot.png");
}

TEST_F(BriselHelperTest, KeysAndClicksOnTheHelperWindow) {
  helper_->SendMessage(WM_KEYDOWN, VK_F1 + 4, 0);
  desk_.RunUntilIdle();
  ASSERT_EQ(owner_.Of(WM_KEY_COMMAND).size(), 1u);
  EXPECT_EQ(owner_.Of(WM_KEY_COMMAND)[0].l, 116);
  helper_->SendMessage(WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(::GetFocus(), helper_->GetSafeHwnd());
}

}  // namespace
