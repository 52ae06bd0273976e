#include "shell/brisel_helper.h"

#include <atomic>
#include <cstring>

#include "browser/brisel_catalogue.h"
#include "controls/control_messages.h"
#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_port.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"

namespace {

// Posted to the helper itself: a pop-up address (heap WCHAR[] copy) to send
// on to the owner as WM_POP_HTML once the browser's send has returned.
constexpr UINT WM_BRISEL_POP_ADDRESS = WM_USER + 0x1B1;

std::string& ProgramOverride() {
  static std::string path;
  return path;
}

std::string BriselProgramPath() {
  if (!ProgramOverride().empty()) return ProgramOverride();
  std::string folder = InstallRoot();
  if (folder.empty()) folder = ProgramFolder();
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  return folder + kBriselProgram;
}

void Trace(const std::string& text) { OutputDebugStringA(("brisel helper: " + text + "\n").c_str()); }

std::u16string TextOf(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(); }

// The black window the browser's view goes into.
class BriselSlot : public CWnd {
 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(0, 0, 0));
  }
};

template <typename Char>
Char* HeapCopy(const std::basic_string<Char>& text) {
  Char* copy = new Char[text.size() + 1];
  std::memcpy(copy, text.data(), text.size() * sizeof(Char));
  copy[text.size()] = 0;
  return copy;
}

}  // namespace

void SetBriselProgramForTesting(const std::string& path) { ProgramOverride() = path; }

namespace {
std::atomic<int> g_startWaitMs{500};
}  // namespace

void SetBriselStartWaitForTesting(int ms) { g_startWaitMs = ms > 0 ? ms : 500; }

VexloBriselHelper::~VexloBriselHelper() {
  TerminateBrowser();
  if (slot_ && slot_->GetSafeHwnd()) slot_->DestroyWindow();
}

HWND VexloBriselHelper::SlotWindow() const { return slot_ ? slot_->GetSafeHwnd() : nullptr; }

void VexloBriselHelper::SetHost(CWnd* host) {
  if (host == host_) return;
  if (slot_ && slot_->GetSafeHwnd()) slot_->DestroyWindow();
  slot_.reset();
  host_ = host;
}

