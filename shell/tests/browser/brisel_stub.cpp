// A browser program without a web engine for the helper's tests: it speaks
// the catalogue and writes what it sees, one line at a time, to the file
// named by BRISEL_STUB_LOG. Its behaviour comes from the environment:
//
//   BRISEL_STUB_EXIT=1          ends at once with code 3 (before any attach)
//   BRISEL_STUB_READY_MS=n      reports ready n ms after the attach (default 0)
//   BRISEL_STUB_NO_READY=1      never reports ready
//   BRISEL_STUB_SCRIPT=n        the answer to record 5 (default 1)
//   BRISEL_STUB_HANG_MS=n       record 5 sleeps n ms before answering
//
// A navigation record to "stub:<what>" makes it report to the helper after
// the record's send returned: "stub:2:TEXT" (record 2, UTF-8), "stub:3:TEXT",
// "stub:4:TEXT", "stub:8:TEXT" (UTF-16), "stub:twice:A|B" (two records 2),
// "stub:closed:N" (posts 2000 with lParam N).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>

#include "browser/brisel_catalogue.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_user.h"

namespace {

constexpr UINT kReport = WM_USER + 1;

HWND g_notify = nullptr;
HWND g_view = nullptr;
std::deque<std::function<void()>> g_reports;

void Log(const std::string& line) {
  const char* path = std::getenv("BRISEL_STUB_LOG");
  if (!path) return;
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string text = line + "\n";
  (void)!::write(fd, text.data(), text.size());
  ::close(fd);
}

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

void SendRecord(std::uintptr_t type, const std::string& bytes) {
  COPYDATASTRUCT record{type, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data())};
  LRESULT r = SendMessageW(g_notify, WM_COPYDATA, reinterpret_cast<WPARAM>(g_view), reinterpret_cast<LPARAM>(&record));
  Log("sent " + std::to_string(type) + " " + std::to_string(r));
}

std::string Utf16Bytes(const std::string& utf8) {
  std::u16string wide = Utf8ToWide(utf8);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

void Command(const std::string& what) {
  size_t colon = what.find(':');
  std::string kind = what.substr(0, colon);
  std::string rest = colon == std::string::npos ? "" : what.substr(colon + 1);
  if (kind == "2") g_reports.push_back([rest] { SendRecord(BRISEL_COPY_WEB_COMMAND, rest); });
  if (kind == "3" || kind == "4" || kind == "8") {
    std::uintptr_t type = static_cast<std::uintptr_t>(std::atoi(kind.c_str()));
    g_reports.push_back([type, rest] { SendRecord(type, Utf16Bytes(rest)); });
  }
  if (kind == "twice") {
    size_t second = rest.find('|');
    std::string a = rest.substr(0, second), b = rest.substr(second + 1);
    g_reports.push_back([a, b] {
      SendRecord(BRISEL_COPY_WEB_COMMAND, a);
      SendRecord(BRISEL_COPY_WEB_COMMAND, b);
    });
  }
  if (kind == "closed") {
    LPARAM l = std::atoi(rest.c_str());
    g_reports.push_back([l] { PostMessageW(g_notify, BRISEL_MSG_CLOSED, 0, l); });
  }
  PostMessageW(g_view, kReport, 0, 0);
}

LRESULT ViewProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_COPYDATA: {
      auto* record = reinterpret_cast<const COPYDATASTRUCT*>(l);
      if (record->dwData == BRISEL_COPY_MOVE && record->cbData == 16) {
        const auto* box = static_cast<const std::int32_t*>(record->lpData);
        Log("record 6 " + std::to_string(box[0]) + "," + std::to_string(box[1]) + "," + std::to_string(box[2]) +
            "," + std::to_string(box[3]));
        return 1;
      }
      std::string text = WideToUtf8(RecordText(record->lpData, record->cbData));
      Log("record " + std::to_string(record->dwData) + " " + text);
      if (record->dwData == BRISEL_COPY_CALL_SCRIPT) {
        if (int hang = EnvInt("BRISEL_STUB_HANG_MS", 0)) Sleep(static_cast<DWORD>(hang));
        return EnvInt("BRISEL_STUB_SCRIPT", 1);
      }
      if (record->dwData == BRISEL_COPY_NAVIGATE && text.rfind("stub:", 0) == 0) Command(text.substr(5));
      return 1;
    }
    case kReport:
      while (!g_reports.empty()) {
        auto report = std::move(g_reports.front());
        g_reports.pop_front();
        report();
      }
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, w);
      Log("ready");
      PostMessageW(g_notify, BRISEL_MSG_VIEW_READY, reinterpret_cast<WPARAM>(hwnd), 0);
      return 0;
    case WM_DESTROY:
      Log("view destroyed");
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, w, l);
  }
}

void Attach(HWND slot, HWND notify) {
  g_notify = notify;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ViewProc;
  wc.lpszClassName = u"BriselStubView";
  RegisterClassW(&wc);
  g_view = CreateWindowExW(0, u"BriselStubView", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  BOOL ok = EmbedIntoWindow(g_view, slot);
  RECT rc{};
  GetWindowRect(g_view, &rc);
  Log("attach " + std::to_string(ok) + " " + std::to_string(rc.right - rc.left) + "x" +
      std::to_string(rc.bottom - rc.top));
  if (EnvInt("BRISEL_STUB_NO_READY", 0)) return;
  SetTimer(g_view, 1, static_cast<UINT>(EnvInt("BRISEL_STUB_READY_MS", 0)) + 1, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  JoinMessagePorts();
  InitUiThread();
  std::string args;
  for (int i = 1; i < argc; ++i) args += std::string(argv[i]) + "|";
  Log("args " + std::to_string(argc - 1) + " " + args);
  const char* proxy = std::getenv(kBriselProxyVariable);
  Log("proxy " + std::string(proxy ? proxy : "(none)"));
  if (EnvInt("BRISEL_STUB_EXIT", 0)) return 3;
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) {
    if (!m.hwnd) {
      Log("thread " + std::to_string(m.message) + " " + std::to_string(m.wParam));
      if (m.message == BRISEL_MSG_ATTACH && !g_view)
        Attach(reinterpret_cast<HWND>(m.wParam), reinterpret_cast<HWND>(m.lParam));
      continue;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
