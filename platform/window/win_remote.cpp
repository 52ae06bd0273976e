// The window system between processes: handles and thread ids of other
// joined processes, carried over the kernel's message ports.
//
// Requests travel as port frames whose payload starts with an operation
// number. Questions about a window's record (find, exists, text, rectangle,
// owner) are answered at once by the receiver's port thread under the
// layer's lock; sends, showing and activation run on the receiver's UI
// thread as queued cross-thread calls; posts go straight into its queue.
#include "platform/window/win_remote.h"

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_thread.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QRect>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace {

enum Op : std::uint32_t {
  kOpFind = 1,
  kOpIsWindow = 2,
  kOpText = 3,
  kOpRect = 4,
  kOpOwner = 5,
  kOpSend = 10,
  kOpCopyData = 11,
  kOpShow = 12,
  kOpForeground = 13,
  kOpNativeId = 14,
  kOpEmbed = 15,
  kOpPost = 20,
  kOpSlotState = 21,
  kOpSlotGone = 22,
};

constexpr DWORD kFindAnswerMs = 500;  // a process slower than this is skipped by FindWindowW
constexpr DWORD kQueryMs = 2000;      // other questions about a foreign window

std::atomic<std::uintptr_t> g_instanceBits{0};
std::atomic<DWORD> g_sendTimeout{5000};

void Trace(const std::string& text) { OutputDebugStringA(("windows between processes: " + text + "\n").c_str()); }

std::uint32_t InstanceOf(HWND hwnd) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hwnd) >> 32);
}

std::string WideBytes(const WString& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(WCHAR));
}
WString BytesWide(const std::string& b) {
  WString s(b.size() / sizeof(WCHAR), u'\0');
  std::copy_n(b.data(), s.size() * sizeof(WCHAR), reinterpret_cast<char*>(s.data()));
  return s;
}

// Waits for a call: 1 answered (*reply), 0 time-out (the call is forgotten),
// -1 the peer went away. The UI thread runs the sends made to it meanwhile.
int WaitCall(std::uint32_t callId, DWORD timeoutMs, bool runSends, std::string* reply) {
  ULONGLONG deadline = RealTickCount64() + timeoutMs;
  bool ui = runSends && IsUiThread();
  for (;;) {
    std::uint64_t seen = PortEventCount();
    if (ui) RunQueuedCalls();
    PortCallState state = PortCallResult(callId, reply);
    if (state == PortCallState::kDone) return 1;
    if (state == PortCallState::kFailed) return -1;
    ULONGLONG now = RealTickCount64();
    if (now >= deadline) {
      PortCallAbandon(callId);
      return 0;
    }
    PortWaitEvent(seen, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100)));
  }
}

