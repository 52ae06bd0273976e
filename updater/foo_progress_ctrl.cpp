#include "updater/foo_progress_ctrl.h"

#include <algorithm>

namespace {
constexpr DWORD kProgressStyle = 0x50001000;  // child, visible, smooth
}  // namespace

FooProgressCtrl::~FooProgressCtrl() {
  if (m_hWnd) DestroyWindow();
}

BOOL FooProgressCtrl::Create(const RECT& rect, CWnd* parent, UINT id, LPCWSTR backgroundPath, LPCWSTR barPath) {
  if (background_.Load(backgroundPath) != S_OK) ::MessageBoxW(nullptr, u"背景图片加载失败", nullptr, MB_OK);
  if (bar_.Load(barPath) != S_OK) ::MessageBoxW(nullptr, u"进度图片加载失败", nullptr, MB_OK);
  return CProgressCtrl::Create(kProgressStyle, rect, parent, id);
}

void FooProgressCtrl::SetRange(short minimum, short maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

void FooProgressCtrl::SetPos(int position) {
  position_ = position;
  if (m_hWnd) Invalidate(TRUE);
}

CRect FooProgressCtrl::BarRect() const {
  CRect client;
  GetClientRect(&client);
  if (maximum_ == minimum_) return CRect(0, 0, 0, 0);  // an empty range shows only the background
  const float ratio = static_cast<float>(static_cast<double>(static_cast<short>(position_) - minimum_) /
                                         static_cast<double>(maximum_ - minimum_));
  const short right = static_cast<short>(static_cast<int>(ratio * static_cast<float>(client.Width())));
  return CRect(0, client.top + 1, right, client.bottom - 1);
}

int FooProgressCtrl::OnCreate(LPCREATESTRUCT cs) {
  if (CProgressCtrl::OnCreate(cs) == -1) return -1;
  CRect client;
  GetClientRect(&client);
  HDC screen = ::GetDC(m_hWnd);
  memDc_ = CreateCompatibleDC(screen);
  memBitmap_ = CreateCompatibleBitmap(screen, std::max(1, client.Width()), std::max(1, client.Height()));
  ::ReleaseDC(m_hWnd, screen);
  oldBitmap_ = SelectObject(memDc_, memBitmap_);
  SetBkMode(memDc_, TRANSPARENT);
  ::SetTextColor(memDc_, RGB(255, 255, 255));
  return 0;
}

void FooProgressCtrl::OnDestroy() {
  CProgressCtrl::OnDestroy();
  background_.Destroy();
  bar_.Destroy();
  if (memDc_) {
    SelectObject(memDc_, oldBitmap_);
    DeleteObject(memBitmap_);
    DeleteDC(memDc_);
  }
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  oldBitmap_ = nullptr;
}

void FooProgressCtrl::OnPaint() {
  CPaintDC dc(this);
  if (!memDc_) return;
  CRect client;
  GetClientRect(&client);
  // A picture that failed to load leaves its area black.
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  FillRect(memDc_, &client, black);
  if (!background_.IsNull()) background_.StretchBlt(memDc_, client);
  const CRect bar = BarRect();
  if (bar.right > bar.left && bar.bottom > bar.top) {
    if (bar_.IsNull()) {
      FillRect(memDc_, &bar, black);
    } else {
      bar_.StretchBlt(memDc_, bar);
    }
  }
  BitBlt(dc.m_hDC, 0, 0, client.Width(), client.Height(), memDc_, 0, 0, SRCCOPY);
}

BOOL FooProgressCtrl::OnEraseBkgnd(CDC*) { return TRUE; }
