// Embedding on X11: two peers on a private X server (Xvfb), the X server's
// own answers checked with xwininfo.
#include "platform/window/tests/ipc/ipc_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <regex>

namespace {

constexpr UINT kMoveSlot = WM_USER + 12;
constexpr UINT kShowSlot = WM_USER + 13;
constexpr UINT kDestroySlot = WM_USER + 14;

bool OnPath(const char* program) {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  size_t at = 0;
  while (at <= path.size()) {
    size_t end = path.find(':', at);
    std::string dir = path.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return false;
}

}  // namespace

class IpcX11Test : public IpcTest {
 protected:
  void SetUp() override {
    IpcTest::SetUp();
    if (!OnPath("Xvfb") || !OnPath("xwininfo")) GTEST_SKIP() << "Xvfb and xwininfo are needed";
    // The server writes its display number to descriptor 3 once it is ready.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    bool started = StartProcess(ProcessStart{"Xvfb", {"-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                                             "", {}, fds[1]},
                                &server_);
    ::close(fds[1]);
    ASSERT_TRUE(started);
    std::string number;
    ULONGLONG deadline = RealTickCount64() + 10000;
    while (number.find('\n') == std::string::npos && RealTickCount64() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 200) != 1) continue;
      char buf[16];
      ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    ASSERT_NE(number.find('\n'), std::string::npos) << "the X server did not start";
    display_ = ":" + number.substr(0, number.find('\n'));
  }
  void TearDown() override {
    IpcTest::TearDown();
    if (server_ > 0) {
      TerminateProcessById(server_);
      WaitProcess(server_, 5000, nullptr);
    }
  }
  // The system's X keyboard library hands strndup unterminated names, which
  // AddressSanitizer's strict string checks report; the peers on X run
  // without those checks (and without leak checks for the toolkit's X state).
  std::vector<std::string> XEnv() const {
    return {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display_, "ASAN_OPTIONS=strict_string_checks=0:detect_leaks=0"};
  }

  // xwininfo's answer about one X window.
  std::string XInfo(const std::string& args) {
    std::string out = logs_ + "xwininfo.txt";
    int pid = 0;
    std::string command = "xwininfo -display " + display_ + " " + args + " > " + out + " 2>&1";
    if (!SpawnProcess("/bin/sh", {"-c", command}, "", &pid) || !WaitProcess(pid, 5000, nullptr)) return "";
    std::string text;
    ReadWholeFile(out, &text);
    return text;
  }
  static int Field(const std::string& info, const std::string& name) {
    std::smatch m;
    std::regex re(name + ":\\s+(-?\\d+)");
    return std::regex_search(info, m, re) ? std::stoi(m[1]) : -1;
  }

  int server_ = 0;
  std::string display_;
};

TEST_F(IpcX11Test, TheClientsNativeWindowLivesInTheSlotsAndFollowsIt) {
  TestDesktop desk;
  SetCrossProcessSendTimeout(5000);
  std::vector<std::string> args{"window", "X宿主", "slot"};
  Peer host = Start("xhost", args, XEnv());
  ASSERT_TRUE(WaitLog(desk, host, "ready"));
  HWND top = FindWindowW(nullptr, u"X宿主");
  ASSERT_NE(top, nullptr);
  std::string log = Log(host);
  std::string slotText = log.substr(5, log.find('\n') - 5);
  auto slot = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(slotText, nullptr, 16)));
  std::uintptr_t slotXid = GetNativeWindowId(slot);
  ASSERT_NE(slotXid, 0u) << "the owner answers with its native window";

  Peer client = Start("xclient", {"embed", slotText}, XEnv());
  ASSERT_TRUE(WaitLog(desk, client, "xid "));
  std::string clientLog = Log(client);
  size_t at = clientLog.find("xid ");
  std::string clientXid = "0x" + clientLog.substr(at + 4, clientLog.find('\n', at) - at - 4);
  char slotHex[32];
  std::snprintf(slotHex, sizeof slotHex, "0x%llx", static_cast<unsigned long long>(slotXid));

  auto childOfSlot = [&] {
    std::string tree = XInfo(std::string("-children -id ") + slotHex);
    return tree.find(clientXid) != std::string::npos;
  };
  EXPECT_TRUE(desk.RunUntil(childOfSlot, 10000)) << XInfo(std::string("-children -id ") + slotHex);
  auto sized = [&](int w, int h) {
    return desk.RunUntil([&] {
      std::string info = XInfo("-id " + clientXid);
      return Field(info, "Width") == w && Field(info, "Height") == h && Field(info, "Relative upper-left X") == 0 &&
             Field(info, "Relative upper-left Y") == 0;
    }, 10000);
  };
  EXPECT_TRUE(sized(120, 80)) << XInfo("-id " + clientXid);

  // The slot moves and grows: the client keeps its size, inside it.
  ASSERT_TRUE(SendMessageW(top, kMoveSlot, 30, MAKELPARAM(260, 150)));
  EXPECT_TRUE(sized(260, 150)) << XInfo("-id " + clientXid);
  std::string slotInfo = XInfo(std::string("-id ") + slotHex);
  EXPECT_EQ(Field(slotInfo, "Width"), 260) << slotInfo;
  EXPECT_TRUE(childOfSlot());

  // Hidden with the slot.
  ASSERT_TRUE(SendMessageW(top, kShowSlot, SW_HIDE, 0));
  EXPECT_TRUE(desk.RunUntil([&] { return XInfo("-id " + clientXid).find("IsViewable") == std::string::npos; }, 10000))
      << XInfo("-id " + clientXid);

  // Ends with the slot.
  ASSERT_TRUE(SendMessageW(top, kDestroySlot, 0, 0));
  int code = -1;
  EXPECT_TRUE(WaitProcess(client.pid, 10000, &code));
  EXPECT_EQ(code, 0);
}