// One question to the owner of a foreign handle; false (with
// ERROR_INVALID_WINDOW_HANDLE) when it cannot be answered.
bool Ask(HWND hwnd, std::uint8_t kind, PortWriter& request, std::string* reply, DWORD timeoutMs = kQueryMs) {
  std::uint32_t call = PortCallStart(InstanceOf(hwnd), kind, request.Data());
  int r = call ? WaitCall(call, timeoutMs, kind == kPortCall, reply) : -1;
  if (r == 1) return true;
  SetLastError(r == 0 ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
  return false;
}

PortWriter Request(Op op, HWND hwnd) {
  PortWriter w;
  w.U32(op);
  w.U64(reinterpret_cast<std::uintptr_t>(hwnd));
  return w;
}

// ---------------------------------------------------------------------------
// Embedding state.

struct SlotClient {
  std::uint32_t instance;
  HWND client;
  int pid;
};
struct EmbeddedIn {
  HWND slot;
  int hostPid;
};
std::mutex g_embedLock;
std::map<HWND, SlotClient> g_slots;      // host side: slot -> its client
std::map<HWND, EmbeddedIn> g_embedded;  // client side: own window -> where it lives

void SendSlotState(HWND slot, const SlotClient& c) {
  QRect rect;
  bool visible = false;
  if (!GetNativeChildInfo(slot, nullptr, &rect, &visible)) return;
  PortWriter req = Request(kOpSlotState, c.client);
  req.U32(static_cast<std::uint32_t>(rect.width()));
  req.U32(static_cast<std::uint32_t>(rect.height()));
  req.U32(visible ? 1 : 0);
  PortSend(c.instance, kPortPost, req.Data());
}

// Client side, UI thread.
void ApplySlotState(HWND own, int width, int height, bool visible) {
  {
    std::lock_guard<std::mutex> g(g_embedLock);
    if (!g_embedded.count(own)) return;
  }
  SetWindowPos(own, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(own, visible ? SW_SHOWNA : SW_HIDE);
}

void EndEmbedding(HWND own) {
  {
    std::lock_guard<std::mutex> g(g_embedLock);
    if (!g_embedded.erase(own)) return;
  }
  DestroyWindow(own);
}

// ---------------------------------------------------------------------------
// The receiving side.

void AnswerQuery(std::uint64_t conn, std::uint32_t callId, std::uint32_t op, HWND hwnd, PortReader& in) {
  PortWriter out;
  switch (op) {
    case kOpFind: {
      std::uint32_t hasClass = 0, hasTitle = 0;
      std::string cls, title;
      if (!in.U32(&hasClass) || !in.Bytes(&cls) || !in.U32(&hasTitle) || !in.Bytes(&title)) break;
      WString c = BytesWide(cls), t = BytesWide(title);
      HWND found = FindLocalWindow(hasClass ? c.c_str() : nullptr, hasTitle ? t.c_str() : nullptr);
      out.U64(reinterpret_cast<std::uintptr_t>(found));
      break;
    }
    case kOpIsWindow:
      out.U32(IsWindow(hwnd) ? 1 : 0);
      break;
    case kOpText: {
      WString text;
      if (IsWindow(hwnd)) {
        std::vector<WCHAR> buf(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1);
        int n = GetWindowTextW(hwnd, buf.data(), static_cast<int>(buf.size()));
        text.assign(buf.data(), static_cast<std::size_t>(n));
      }
      out.Bytes(WideBytes(text));
      break;
    }
    case kOpRect: {
      RECT r{};
      BOOL ok = GetWindowRect(hwnd, &r);
      out.U32(ok ? 1 : 0);
      for (LONG v : {r.left, r.top, r.right, r.bottom}) out.U32(static_cast<std::uint32_t>(v));
      break;
    }
    case kOpOwner: {
      DWORD pid = 0;
      DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
      out.U32(tid);
      out.U32(pid);
      break;
    }
    default:
      Trace("unknown question " + std::to_string(op));
      break;
  }
  PortReply(conn, callId, out.Data());
}

// Runs on the UI thread.
void AnswerCall(std::uint64_t conn, std::uint32_t callId, std::uint32_t op, HWND hwnd, const std::string& rest) {
  PortReader in(rest);
  PortWriter out;
  bool exists = IsWindow(hwnd);
  switch (op) {
    case kOpSend: {
      std::uint32_t msg = 0;
      std::uint64_t w = 0, l = 0;
      if (!in.U32(&msg) || !in.U64(&w) || !in.U64(&l) || !exists) {
        out.U32(0);
        out.U64(0);
        break;
      }
      LRESULT r = CallWindowAsSend(hwnd, msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l));
      out.U32(1);
      out.U64(static_cast<std::uint64_t>(r));
      break;
    }
    case kOpCopyData: {
      std::uint64_t w = 0, data = 0;
      // The receiver's own copy, alive for the handler's run only.
      auto bytes = std::make_unique<std::string>();
      if (!in.U64(&w) || !in.U64(&data) || !in.Bytes(bytes.get()) || bytes->size() > kCopyDataMax || !exists) {
        out.U32(0);
        out.U64(0);
        break;
      }
      COPYDATASTRUCT cds{static_cast<std::uintptr_t>(data), static_cast<DWORD>(bytes->size()),
                         bytes->empty() ? nullptr : bytes->data()};
      LRESULT r = CallWindowAsSend(hwnd, WM_COPYDATA, static_cast<WPARAM>(w), reinterpret_cast<LPARAM>(&cds));
      bytes.reset();
      out.U32(1);
      out.U64(static_cast<std::uint64_t>(r));
      break;
    }
    case kOpShow: {
      std::uint32_t cmd = 0;
      BOOL was = FALSE;
      if (in.U32(&cmd) && exists) {
        was = ShowWindow(hwnd, static_cast<int>(cmd));
        if (cmd != SW_HIDE && cmd != SW_MINIMIZE && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWNA)
          SetForegroundWindow(hwnd);  // on screen the owner raises and activates its own window
      }
      out.U32(was ? 1 : 0);
      break;
    }
    case kOpForeground:
      out.U32(exists && SetForegroundWindow(hwnd) ? 1 : 0);
      break;
    case kOpNativeId:
      out.U64(exists ? GetNativeWindowId(hwnd) : 0);
      break;
    case kOpEmbed: {
      std::uint64_t client = 0;
      std::uint32_t instance = 0, pid = 0;
      std::uintptr_t id = 0;
      QRect rect;
      bool visible = false;
      if (!in.U64(&client) || !in.U32(&instance) || !in.U32(&pid) || !exists ||
          !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) || !(id = GetNativeWindowId(hwnd)) ||
          !GetNativeChildInfo(hwnd, nullptr, &rect, &visible)) {
        out.U32(0);
        break;
      }
      {
        std::lock_guard<std::mutex> g(g_embedLock);
        g_slots[hwnd] = SlotClient{instance, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(client)),
                                   static_cast<int>(pid)};
      }
      out.U32(1);
      out.U64(id);
      out.U32(static_cast<std::uint32_t>(rect.width()));
      out.U32(static_cast<std::uint32_t>(rect.height()));
      out.U32(visible ? 1 : 0);
      break;
    }
    default:
      Trace("unknown call " + std::to_string(op));
      out.U32(0);
      out.U64(0);
      break;
  }
  PortReply(conn, callId, out.Data());
}

