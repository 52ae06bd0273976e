#include "controls/captcha_window.h"

#include <cstring>
#include <string>

#include "foundation/config_store.h"
#include "foundation/http_request.h"
#include "foundation/system_http.h"
#include "foundation/user_folders.h"

namespace {

// Posted to the window: a reply left its outcome in the slot; a Refresh
// asked from another thread.
constexpr UINT kReplyArrived = WM_USER + 0x1E0;
constexpr UINT kRefreshAsked = WM_USER + 0x1E1;

constexpr const char* kPictureFile = "temp\\code.jpeg";

HCURSOR HandCursor() { return LoadCursorW(nullptr, IDC_HAND); }

}  // namespace

CRandomCodeWnd::CRandomCodeWnd() = default;

CRandomCodeWnd::~CRandomCodeWnd() {
  if (m_hWnd) DestroyWindow();
  AbandonDownload();
}

void CRandomCodeWnd::SetUrl(const char* address) {
  std::memset(address_, 0, sizeof address_);
  if (address) std::strncpy(address_, address, kMaxAddress);
}

BOOL CRandomCodeWnd::Create(const RECT& rect, CWnd* parent, UINT id) {
  if (!CWnd::Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect, parent, id)) return FALSE;
  std::lock_guard<std::mutex> hold(slotLock_);
  replyWindow_ = m_hWnd;
  return TRUE;
}

void CRandomCodeWnd::Refresh() {
  if (!IsUiThread()) {
    std::lock_guard<std::mutex> hold(slotLock_);
    if (replyWindow_) PostMessageW(replyWindow_, kRefreshAsked, 0, 0);
    return;
  }
  RefreshOnUiThread();
}

void CRandomCodeWnd::RefreshOnUiThread() {
  ShowWindow(SW_HIDE);
  if (address_[0] == '\0') return;
  AbandonDownload();
  request_ = StartWinInetRequest(address_, "", nullptr, 0, MakeProxyString(), &CRandomCodeWnd::OnPictureReply, this);
}

void CRandomCodeWnd::AbandonDownload() {
  if (request_) AbandonHttpRequest(request_);
  request_ = 0;
  std::lock_guard<std::mutex> hold(slotLock_);
  slot_.reset();
}

void CRandomCodeWnd::OnPictureReply(HttpRequest* request, void* user, const char* body, int length, int status) {
  auto* self = static_cast<CRandomCodeWnd*>(user);
  if (status != kHttpCompleted && status != kHttpFailed && status != kHttpTimedOut) return;
  auto outcome = std::make_unique<Outcome>();
  outcome->request = request ? request->id : 0;
  outcome->status = status;
  if (status == kHttpCompleted) {
    DeleteDataFile(kPictureFile);
    if (WriteDataFile(kPictureFile, body, length)) {
      auto picture = std::make_unique<CImage>();
      if (picture->Load(DataRoot() + kPictureFile) == S_OK) outcome->picture = std::move(picture);
    }
    DeleteDataFile(kPictureFile);
  }
  std::lock_guard<std::mutex> hold(self->slotLock_);
  self->slot_ = std::move(outcome);
  if (self->replyWindow_) PostMessageW(self->replyWindow_, kReplyArrived, 0, 0);
}

void CRandomCodeWnd::TakeOutcome() {
  std::unique_ptr<Outcome> outcome;
  {
    std::lock_guard<std::mutex> hold(slotLock_);
    outcome = std::move(slot_);
  }
  if (!outcome || outcome->request != request_ || request_ == 0) return;
  ShowWindow(SW_SHOW);
  switch (outcome->status) {
    case kHttpCompleted: {
      const bool loaded = outcome->picture != nullptr;
      picture_ = std::move(outcome->picture);
      Invalidate();
      if (!loaded) MessageBoxW(nullptr, u"验证码加载失败,请刷新重试", u"验证码加载失败", MB_OK);
      break;
    }
    case kHttpFailed:
      MessageBoxW(nullptr, u"验证码获取失败,请检查网络连接", u"验证码获取失败", MB_OK);
      break;
    case kHttpTimedOut:
      MessageBoxW(nullptr, u"验证码获取超时,请刷新重试", u"验证码获取超时", MB_OK);
      break;
    default:
      break;
  }
}

LRESULT CRandomCodeWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kReplyArrived) {
    TakeOutcome();
    return 0;
  }
  if (message == kRefreshAsked) {
    RefreshOnUiThread();
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

void CRandomCodeWnd::OnPaint() {
  CPaintDC dc(this);
  if (!picture_) return;
  CRect rc;
  GetClientRect(&rc);
  picture_->StretchBlt(dc.m_hDC, rc, SRCCOPY);
}

BOOL CRandomCodeWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CRandomCodeWnd::OnLButtonDown(UINT flags, CPoint point) {
  SetCursor(HandCursor());
  Refresh();
  CWnd::OnLButtonDown(flags, point);
}

void CRandomCodeWnd::OnLButtonUp(UINT flags, CPoint point) {
  SetCursor(HandCursor());
  CWnd::OnLButtonUp(flags, point);
}

void CRandomCodeWnd::OnMouseMove(UINT flags, CPoint point) {
  SetCursor(HandCursor());
  CWnd::OnMouseMove(flags, point);
}

void CRandomCodeWnd::OnDestroy() {
  AbandonDownload();
  {
    std::lock_guard<std::mutex> hold(slotLock_);
    replyWindow_ = nullptr;
  }
  CWnd::OnDestroy();
}