void VexloBriselHelper::PlaceSlot(const RECT& rect) {
  if (!host_ || !host_->GetSafeHwnd()) return;
  if (!slot_ || !slot_->GetSafeHwnd()) {
    slot_ = std::make_unique<BriselSlot>();
    if (!slot_->Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect, host_, 0)) {
      Trace("cannot create the browser's slot");
      slot_.reset();
      return;
    }
    ::SetWindowPos(slot_->GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
  slot_->MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void VexloBriselHelper::StartBrowser(const WCHAR* address, CWnd* host, const RECT& rect) {
  TerminateBrowser();
  if (host) SetHost(host);
  std::string proxy = MakeProxyString();
  PlaceSlot(rect);

  ProcessStart start;
  start.exe = BriselProgramPath();
  start.args = BuildBriselArgs(WideToUtf8(TextOf(address)), BriselRect{rect.left, rect.top, rect.right, rect.bottom});
  start.env.push_back(std::string(kBriselProxyVariable) + "=" + proxy);
  int pid = 0;
  DWORD thread = 0;
  if (!StartProcessWithPort(start, &pid, &thread)) {
    Trace("cannot start " + start.exe);
    return;
  }
  pid_ = pid;
  thread_ = thread;
  int code = 0;
  if (WaitProcess(pid, static_cast<DWORD>(g_startWaitMs.load()), &code)) {
    Trace("the browser ended at start with code " + std::to_string(code));
    pid_ = 0;
    thread_ = 0;
    return;
  }
  ::PostThreadMessageW(thread_, BRISEL_MSG_ATTACH, reinterpret_cast<WPARAM>(SlotWindow()),
                       reinterpret_cast<LPARAM>(GetSafeHwnd()));
}

void VexloBriselHelper::StartBrowserSized(const WCHAR* address, CWnd* host, int width, int height) {
  StartBrowser(address, host, RECT{0, 0, width, height});
}

BOOL VexloBriselHelper::TerminateBrowser() {
  view_ = nullptr;
  if (pid_ <= 0) return FALSE;
  int pid = pid_;
  pid_ = 0;
  thread_ = 0;
  BOOL ok = TerminateProcessById(pid) ? TRUE : FALSE;
  WaitProcess(pid, 5000, nullptr);
  return ok;
}

LRESULT VexloBriselHelper::SendRecord(std::uintptr_t type, const void* data, DWORD bytes) {
  if (!view_) return 0;
  COPYDATASTRUCT record{type, bytes, const_cast<void*>(data)};
  return ::SendMessageW(view_, WM_COPYDATA, reinterpret_cast<WPARAM>(GetSafeHwnd()),
                        reinterpret_cast<LPARAM>(&record));
}

LRESULT VexloBriselHelper::SendText(std::uintptr_t type, const std::u16string& text) {
  return SendRecord(type, text.data(), static_cast<DWORD>(text.size() * sizeof(char16_t)));
}

void VexloBriselHelper::Navigate(const WCHAR* address) {
  if (view_) SendText(BRISEL_COPY_NAVIGATE, TextOf(address));
  else keptAddress_ = TextOf(address);
}

void VexloBriselHelper::SetCookies(const WCHAR* cookies) {
  if (view_) SendText(BRISEL_COPY_COOKIES, TextOf(cookies));
  else keptCookies_ = TextOf(cookies);
}

void VexloBriselHelper::SetNewsHtml(const WCHAR* html) {
  if (view_) SendText(BRISEL_COPY_NEWS_HTML, TextOf(html));
  else keptNews_ = TextOf(html);
}

void VexloBriselHelper::MoveBrowser(const RECT& rect) {
  if (slot_ && slot_->GetSafeHwnd())
    slot_->MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  if (view_) {
    std::int32_t box[4] = {rect.left, rect.top, rect.right, rect.bottom};
    SendRecord(BRISEL_COPY_MOVE, box, sizeof box);
  } else {
    keptRect_ = rect;
  }
}

int VexloBriselHelper::CallScript(const WCHAR* function) {
  return static_cast<int>(SendText(BRISEL_COPY_CALL_SCRIPT, TextOf(function)));
}

void VexloBriselHelper::BackToFirstPage() {
  if (thread_) ::PostThreadMessageW(thread_, BRISEL_MSG_BACK_TO_FIRST, 0, 0);
}

void VexloBriselHelper::SetHostFlag(int flag) {
  if (thread_) ::PostThreadMessageW(thread_, BRISEL_MSG_SET_HOST_FLAG, static_cast<WPARAM>(flag), 0);
}

void VexloBriselHelper::ShowBrowser(int showCommand) {
  if (GetSafeHwnd()) ShowWindow(showCommand);
  if (slot_ && slot_->GetSafeHwnd()) slot_->ShowWindow(showCommand);
  if (thread_) ::PostThreadMessageW(thread_, BRISEL_MSG_SHOW, static_cast<WPARAM>(showCommand), 0);
}

LRESULT VexloBriselHelper::OnBrowserReady(HWND view) {
  // A report of a process this helper has ended since is not ours.
  DWORD from = 0;
  if (!pid_ || !::GetWindowThreadProcessId(view, &from) || static_cast<int>(from) != pid_) {
    Trace("a ready report from a browser that is not the current one");
    return 1;
  }
  view_ = view;
  if (!keptNews_.empty()) SendText(BRISEL_COPY_NEWS_HTML, keptNews_);
  if (!IsRectEmpty(&keptRect_)) {
    std::int32_t box[4] = {keptRect_.left, keptRect_.top, keptRect_.right, keptRect_.bottom};
    SendRecord(BRISEL_COPY_MOVE, box, sizeof box);
  }
  if (!keptCookies_.empty()) SendText(BRISEL_COPY_COOKIES, keptCookies_);
  if (!keptAddress_.empty()) SendText(BRISEL_COPY_NAVIGATE, keptAddress_);
  keptNews_.clear();
  keptCookies_.clear();
  keptAddress_.clear();
  keptRect_ = RECT{};
  ::PostMessageW(owner_, WM_BROWSER_READY, reinterpret_cast<WPARAM>(static_cast<IBriselHelper*>(this)), 0);
  return 1;
}

BOOL VexloBriselHelper::OnBrowserRecord(const COPYDATASTRUCT* record) {
  if (!record) return TRUE;
  switch (record->dwData) {
    case BRISEL_COPY_WEB_COMMAND: {
      std::string text(static_cast<const char*>(record->lpData), record->lpData ? record->cbData : 0);
      char* copy = HeapCopy(text);
      if (!::PostMessageW(owner_, WM_WEB_COMMAND, reinterpret_cast<WPARAM>(copy), 0)) delete[] copy;
      break;
    }
    case BRISEL_COPY_ACCESS_TOKEN: {
      std::u16string text = RecordText(record->lpData, record->cbData);
      UINT msg = text.find(u"&openid=") != std::u16string::npos ? WM_OAUTH_QQ_URL : WM_OAUTH_SINA_URL;
      WCHAR* copy = HeapCopy(text);
      if (!::PostMessageW(owner_, msg, reinterpret_cast<WPARAM>(copy), 0)) delete[] copy;
      break;
    }
    case BRISEL_COPY_NEW_WINDOW: {
      WCHAR* copy = HeapCopy(RecordText(record->lpData, record->cbData));
      if (!PostMessage(WM_BRISEL_POP_ADDRESS, reinterpret_cast<WPARAM>(copy), 0)) delete[] copy;
      break;
    }
    case BRISEL_COPY_KEY:
      ::PostMessageW(owner_, WM_KEY_COMMAND, 0,
                     static_cast<LPARAM>(ParseBriselKeyRecord(RecordText(record->lpData, record->cbData))));
      break;
    default:
      break;
  }
  return TRUE;
}

LRESULT VexloBriselHelper::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case BRISEL_MSG_VIEW_READY:
      return OnBrowserReady(reinterpret_cast<HWND>(wParam));
    case BRISEL_MSG_CLOSED:
      ::PostMessageW(owner_, WM_BRISEL_CLOSED, wParam, lParam);
      return 1;
    case WM_COPYDATA:
      return OnBrowserRecord(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_BRISEL_POP_ADDRESS: {
      // WM_POP_HTML lends its address for the call (senders keep it valid
      // while the handler runs), so it is sent from here and freed after.
      WCHAR* address = reinterpret_cast<WCHAR*>(wParam);
      if (owner_ && ::IsWindow(owner_)) ::SendMessageW(owner_, WM_POP_HTML, wParam, 0);
      delete[] address;
      return 0;
    }
    default:
      return CWnd::WindowProc(msg, wParam, lParam);
  }
}

void VexloBriselHelper::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  ::PostMessageW(owner_, WM_KEY_COMMAND, 0, static_cast<LPARAM>(key));
  CWnd::OnKeyDown(key, repeat, flags);
}

void VexloBriselHelper::OnLButtonDown(UINT flags, CPoint point) {
  SetFocus();
  CWnd::OnLButtonDown(flags, point);
}
