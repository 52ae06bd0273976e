#include "stockpage/panel_window.h"

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "foundation/text_codec.h"

#include <cstring>

CPanelWnd::~CPanelWnd() {
  std::lock_guard<std::mutex> hold(lock_);
  picture_.Free();
}

void CPanelWnd::DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment) {
  DrawTextAligned(dc, &rect, text, color, alignment);
}

void CPanelWnd::DrawUtf8CellText(HDC dc, const RECT& rect, const char* text, int bytes, uint32_t color,
                                 int alignment) {
  WCHAR wide[kNumberTextSize * 2] = {};
  const int length = static_cast<int>(strnlen(text, static_cast<size_t>(bytes)));
  Utf8ToUtf16(text, length, wide, static_cast<int>(sizeof wide - sizeof wide[0]));
  if (wide[0] == 0) return;
  DrawCellText(dc, rect, wide, color, alignment);
}

void CPanelWnd::Invalidated() {
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL CPanelWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CPanelWnd::OnSize(UINT, int cx, int cy) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Rebuild(m_hWnd, cx, cy);
    SizeChanged(cx, cy);
  }
  Invalidated();
}

void CPanelWnd::OnPaint() {
  CPaintDC dc(this);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!picture_.Made()) return;
    Render(picture_.Dc());
  }
  picture_.CopyTo(dc.m_hDC);
}