void OnFrame(std::uint64_t conn, PortFrame frame) {
  PortReader in(frame.payload);
  std::uint32_t op = 0;
  std::uint64_t handle = 0;
  if (!in.U32(&op) || !in.U64(&handle)) {
    Trace("a request too short to read");
    if (frame.kind != kPortPost) PortReply(conn, frame.callId, std::string());
    return;
  }
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
  // A request names only our own windows; anything else counts as no window
  // (and never makes this thread ask a third process).
  if (frame.kind != kPortPost && IsForeignHandle(hwnd)) hwnd = nullptr;
  if (frame.kind == kPortQuery) return AnswerQuery(conn, frame.callId, op, hwnd, in);
  if (frame.kind == kPortPost) {
    std::uint32_t msg = 0;
    std::uint64_t w = 0, l = 0;
    if (op == kOpSlotState) {
      std::uint32_t width = 0, height = 0, visible = 0;
      if (!in.U32(&width) || !in.U32(&height) || !in.U32(&visible) || width > 100000 || height > 100000) {
        Trace("a bad slot state");
        return;
      }
      QueueUiCall([hwnd, width, height, visible] {
        ApplySlotState(hwnd, static_cast<int>(width), static_cast<int>(height), visible != 0);
      });
      return;
    }
    if (op == kOpSlotGone) {
      QueueUiCall([hwnd] { EndEmbedding(hwnd); });
      return;
    }
    if (op != kOpPost || !in.U32(&msg) || !in.U64(&w) || !in.U64(&l)) {
      Trace("a bad post");
      return;
    }
    if (hwnd && IsForeignHandle(hwnd)) {
      Trace("a post for a window of another process dropped");
      return;
    }
    if (!PostMessageW(hwnd, msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l)))
      Trace("a post to a window that no longer exists dropped");
    return;
  }
  // A call: on the UI thread, in order with the other calls.
  std::string rest(frame.payload.substr(12));
  std::uint32_t callId = frame.callId;
  QueueUiCall([conn, callId, op, hwnd, rest = std::move(rest)] { AnswerCall(conn, callId, op, hwnd, rest); });
  PortSignal();  // wakes a UI thread waiting in a send of its own
}

