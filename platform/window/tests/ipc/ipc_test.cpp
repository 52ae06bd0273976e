// Windows, posts and sends between real processes.
#include "platform/window/tests/ipc/ipc_fixture.h"

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_thread.h"
#include "platform/gdi/win_gdi.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <sstream>

namespace {

constexpr UINT kRecordPost = WM_USER + 1;
constexpr UINT kSendBack = WM_USER + 2;
constexpr UINT kAsk = WM_USER + 3;
constexpr UINT kHang = WM_USER + 4;
constexpr UINT kDie = WM_USER + 5;
constexpr UINT kInSend = WM_USER + 6;
constexpr UINT kFromThird = WM_USER + 7;
constexpr UINT kState = WM_USER + 8;
constexpr UINT kPing = WM_USER + 9;
constexpr UINT kDestroy = WM_USER + 11;
constexpr UINT kTouchLastCopy = WM_USER + 15;
constexpr UINT kThreadPost = WM_USER + 20;

// What the test's own window saw, in order.
std::vector<std::string>& Events() {
  static std::vector<std::string> events;
  return events;
}
std::atomic<bool> g_waiting{false};

LRESULT TestProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case kAsk:
      Events().push_back(InSendMessage() ? "ask-from-other" : "ask");
      return static_cast<LRESULT>(w) * 2;
    case kPing:
      Events().push_back("ping");
      return 0;
    case kFromThird:
      Events().push_back(g_waiting ? "third-while-waiting" : "third");
      return 4242;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      // Dark, and a slot shows where the other process's window lives.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      bool slot = GetParent(hwnd) != nullptr;
      HBRUSH fill = CreateSolidBrush(slot ? RGB(0x10, 0x18, 0x28) : RGB(0x0C, 0x0C, 0x10));
      FillRect(dc, &rc, fill);
      DeleteObject(fill);
      SetBkMode(dc, TRANSPARENT);
      if (slot) {
        HBRUSH edge = CreateSolidBrush(RGB(0x30, 0x80, 0xE0));
        FrameRect(dc, &rc, edge);
        DeleteObject(edge);
        SetTextColor(dc, RGB(0xC8, 0xD8, 0xF0));
        DrawTextW(dc, u"嵌入的网页区域", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      } else {
        SetTextColor(dc, RGB(0xE0, 0xC0, 0x40));
        RECT top{rc.left + 8, rc.top + 4, rc.right, rc.top + 24};
        DrawTextW(dc, u"主程序窗口", -1, &top, DT_LEFT | DT_SINGLELINE);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, w, l);
  }
}

HWND MakeTestWindow(const WString& title) {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = u"OrvIpcTest";
    return RegisterClassW(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  Events().clear();
  return CreateWindowExW(0, u"OrvIpcTest", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                         nullptr, nullptr, nullptr);
}

std::uint32_t Fnv(const std::string& bytes) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace

TEST_F(IpcTest, FindWindowSeesPeersByTitleAndClassOwnFirstAndNotTheGone) {
  TestDesktop desk;
  HWND peer = StartWindow(desk, "a", u"对端窗口", {"shown", "OrvPeerClass"});
  ASSERT_NE(peer, nullptr);
  EXPECT_NE(GetWindowThreadProcessId(peer, nullptr), 0u);
  EXPECT_EQ(FindWindowW(u"orvpeerclass", nullptr), peer) << "class names compare without case";
  EXPECT_EQ(FindWindowW(u"OrvPeerClass", u"对端窗口"), peer);
  EXPECT_EQ(FindWindowW(u"OrvPeerClass", u"别的标题"), nullptr);

  HWND own = MakeTestWindow(u"对端窗口");
  EXPECT_EQ(FindWindowW(nullptr, u"对端窗口"), own) << "the calling process's own window comes first";
  DestroyWindow(own);

  // Destroyed by the peer itself.
  ASSERT_TRUE(PostMessageW(peer, kDestroy, 0, 0));
  EXPECT_TRUE(desk.RunUntil([&] { return FindWindowW(nullptr, u"对端窗口") == nullptr; }));
  EXPECT_FALSE(IsWindow(peer));

  // A killed peer: not found, and its port file is gone afterwards.
  HWND second = StartWindow(desk, "b", u"第二个");
  ASSERT_NE(second, nullptr);
  std::string portFile = PortFolder() + [&] {
    char name[32];
    std::snprintf(name, sizeof name, "%06x.port", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(second) >> 32));
    return std::string(name);
  }();
  struct stat info {};
  EXPECT_EQ(::lstat(portFile.c_str(), &info), 0) << portFile;
  ASSERT_TRUE(TerminateProcessById(last_.pid));
  ASSERT_TRUE(WaitProcess(last_.pid, 5000, nullptr));
  EXPECT_EQ(FindWindowW(nullptr, u"第二个"), nullptr);
  EXPECT_NE(::lstat(portFile.c_str(), &info), 0) << "the stale port file is removed by whoever finds it refusing";
}

