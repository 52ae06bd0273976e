// A peer program for the tests of windows between processes. The first
// argument chooses what it does; what it sees goes, one line at a time, to
// the file named by ORV_PEER_LOG.
//
//   window <title> [hidden|slot] [class]  a top-level window at (10, 20, 300x200)
//                                    (with a child window to embed into for slot)
//                                    that answers the test messages below
//   sleeper <ms>                     sleeps before its first look at the queue
//   poster <thread id> <count> <tag> posts count thread messages
//   sender <title> <msg>             sends msg to the window with that title
//   hostile <instance> <variant>     writes bad bytes to a port
//   lock <name>                      claims an instance lock and lives on
//   box                              shows one message box
//   embed <slot>                     puts a window of its own into the slot
//                                    (a child window of another process) and
//                                    ends when its window is destroyed
//   report [args...]                 reports its arguments, folder and
//                                    ORV_PEER_X, then exits with 5
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_thread.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_user.h"
#include "platform/gdi/win_gdi.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_internal.h"

#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT kRecordPost = WM_USER + 1;  // posted to the window: recorded
constexpr UINT kSendBack = WM_USER + 2;    // posts kPing to wParam, sends kAsk to it, answers its result + 1000
constexpr UINT kAsk = WM_USER + 3;
constexpr UINT kHang = WM_USER + 4;        // sleeps lParam ms, answers 77
constexpr UINT kDie = WM_USER + 5;         // exits in the middle of the send
constexpr UINT kInSend = WM_USER + 6;      // answers InSendMessage()
constexpr UINT kState = WM_USER + 8;       // answers visible | active << 1 | enabled << 2
constexpr UINT kPing = WM_USER + 9;
constexpr UINT kDestroy = WM_USER + 11;    // posted: destroys the window
constexpr UINT kMoveSlot = WM_USER + 12;   // moves the slot to (wParam, wParam) sized LOWORD/HIWORD(lParam)
constexpr UINT kShowSlot = WM_USER + 13;   // ShowWindow(slot, wParam)
constexpr UINT kDestroySlot = WM_USER + 14;
constexpr UINT kTouchLastCopy = WM_USER + 15;  // reads the last WM_COPYDATA's bytes after that call ended

const volatile char* g_lastCopy = nullptr;
constexpr UINT kThreadPost = WM_USER + 20;

HWND g_slot = nullptr;

void Log(const std::string& line) {
  const char* path = std::getenv("ORV_PEER_LOG");
  if (!path) return;
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string text = line + "\n";
  (void)!::write(fd, text.data(), text.size());
  ::close(fd);
}

std::string Hex(std::uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
  return buf;
}

std::uint32_t Checksum(const void* data, DWORD size) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  const auto* p = static_cast<const unsigned char*>(data);
  for (DWORD i = 0; i < size; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

LRESULT PeerProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_COPYDATA: {
      auto* cds = reinterpret_cast<COPYDATASTRUCT*>(l);
      Log("copy " + Hex(cds->dwData) + " " + std::to_string(cds->cbData) + " " + Hex(w));
      g_lastCopy = static_cast<const volatile char*>(cds->lpData);
      return Checksum(cds->lpData, cds->cbData);
    }
    case kRecordPost:
      Log("post " + std::to_string(w) + " " + std::to_string(l));
      return 0;
    case kSendBack: {
      PostMessageW(reinterpret_cast<HWND>(w), kPing, 0, 0);
      LRESULT r = SendMessageW(reinterpret_cast<HWND>(w), kAsk, static_cast<WPARAM>(l), 0);
      return r + 1000;
    }
    case kHang:
      Sleep(static_cast<DWORD>(l));
      return 77;
    case kDie:
      ::_exit(3);
    case kInSend:
      return InSendMessage();
    case kTouchLastCopy:
      return g_lastCopy ? g_lastCopy[0] : -1;
    case kState:
      return (IsWindowVisible(hwnd) ? 1 : 0) | (GetActiveWindow() == hwnd ? 2 : 0) | (IsWindowEnabled(hwnd) ? 4 : 0);
    case kDestroy:
      DestroyWindow(hwnd);
      return 0;
    case kMoveSlot:
      return MoveWindow(g_slot, static_cast<int>(w), static_cast<int>(w), LOWORD(l), HIWORD(l), TRUE);
    case kShowSlot:
      ShowWindow(g_slot, static_cast<int>(w));
      return 1;
    case kDestroySlot:
      return DestroyWindow(g_slot);
    default:
      return DefWindowProcW(hwnd, msg, w, l);
  }
}

LRESULT EmbedProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_SIZE:
      Log("size " + std::to_string(LOWORD(l)) + " " + std::to_string(HIWORD(l)));
      return 0;
    case WM_SHOWWINDOW:
      Log("show " + std::to_string(w));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x60, 0xC0));
      FillRect(dc, &rc, brush);
      DeleteObject(brush);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      Log("destroyed");
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, w, l);
  }
}