std::string EscapeBoxText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

}  // namespace

std::uintptr_t HandleInstanceBits() { return g_instanceBits.load(std::memory_order_relaxed); }

bool IsForeignHandle(HWND hwnd) {
  auto h = reinterpret_cast<std::uintptr_t>(hwnd);
  std::uintptr_t high = h >> 32;
  return high != 0 && high <= 0xFFFFFF && (h & ~std::uintptr_t{0xFFFFFFFF}) != HandleInstanceBits();
}

bool JoinMessagePorts(const std::string& folder) {
  static bool joined = [&] {
    if (!PortJoin(folder, OnFrame)) return false;
    std::uint32_t instance = PortInstance();
    g_instanceBits = static_cast<std::uintptr_t>(instance) << 32;
    DWORD tid = PortThreadIdOf(instance);
    AdoptCurrentThreadId(tid);
    SetUiThreadIdForPorts(tid);
    return true;
  }();
  return joined;
}

void SetCrossProcessSendTimeout(DWORD ms) { g_sendTimeout = ms; }
DWORD CrossProcessSendTimeout() { return g_sendTimeout; }

HWND RemoteFindWindow(LPCWSTR className, LPCWSTR title) {
  std::vector<std::uint32_t> peers = PortPeers();
  if (peers.empty()) return nullptr;
  PortWriter req = Request(kOpFind, nullptr);
  req.U32(className ? 1 : 0);
  req.Bytes(WideBytes(className ? WString(className) : WString()));
  req.U32(title ? 1 : 0);
  req.Bytes(WideBytes(title ? WString(title) : WString()));
  // Ask everyone at once; answers count in the order of the folder.
  std::vector<std::uint32_t> calls;
  for (std::uint32_t peer : peers) calls.push_back(PortCallStart(peer, kPortQuery, req.Data()));
  HWND found = nullptr;
  ULONGLONG deadline = RealTickCount64() + kFindAnswerMs;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!calls[i]) continue;
    if (found) {
      PortCallAbandon(calls[i]);
      continue;
    }
    ULONGLONG now = RealTickCount64();
    std::string reply;
    int r = WaitCall(calls[i], now < deadline ? static_cast<DWORD>(deadline - now) : 0, false, &reply);
    std::uint64_t h = 0;
    PortReader in(reply);
    if (r == 1 && in.U64(&h) && InstanceOf(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(h))) == peers[i])
      found = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(h));
    else if (r == 0)
      Trace("FindWindowW: a process did not answer within 500 ms and was skipped");
  }
  return found;
}

BOOL RemoteIsWindow(HWND hwnd) {
  PortWriter req = Request(kOpIsWindow, hwnd);
  std::string reply;
  std::uint32_t v = 0;
  if (!Ask(hwnd, kPortQuery, req, &reply)) return FALSE;
  PortReader in(reply);
  return in.U32(&v) && v ? TRUE : FALSE;
}

BOOL RemoteGetWindowRect(HWND hwnd, RECT* rect) {
  if (!rect) return FALSE;
  PortWriter req = Request(kOpRect, hwnd);
  std::string reply;
  if (!Ask(hwnd, kPortQuery, req, &reply)) return FALSE;
  PortReader in(reply);
  std::uint32_t ok = 0, v[4] = {};
  if (!in.U32(&ok) || !ok || !in.U32(&v[0]) || !in.U32(&v[1]) || !in.U32(&v[2]) || !in.U32(&v[3])) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[2]), static_cast<LONG>(v[3])};
  return TRUE;
}

WString RemoteGetWindowText(HWND hwnd) {
  PortWriter req = Request(kOpText, hwnd);
  std::string reply, bytes;
  if (!Ask(hwnd, kPortQuery, req, &reply)) return WString();
  PortReader in(reply);
  return in.Bytes(&bytes) ? BytesWide(bytes) : WString();
}