TEST_F(IpcTest, ThreadPostsOfTwoSendersKeepEachSendersOrder) {
  TestDesktop desk;
  HWND receiver = StartWindow(desk, "recv", u"收件");
  ASSERT_NE(receiver, nullptr);
  DWORD thread = GetWindowThreadProcessId(receiver, nullptr);
  EXPECT_EQ(thread, last_.thread) << "the start reports the thread that owns the windows";
  Peer r = last_;
  Peer a = Start("pa", {"poster", std::to_string(thread), "1000", "1"});
  Peer b = Start("pb", {"poster", std::to_string(thread), "1000", "2"});
  ASSERT_TRUE(desk.RunUntil([&] { return Lines(r, "thread") >= 2000; }, 30000)) << Lines(r, "thread");
  EXPECT_EQ(Lines(a, "posted 1000"), 1);
  EXPECT_EQ(Lines(b, "posted 1000"), 1);
  std::istringstream in(Log(r));
  std::string word;
  std::map<int, int> next{{1, 0}, {2, 0}};
  std::string line;
  int bad = 0;
  while (std::getline(in, line)) {
    unsigned msg = 0;
    int tag = 0, i = 0;
    if (std::sscanf(line.c_str(), "thread %u %d %d", &msg, &tag, &i) != 3) continue;
    EXPECT_EQ(msg, kThreadPost);
    if (next[tag] != i) ++bad;
    next[tag] = i + 1;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(next[1], 1000);
  EXPECT_EQ(next[2], 1000);
}

TEST_F(IpcTest, APostRightAfterTheStartWaitsForTheChildsFirstLook) {
  TestDesktop desk;
  Peer p = Start("sleeper", {"sleeper", "1000"});
  ASSERT_NE(p.thread, 0u);
  ASSERT_TRUE(PostThreadMessageW(p.thread, kThreadPost, 7, 8));
  EXPECT_TRUE(WaitLog(desk, p, "thread " + std::to_string(kThreadPost) + " 7 8"));
  EXPECT_EQ(Log(p).find("pumping"), 0u) << "the peer slept before it looked at its queue";
}

TEST_F(IpcTest, CopyDataArrivesExactlyAndAnswersTheReceiversResult) {
  TestDesktop desk;
  HWND peer = StartWindow(desk, "copy", u"拷贝");
  ASSERT_NE(peer, nullptr);
  HWND own = MakeTestWindow(u"发送方");
  std::string zeros("a\0b\0\0c", 6);
  std::string big64(64 << 10, '\0'), big1m(1 << 20, '\0');
  for (size_t i = 0; i < big64.size(); ++i) big64[i] = static_cast<char>(i * 7);
  for (size_t i = 0; i < big1m.size(); ++i) big1m[i] = static_cast<char>(i * 13 + 1);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {{"empty", ""}, {"one byte", "x"}, {"zeros inside", zeros}, {"64 KiB", big64}, {"1 MiB", big1m}};
  SetCrossProcessSendTimeout(5000);
  int n = 0;
  for (const Case& c : cases) {
    COPYDATASTRUCT cds{static_cast<std::uintptr_t>(0x5A00 + n), static_cast<DWORD>(c.bytes.size()),
                       c.bytes.empty() ? nullptr : const_cast<char*>(c.bytes.data())};
    SetLastError(0);
    LRESULT r = SendMessageW(peer, WM_COPYDATA, reinterpret_cast<WPARAM>(own), reinterpret_cast<LPARAM>(&cds));
    EXPECT_EQ(static_cast<std::uint32_t>(r), Fnv(c.bytes)) << c.name;
    EXPECT_EQ(GetLastError(), 0u) << c.name;
    std::ostringstream want;
    want << "copy " << std::hex << (0x5A00 + n) << std::dec << " " << c.bytes.size() << " " << std::hex
         << reinterpret_cast<std::uintptr_t>(own);
    EXPECT_EQ(Lines(last_, want.str()), 1) << c.name << ": " << Log(last_);
    ++n;
  }
  // Refused without sending: too big, or no data behind a length.
  std::string huge((17u << 20), 'h');
  COPYDATASTRUCT tooBig{1, static_cast<DWORD>(huge.size()), huge.data()};
  COPYDATASTRUCT noData{2, 10, nullptr};
  for (COPYDATASTRUCT* bad : {&tooBig, &noData}) {
    SetLastError(0);
    ULONGLONG t0 = RealTickCount64();
    EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(bad)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_LT(RealTickCount64() - t0, 1000u);
  }
  EXPECT_EQ(Lines(last_, "copy"), n) << "nothing refused reached the peer";
#if defined(__SANITIZE_ADDRESS__)
  // The receiver's copy was freed when its handler returned: touching it
  // afterwards is a use after free, which ends the peer.
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, kTouchLastCopy, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  int code = 0;
  EXPECT_TRUE(WaitProcess(last_.pid, 10000, &code));
  EXPECT_NE(code, 0);
#endif
  DestroyWindow(own);
}

TEST_F(IpcTest, NestedSendsRunWhileWaitingAndPostsWaitForTheReturn) {
  TestDesktop desk;
  HWND peer = StartWindow(desk, "nest", u"嵌套");
  ASSERT_NE(peer, nullptr);
  HWND own = MakeTestWindow(u"本进程");
  SetCrossProcessSendTimeout(5000);
  LRESULT r = SendMessageW(peer, kSendBack, reinterpret_cast<WPARAM>(own), 21);
  Events().push_back("returned");
  EXPECT_EQ(r, 1042) << "the peer's result over our handler's";
  desk.RunUntil([] { return Events().size() >= 3; }, 5000);
  EXPECT_EQ(Events(), (std::vector<std::string>{"ask-from-other", "returned", "ping"}))
      << "the send ran during the wait, the post only after it";
  EXPECT_EQ(SendMessageW(peer, kInSend, 0, 0), 1) << "InSendMessage in a handler for another process's send";
  DestroyWindow(own);
}

TEST_F(IpcTest, AHungPeerTimesOutWhileAThirdProcessIsAnswered) {
  TestDesktop desk;
  HWND peer = StartWindow(desk, "hung", u"挂起");
  ASSERT_NE(peer, nullptr);
  Peer hung = last_;
  HWND own = MakeTestWindow(u"等待者");
  Peer third = Start("third", {"sender", "等待者", std::to_string(kFromThird)});
  SetCrossProcessSendTimeout(2000);
  ULONGLONG t0 = RealTickCount64();
  g_waiting = true;
  SetLastError(0);
  LRESULT r = SendMessageW(peer, kHang, 0, 3000);
  g_waiting = false;
  ULONGLONG took = RealTickCount64() - t0;
  EXPECT_EQ(r, 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_GE(took, 1900u);
  EXPECT_LT(took, 2900u);
  EXPECT_TRUE(WaitLog(desk, third, "sent 4242 "));
  EXPECT_EQ(Events(), std::vector<std::string>{"third-while-waiting"});

  // SendMessageTimeoutW: fails on its own time-out.
  std::uintptr_t result = 99;
  EXPECT_EQ(SendMessageTimeoutW(peer, kInSend, 0, 0, SMTO_ABORTIFHUNG, 200, &result), 0);
  EXPECT_EQ(result, 99u);
  // Once the peer is back, its late answers (77) answer nothing else.
  bool back = desk.RunUntil([&] {
    std::uintptr_t v = 0;
    if (!SendMessageTimeoutW(peer, kInSend, 0, 0, SMTO_NORMAL, 500, &v)) return false;
    result = v;
    return true;
  }, 10000);
  EXPECT_TRUE(back);
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(SendMessageW(peer, kInSend, 0, 0), 1);
  (void)hung;
  DestroyWindow(own);
}

TEST_F(IpcTest, ADeadPeerFailsAtOnce) {
  TestDesktop desk;
  SetCrossProcessSendTimeout(3000);
  // Ends during the send.
  HWND dying = StartWindow(desk, "dying", u"中途退出");
  ASSERT_NE(dying, nullptr);
  ULONGLONG t0 = RealTickCount64();
  SetLastError(0);
  EXPECT_EQ(SendMessageW(dying, kDie, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_LT(RealTickCount64() - t0, 1500u);

  // Killed before.
  HWND killed = StartWindow(desk, "killed", u"已被结束");
  ASSERT_NE(killed, nullptr);
  DWORD thread = GetWindowThreadProcessId(killed, nullptr);
  ASSERT_TRUE(TerminateProcessById(last_.pid));
  ASSERT_TRUE(WaitProcess(last_.pid, 5000, nullptr));
  t0 = RealTickCount64();
  SetLastError(0);
  EXPECT_EQ(SendMessageW(killed, WM_USER, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_LT(RealTickCount64() - t0, 1000u);
  EXPECT_FALSE(PostMessageW(killed, WM_USER, 0, 0));
  EXPECT_FALSE(PostThreadMessageW(thread, WM_USER, 0, 0));
  EXPECT_FALSE(IsWindow(killed));
  RECT rc{};
  EXPECT_FALSE(GetWindowRect(killed, &rc));
}

TEST_F(IpcTest, HostileBytesCloseOnlyThatConnection) {
  TestDesktop desk;
  HWND own = MakeTestWindow(u"受攻击者");
  char instance[16];
  std::snprintf(instance, sizeof instance, "%x", PortInstance());
  for (const char* variant : {"garbage", "huge", "cut", "kind"}) {
    DebugCapture capture;
    Peer bad = Start(std::string("bad-") + variant, {"hostile", instance, variant});
    ASSERT_TRUE(WaitLog(desk, bad, "written")) << variant;
    if (std::string(variant) == "cut") {
      // A cut frame shows when its writer goes.
      TerminateProcessById(bad.pid);
      WaitProcess(bad.pid, 5000, nullptr);
    }
    EXPECT_TRUE(desk.RunUntil([&] { return capture.Contains("port: dropped a connection"); }, 5000)) << variant;
    Peer good = Start(std::string("good-") + variant, {"sender", "受攻击者", std::to_string(kFromThird)});
    EXPECT_TRUE(WaitLog(desk, good, "sent 4242 ")) << variant << ": " << Log(good);
  }
  DestroyWindow(own);
}

TEST_F(IpcTest, RemoteWindowCallsAreCarriedOutByTheOwner) {
  TestDesktop desk;
  HWND peer = StartWindow(desk, "remote", u"隐藏的窗口", {"hidden"});
  ASSERT_NE(peer, nullptr);
  SetCrossProcessSendTimeout(5000);
  EXPECT_EQ(SendMessageW(peer, kState, 0, 0), 4) << "hidden and inactive at first";
  EXPECT_FALSE(ShowWindow(peer, SW_SHOWNORMAL)) << "it was hidden";
  EXPECT_EQ(SendMessageW(peer, kState, 0, 0), 7) << "visible and active in the peer";
  EXPECT_TRUE(SetForegroundWindow(peer));
  EXPECT_TRUE(ShowWindow(peer, SW_HIDE)) << "it was visible";
  EXPECT_EQ(SendMessageW(peer, kState, 0, 0) & 1, 0);
  WCHAR text[64] = {};
  EXPECT_EQ(GetWindowTextW(peer, text, 64), 5);
  EXPECT_EQ(WString(text), u"隐藏的窗口");
  RECT rc{};
  ASSERT_TRUE(GetWindowRect(peer, &rc));
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.top, 20);
  EXPECT_EQ(rc.right, 310);
  EXPECT_EQ(rc.bottom, 220);
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(peer, &pid), last_.thread);
  EXPECT_EQ(static_cast<int>(pid), last_.pid);
  // Functions that do not cross fail as for an invalid handle.
  EXPECT_FALSE(IsWindowVisible(peer));
  EXPECT_EQ(GetParent(peer), nullptr);
}

TEST_F(IpcTest, AnEmbeddedClientFollowsItsSlotOffscreenAndEndsWithIt) {
  TestDesktop desk;
  HWND own = MakeTestWindow(u"宿主窗口");
  ASSERT_TRUE(SetWindowPos(own, nullptr, 100, 80, 480, 300, SWP_NOZORDER));
  HWND slot = CreateWindowExW(0, u"OrvIpcTest", u"", WS_CHILD | WS_VISIBLE, 20, 30, 200, 100, own, nullptr, nullptr,
                              nullptr);
  ASSERT_NE(slot, nullptr);
  EXPECT_NE(GetNativeWindowId(slot), 0u) << "a token on the test desktop";
  char hex[32];
  std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(slot)));
  Peer client = Start("embed", {"embed", hex});
  ASSERT_TRUE(WaitLog(desk, client, "embedded"));
  EXPECT_EQ(Lines(client, "embedded 1 200x100 1"), 1) << Log(client);
  auto list = desk.Embeddings();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].slot, slot);
  EXPECT_EQ(list[0].clientPid, client.pid);
  EXPECT_EQ(list[0].size.cx, 200);
  EXPECT_EQ(list[0].size.cy, 100);
  EXPECT_TRUE(list[0].visible);
  EXPECT_TRUE(desk.SavePng(own, logs_ + "embedded.png"));
  if (const char* keep = std::getenv("ORV_IPC_SNAPSHOT")) desk.SavePng(own, keep);

  ASSERT_TRUE(MoveWindow(slot, 40, 50, 300, 120, TRUE));
  ASSERT_EQ(desk.Embeddings().size(), 1u);
  EXPECT_EQ(desk.Embeddings()[0].size.cx, 300);
  EXPECT_EQ(desk.Embeddings()[0].size.cy, 120);
  EXPECT_TRUE(WaitLog(desk, client, "size 300 120")) << Log(client);

  ShowWindow(slot, SW_HIDE);
  EXPECT_FALSE(desk.Embeddings()[0].visible);
  EXPECT_TRUE(WaitLog(desk, client, "show 0")) << Log(client);
  ShowWindow(slot, SW_SHOW);
  EXPECT_TRUE(desk.Embeddings()[0].visible);

  DestroyWindow(slot);
  EXPECT_TRUE(desk.Embeddings().empty());
  int code = -1;
  EXPECT_TRUE(WaitProcess(client.pid, 10000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Lines(client, "destroyed"), 1);
  DestroyWindow(own);
}

TEST_F(IpcTest, AnEmbeddedClientEndsWhenTheHostProcessEnds) {
  TestDesktop desk;
  HWND host = StartWindow(desk, "host", u"宿主进程", {"slot"});
  ASSERT_NE(host, nullptr);
  Peer hostPeer = last_;
  std::string log = Log(hostPeer);
  ASSERT_EQ(log.compare(0, 5, "slot "), 0) << log;
  std::string slot = log.substr(5, log.find('\n') - 5);
  char hex[32];
  std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(host)));
  Peer refused = Start("refused", {"embed", hex});
  ASSERT_TRUE(WaitLog(desk, refused, "embedded"));
  EXPECT_EQ(Lines(refused, "embedded 0"), 1) << "a top-level window is no slot";

  Peer client = Start("client", {"embed", slot});
  ASSERT_TRUE(WaitLog(desk, client, "embedded"));
  EXPECT_EQ(Lines(client, "embedded 1 120x80 1"), 1) << Log(client);
  ASSERT_TRUE(TerminateProcessById(hostPeer.pid));
  int code = -1;
  EXPECT_TRUE(WaitProcess(client.pid, 10000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Lines(client, "destroyed"), 1);
}

TEST_F(IpcTest, AMessageBoxOwnedByAnotherProcesssWindowIsCentredOverIt) {
  TestDesktop desk;
  desk.ShowRealBoxes(true);
  HWND peer = StartWindow(desk, "owner", u"已在运行的实例");
  ASSERT_NE(peer, nullptr);
  SetCrossProcessSendTimeout(5000);
  RECT box{}, ownerRect{};
  ASSERT_TRUE(GetWindowRect(peer, &ownerRect));
  LRESULT stateDuring = -1;
  desk.Until([] { return FindWindowW(nullptr, u"提示") != nullptr; });
  desk.Then([&] {
    GetWindowRect(FindWindowW(nullptr, u"提示"), &box);
    stateDuring = SendMessageW(peer, kState, 0, 0);
    desk.Key(VK_RETURN);
  });
  EXPECT_EQ(MessageBoxW(peer, u"本程序已经在运行了！", u"提示", MB_OK), IDOK);
  EXPECT_NEAR((box.left + box.right) / 2, (ownerRect.left + ownerRect.right) / 2, 1);
  EXPECT_NEAR((box.top + box.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 1);
  EXPECT_EQ(stateDuring & 4, 4) << "the other process's window stays enabled";
}
