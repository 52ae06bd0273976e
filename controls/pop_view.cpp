#include "controls/pop_view.h"

#include "foundation/draw_helpers.h"

#include <algorithm>

namespace {

// Holds the owner's lock when there is one.
class OwnerLock {
 public:
  explicit OwnerLock(CriticalSection* lock) : lock_(lock) {
    if (lock_) lock_->Enter();
  }
  ~OwnerLock() {
    if (lock_) lock_->Leave();
  }
  OwnerLock(const OwnerLock&) = delete;
  OwnerLock& operator=(const OwnerLock&) = delete;

 private:
  CriticalSection* lock_;
};

LPARAM PackPoint(CPoint point) {
  return static_cast<LPARAM>((point.x & 0xFFFF) | ((point.y & 0xFFFF) << 16));
}

}  // namespace

CVexloPopView::CVexloPopView() { font_ = CreateUiFont(GetUiFontFace(), 14); }

CVexloPopView::~CVexloPopView() {
  if (m_hWnd) DestroyWindow();
  {
    OwnerLock hold(lock_);
    ReleaseMemoryPicture();
  }
  DeleteObject(font_);
}

void CVexloPopView::ReleaseMemoryPicture() {
  if (!memDc_) return;
  SelectObject(memDc_, oldBitmap_);
  SelectObject(memDc_, oldFont_);
  DeleteObject(memBitmap_);
  DeleteDC(memDc_);
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  oldBitmap_ = nullptr;
  oldFont_ = nullptr;
}

void CVexloPopView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    // Under the owner's lock: a data thread may be drawing into the old picture.
    OwnerLock hold(lock_);
    ReleaseMemoryPicture();
    HDC screen = ::GetDC(m_hWnd);
    memDc_ = CreateCompatibleDC(screen);
    memBitmap_ = CreateCompatibleBitmap(screen, std::max(cx, 1), std::max(cy, 1));
    ::ReleaseDC(m_hWnd, screen);
    oldBitmap_ = SelectObject(memDc_, memBitmap_);
    oldFont_ = SelectObject(memDc_, font_);
    SetBkMode(memDc_, TRANSPARENT);
  }
  Invalidate(TRUE);
}

void CVexloPopView::OnPaint() {
  CPaintDC dc(this);
  OwnerLock hold(lock_);
  if (!memDc_) return;
  CRect client;
  GetClientRect(&client);
  BitBlt(dc, 0, 0, client.Width(), client.Height(), memDc_, 0, 0, SRCCOPY);
}

BOOL CVexloPopView::OnEraseBkgnd(CDC*) { return TRUE; }

void CVexloPopView::OnLButtonDown(UINT, CPoint point) {
  ::PostMessageW(::GetParent(m_hWnd), WM_LBUTTONDOWN, reinterpret_cast<WPARAM>(this), PackPoint(point));
}

void CVexloPopView::OnLButtonDblClk(UINT, CPoint point) {
  ::PostMessageW(::GetParent(m_hWnd), WM_LBUTTONDBLCLK, reinterpret_cast<WPARAM>(this), PackPoint(point));
}

void CVexloPopView::OnKeyDown(UINT key, UINT, UINT) {
  ::PostMessageW(::GetParent(m_hWnd), WM_KEYDOWN, key, 0);
}