namespace {
BOOL AskFlag(HWND hwnd, Op op, int arg) {
  PortWriter req = Request(op, hwnd);
  req.U32(static_cast<std::uint32_t>(arg));
  std::string reply;
  if (!Ask(hwnd, kPortCall, req, &reply, CrossProcessSendTimeout())) return FALSE;
  PortReader in(reply);
  std::uint32_t v = 0;
  return in.U32(&v) && v ? TRUE : FALSE;
}
}  // namespace

BOOL RemoteShowWindow(HWND hwnd, int cmd) { return AskFlag(hwnd, kOpShow, cmd); }
BOOL RemoteSetForegroundWindow(HWND hwnd) { return AskFlag(hwnd, kOpForeground, 0); }

std::uintptr_t RemoteNativeWindowId(HWND hwnd) {
  PortWriter req = Request(kOpNativeId, hwnd);
  std::string reply;
  if (!Ask(hwnd, kPortCall, req, &reply, CrossProcessSendTimeout())) return 0;
  PortReader in(reply);
  std::uint64_t id = 0;
  return in.U64(&id) ? static_cast<std::uintptr_t>(id) : 0;
}

namespace {
BOOL Post(std::uint32_t instance, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  PortWriter req = Request(kOpPost, hwnd);
  req.U32(msg);
  req.U64(wParam);
  req.U64(static_cast<std::uint64_t>(lParam));
  if (PortSend(instance, kPortPost, req.Data())) return TRUE;
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return FALSE;
}
}  // namespace

BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Post(InstanceOf(hwnd), hwnd, msg, wParam, lParam);
}

BOOL RemotePostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::uint32_t instance = PortInstanceOfThreadId(threadId);
  if (instance == 0 || instance == PortInstance()) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  if (Post(instance, nullptr, msg, wParam, lParam)) return TRUE;
  SetLastError(ERROR_INVALID_THREAD_ID);
  return FALSE;
}

LRESULT RemoteSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, bool* ok) {
  if (ok) *ok = false;
  PortWriter req;
  if (msg == WM_COPYDATA) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!cds || cds->cbData > kCopyDataMax || (!cds->lpData && cds->cbData)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    req = Request(kOpCopyData, hwnd);
    req.U64(wParam);
    req.U64(cds->dwData);
    req.Bytes(std::string_view(static_cast<const char*>(cds->lpData), cds->cbData));
  } else {
    req = Request(kOpSend, hwnd);
    req.U32(msg);
    req.U64(wParam);
    req.U64(static_cast<std::uint64_t>(lParam));
  }
  std::string reply;
  if (!Ask(hwnd, kPortCall, req, &reply, timeoutMs)) return 0;
  PortReader in(reply);
  std::uint32_t handled = 0;
  std::uint64_t result = 0;
  if (!in.U32(&handled) || !handled || !in.U64(&result)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (ok) *ok = true;
  return static_cast<LRESULT>(result);
}

LRESULT SendMessageTimeoutW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT, UINT timeoutMs,
                            std::uintptr_t* result) {
  if (!IsForeignHandle(hwnd)) {
    if (!IsWindow(hwnd)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    LRESULT r = SendMessageW(hwnd, msg, wParam, lParam);
    if (result) *result = static_cast<std::uintptr_t>(r);
    return 1;
  }
  bool ok = false;
  LRESULT r = RemoteSendMessage(hwnd, msg, wParam, lParam, timeoutMs, &ok);
  if (!ok) return 0;
  if (result) *result = static_cast<std::uintptr_t>(r);
  return 1;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  if (IsForeignHandle(hwnd)) {
    PortWriter req = Request(kOpOwner, hwnd);
    std::string reply;
    if (!Ask(hwnd, kPortQuery, req, &reply)) return 0;
    PortReader in(reply);
    std::uint32_t tid = 0, pid = 0;
    if (!in.U32(&tid) || !in.U32(&pid) || tid == 0) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (processId) *processId = pid;
    return tid;
  }
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId) *processId = static_cast<DWORD>(::getpid());
  return GetUiThreadId();
}