int Pump() {
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) {
    if (!m.hwnd) {
      Log("thread " + std::to_string(m.message) + " " + std::to_string(m.wParam) + " " + std::to_string(m.lParam));
      continue;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}

std::string HostileBytes(const std::string& variant) {
  PortFrame frame{kPortPost, 0, std::string(40, 'x')};
  std::string good;
  EncodePortFrame(frame, &good);
  if (variant == "garbage") return "GET / HTTP/1.0\r\n\r\n" + std::string(64, '\xff');
  if (variant == "huge") {
    std::string bytes = good.substr(0, kPortHeaderSize);
    bytes[12] = 0, bytes[13] = 0, bytes[14] = 0, bytes[15] = static_cast<char>(0x80);  // 2^31
    return bytes;
  }
  if (variant == "cut") return good.substr(0, kPortHeaderSize + 10);
  if (variant == "kind") {
    good[5] = 0x7F;
    return good;
  }
  return good;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  bool joined = JoinMessagePorts();
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && std::string(platform) == "xcb") {
    InitUiThread();
    EnableScreenHost();
  }
  if (mode == "report") {
    std::string args;
    for (int i = 2; i < argc; ++i) args += std::string(argv[i]) + "|";
    char cwd[4096];
    const char* x = std::getenv("ORV_PEER_X");
    Log("args " + args);
    Log("cwd " + std::string(::getcwd(cwd, sizeof cwd) ? cwd : ""));
    Log("env " + std::string(x ? x : ""));
    Log("joined " + std::to_string(joined ? 1 : 0));
    return 5;
  }
  if (mode == "window" && argc > 2) {
    WString cls = argc > 4 ? Utf8ToWide(argv[4]) : u"OrvPeer";
    WNDCLASSW wc{};
    wc.lpfnWndProc = PeerProc;
    wc.lpszClassName = cls.c_str();
    RegisterClassW(&wc);
    bool hidden = argc > 3 && std::string(argv[3]) == "hidden";
    WString title = Utf8ToWide(argv[2]);
    HWND h = CreateWindowExW(0, cls.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | (hidden ? 0 : WS_VISIBLE), 10, 20,
                             300, 200, nullptr, nullptr, nullptr, nullptr);
    if (argc > 3 && std::string(argv[3]) == "slot") {
      g_slot = CreateWindowExW(0, cls.c_str(), u"", WS_CHILD | WS_VISIBLE, 5, 5, 120, 80, h, nullptr, nullptr, nullptr);
      Log("slot " + Hex(reinterpret_cast<std::uintptr_t>(g_slot)));
    }
    Log("ready " + Hex(reinterpret_cast<std::uintptr_t>(h)) + " " + std::to_string(GetCurrentThreadId()));
    return Pump();
  }
  if (mode == "sleeper" && argc > 2) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    Log("pumping");
    return Pump();
  }
  if (mode == "poster" && argc > 4) {
    DWORD tid = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    int count = std::atoi(argv[3]);
    WPARAM tag = static_cast<WPARAM>(std::atoi(argv[4]));
    int failed = 0;
    for (int i = 0; i < count; ++i)
      if (!PostThreadMessageW(tid, kThreadPost, tag, i)) ++failed;
    Log("posted " + std::to_string(count - failed));
    return 0;
  }
  if (mode == "sender" && argc > 3) {
    WString title = Utf8ToWide(argv[2]);
    HWND h = nullptr;
    for (int i = 0; i < 100 && !h; ++i) {
      h = FindWindowW(nullptr, title.c_str());
      if (!h) Sleep(50);
    }
    LRESULT r = SendMessageW(h, static_cast<UINT>(std::atoi(argv[3])), 0, 0);
    Log("sent " + std::to_string(r) + " " + std::to_string(GetLastError()));
    return 0;
  }
  if (mode == "hostile" && argc > 3) {
    auto instance = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 16));
    bool ok = PortWriteRaw(instance, HostileBytes(argv[3]));
    Log(ok ? "written" : "not written");
    Sleep(30000);
    return 0;
  }
  if (mode == "lock" && argc > 2) {
    Log(std::string("lock ") + (ClaimInstanceLock(argv[2]) ? "1" : "0"));
    Sleep(60000);
    return 0;
  }
  if (mode == "embed" && argc > 2) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = EmbedProc;
    wc.lpszClassName = u"OrvEmbedClient";
    RegisterClassW(&wc);
    HWND own = CreateWindowExW(0, u"OrvEmbedClient", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    auto slot = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 16)));
    BOOL ok = EmbedIntoWindow(own, slot);
    RECT rc{};
    GetWindowRect(own, &rc);
    Log("embedded " + std::to_string(ok) + " " + std::to_string(rc.right - rc.left) + "x" +
        std::to_string(rc.bottom - rc.top) + " " + std::to_string(IsWindowVisible(own)));
    if (!ok) return 1;
    if (QWindow* native = ScreenWindowOf(own)) Log("xid " + Hex(native->winId()));
    Pump();
    return 0;
  }
  if (mode == "box") {
    int answer = MessageBoxW(nullptr, u"文本\n第二行", u"标题", MB_YESNO);
    Log("answer " + std::to_string(answer));
    return 0;
  }
  return 2;
}