bool RecordTestBox(const WString& text, const WString& caption, UINT type, int* answer) {
  const char* file = ::getenv("ORV_TEST_BOXES");
  if (!file || !*file) return false;
  // A relative name counts from the folder the process started in.
  const std::string path = PathFromStartingFolder(file);
  std::string line = EscapeBoxText(WideToUtf8(caption)) + "\t" + EscapeBoxText(WideToUtf8(text)) + "\t" +
                     std::to_string(type) + "\n";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd >= 0) {
    (void)!::write(fd, line.data(), line.size());
    ::close(fd);
  } else {
    Trace("cannot write the message-box record " + path);
  }
  const char* chosen = ::getenv("ORV_TEST_BOX_ANSWER");
  *answer = chosen && *chosen ? std::atoi(chosen) : IDOK;
  return true;
}

void EmbeddingSlotChanged(HWND slot) {
  SlotClient client;
  {
    std::lock_guard<std::mutex> g(g_embedLock);
    auto it = g_slots.find(slot);
    if (it == g_slots.end()) return;
    client = it->second;
  }
  SendSlotState(slot, client);
}

void EmbeddingSlotDestroyed(HWND slot) {
  SlotClient client;
  {
    std::lock_guard<std::mutex> g(g_embedLock);
    auto it = g_slots.find(slot);
    if (it == g_slots.end()) return;
    client = it->second;
    g_slots.erase(it);
  }
  PortWriter req = Request(kOpSlotGone, client.client);
  PortSend(client.instance, kPortPost, req.Data());
}

std::vector<EmbeddingInfo> CurrentEmbeddings() {
  std::vector<std::pair<HWND, SlotClient>> live;
  {
    std::lock_guard<std::mutex> g(g_embedLock);
    live.assign(g_slots.begin(), g_slots.end());
  }
  std::vector<EmbeddingInfo> out;
  for (auto& [slot, client] : live) {
    QRect rect;
    bool visible = false;
    if (!GetNativeChildInfo(slot, nullptr, &rect, &visible)) continue;
    out.push_back(EmbeddingInfo{slot, client.pid, SIZE{rect.width(), rect.height()}, visible});
  }
  return out;
}

BOOL EmbedIntoWindow(HWND own, HWND slot) {
  if (IsForeignHandle(own) || !IsWindow(own) || (GetWindowLongPtrW(own, GWL_STYLE) & WS_CHILD)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!IsForeignHandle(slot) || PortInstance() == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD hostPid = 0;
  if (!GetWindowThreadProcessId(slot, &hostPid)) return FALSE;
  PortWriter req = Request(kOpEmbed, slot);
  req.U64(reinterpret_cast<std::uintptr_t>(own));
  req.U32(PortInstance());
  req.U32(static_cast<std::uint32_t>(::getpid()));
  std::string reply;
  if (!Ask(slot, kPortCall, req, &reply, CrossProcessSendTimeout())) return FALSE;
  PortReader in(reply);
  std::uint32_t ok = 0, width = 0, height = 0, visible = 0;
  std::uint64_t nativeId = 0;
  if (!in.U32(&ok) || !ok || !in.U64(&nativeId) || !in.U32(&width) || !in.U32(&height) || !in.U32(&visible) ||
      width > 100000 || height > 100000) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> g(g_embedLock);
    g_embedded[own] = EmbeddedIn{slot, static_cast<int>(hostPid)};
  }
  EmbedTopLevelOnScreen(own, static_cast<std::uintptr_t>(nativeId));
  ApplySlotState(own, static_cast<int>(width), static_cast<int>(height), visible != 0);
  // The host's end ends the embedded window too.
  StartThread([own, hostPid] {
    for (;;) {
      {
        std::lock_guard<std::mutex> g(g_embedLock);
        if (!g_embedded.count(own)) return;
      }
      if (!IsWindow(own)) return;
      // Ended, or already gone (WaitProcess answers false for no process).
      bool gone = WaitProcess(static_cast<int>(hostPid), 500, nullptr) ||
                  (::kill(static_cast<pid_t>(hostPid), 0) != 0 && errno == ESRCH);
      if (gone) {
        QueueUiCall([own] { EndEmbedding(own); });
        return;
      }
    }
  });
  return TRUE;
}
