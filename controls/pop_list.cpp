#include "controls/pop_list.h"

#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "controls/skin_scroll_bar.h"
#include "foundation/debug_trace.h"
#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kTitleHeight = 20;
constexpr int kTextIndent = 10;       // cells and title start this far from the left edge
constexpr int kBarWidth = 16;
constexpr int kBarRightGap = 1;       // the bar spans right - 17 … right - 1
constexpr int kSkinResource = 154;
constexpr UINT kBarId = 1;
constexpr int kMaxTextUnits = 255;
constexpr uint32_t kOutlineColor = 0x69B0FF;
constexpr uint32_t kBackColor = 0x000000;
constexpr uint32_t kTitleTextColor = 0x000000;
constexpr LONG kMaxTrackWidth = 500;
constexpr LONG kMaxTrackHeight = 300;

int ClampTop(int value, int lo, int hi) { return std::max(lo, std::min(value, hi)); }

// Draws UTF-8 text (at most 255 units) in a colour and format.
void DrawCellText(CDC& dc, const std::string& text, uint32_t color, UINT format, RECT rect) {
  WCHAR units[kMaxTextUnits + 1];
  int bytes = static_cast<int>(std::min<size_t>(text.size(), INT32_MAX));
  Utf8ToUtf16(text.data(), bytes, units, kMaxTextUnits * static_cast<int>(sizeof(WCHAR)));
  int count = std::min(Utf16SizeOfUtf8(text.data(), bytes) / static_cast<int>(sizeof(WCHAR)), kMaxTextUnits);
  dc.SetTextColor(ColorFromRgb(color));
  dc.DrawText(units, count, &rect, format | DT_WORD_ELLIPSIS);
}

}  // namespace

CVexloPopListView::CVexloPopListView()
    : font_(CreateUiFont(GetUiFontFace(), 14)), scrollBar_(std::make_unique<CVexloScrollBar>()) {}

CVexloPopListView::~CVexloPopListView() {
  FreeSurface();
  if (scrollBar_->m_hWnd) scrollBar_->DestroyWindow();
  scrollBar_.reset();
  if (skin_) DeleteObject(skin_);
  if (font_) DeleteObject(font_);
}

void CVexloPopListView::FreeSurface() {
  if (!surfaceReady_) return;
  surface_.SelectObject(savedFont_);
  surface_.SelectObject(savedBitmap_);
  surfaceBitmap_.DeleteObject();
  surface_.DeleteDC();
  surfaceReady_ = false;
}

int CVexloPopListView::ScrollMax() const { return std::max(0, rowCount_ - visibleRows_); }

void CVexloPopListView::ResetScrollBar(int max) {
  if (!scrollBar_->m_hWnd) return;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = max;
  si.nPage = 1;
  si.nPos = 0;
  scrollBar_->SetScrollInfo(&si, FALSE);
  scrollBar_->ShowWindow(max > 0 ? SW_SHOW : SW_HIDE);
  scrollBar_->Invalidate(TRUE);
}

// ---------------------------------------------------------------------------
// Content.

void CVexloPopListView::SetGridSize(int columns, int rows) {
  cells_.clear();
  columnCount_ = rowCount_ = 0;
  selectedRow_ = -1;
  scrollPos_ = topRow_ = 0;
  if (scrollBar_->m_hWnd) {
    SCROLLINFO zero;
    zero.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    scrollBar_->SetScrollInfo(&zero, FALSE);
    scrollBar_->Invalidate(TRUE);
  }
  if (columns > 0 && rows > 0) {
    if (static_cast<int64_t>(columns) * rows > kMaxCells) {
      DebugPrintf("CVexloPopListView::SetGridSize: %d x %d cells refused", columns, rows);
    } else {
      cells_.resize(static_cast<size_t>(columns) * static_cast<size_t>(rows));
      columnCount_ = columns;
      rowCount_ = rows;
    }
  }
  ResetScrollBar(ScrollMax());
  if (m_hWnd) Invalidate(TRUE);
}

void CVexloPopListView::SetItem(int row, int column, const char* text, uint32_t color, UINT format,
                                std::uintptr_t userValue) {
  if (!text || row < 0 || row >= rowCount_ || column < 0 || column >= columnCount_) return;
  PopListCell& cell = cells_[static_cast<size_t>(row) * columnCount_ + column];
  cell.text = text;
  cell.color = color;
  cell.format = format;
  cell.userValue = userValue;
}

const char* CVexloPopListView::GetItemData(int row, int column) const {
  if (row < 0 || row >= rowCount_ || column < 0 || column >= columnCount_) return "";
  std::uintptr_t value = cells_[static_cast<size_t>(row) * columnCount_ + column].userValue;
  return value ? reinterpret_cast<const char*>(value) : "";
}

void CVexloPopListView::SetTitle(const char* title) {
  if (!title) return;
  size_t n = strnlen(title, sizeof title_ - 1);
  // A cut inside a character backs up to its lead byte.
  if (n == sizeof title_ - 1 && title[n] != '\0') {
    while (n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(title_, title, n);
  title_[n] = '\0';
  if (m_hWnd) Invalidate(TRUE);
}

// ---------------------------------------------------------------------------
// Window events.

LRESULT CVexloPopListView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GRID_SCROLL) {
    GridScroll(static_cast<int>(wParam));
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

int CVexloPopListView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  CRect client;
  GetClientRect(&client);
  scrollBar_->Create(WS_CHILD | WS_VISIBLE | SBS_VERT,
                     CRect(client.right - kBarWidth, client.top, client.right, client.bottom), this, kBarId);
  scrollBar_->ShowWindow(SW_HIDE);
  CBitmap skin;
  if (skin.LoadBitmap(kSkinResource)) skin_ = static_cast<HBITMAP>(skin.Detach());
  scrollBar_->SetBitmap(skin_);
  return 0;
}

void CVexloPopListView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  FreeSurface();
  if (cx > 0 && cy > 0) {
    CClientDC dc(this);
    surface_.CreateCompatibleDC(&dc);
    if (surfaceBitmap_.CreateCompatibleBitmap(&dc, cx, cy)) {
      savedBitmap_ = surface_.SelectObject(static_cast<HGDIOBJ>(surfaceBitmap_.m_hObject));
      savedFont_ = surface_.SelectObject(static_cast<HGDIOBJ>(font_));
      surface_.SetBkMode(TRANSPARENT);
      surfaceReady_ = true;
    } else {
      surface_.DeleteDC();
    }
  }
  visibleRows_ = std::max(0, cy / rowHeight_ - 1);
  if (scrollBar_->m_hWnd) {
    scrollBar_->MoveWindow(cx - kBarWidth - kBarRightGap, rowHeight_ + 1, kBarWidth,
                           std::max(0, cy - 1 - (rowHeight_ + 1)), TRUE);
  }
  ResetScrollBar(ScrollMax());
  Invalidate(TRUE);
}

BOOL CVexloPopListView::OnEraseBkgnd(CDC*) { return TRUE; }

CRect CVexloPopListView::BandRect(int row) const {
  CRect client;
  GetClientRect(&client);
  int bottom = client.top + kTitleHeight + (row - topRow_) * rowHeight_;
  return CRect(client.left, bottom + 1, client.right, bottom + rowHeight_);
}

void CVexloPopListView::DrawList(CDC& dc, const CRect& client) {
  if (rowCount_ < topRow_ + visibleRows_) topRow_ = rowCount_ - visibleRows_;
  topRow_ = std::max(0, topRow_);
  FillRectColor(dc, &client, kBackColor);
  DrawRectangle(dc, &client, kOutlineColor, 0);

  CRect title(client.left, client.top, client.right, client.top + kTitleHeight);
  FillRectColor(dc, &title, kOutlineColor);
  title.left += kTextIndent;
  if (scrollBar_->m_hWnd && scrollBar_->IsWindowVisible()) title.right -= kBarWidth;
  DrawTextUtf8InRect(dc, &title, title_, kTitleTextColor, 0);

  int previousBottom = title.bottom;
  for (int row = topRow_; row < rowCount_ && previousBottom + 1 < client.bottom; ++row) {
    CRect band(client.left, previousBottom + 1, client.right, previousBottom + rowHeight_);
    previousBottom = band.bottom;
    if (row == selectedRow_) {
      CRect bar(client.left + 1, band.top, band.right - 1, band.bottom - 1);
      FillRectColor(dc, &bar, selectionColor_);
    }
    CRect text(client.left + kTextIndent, band.top, band.right, band.bottom);
    for (int column = 0; column < columnCount_; ++column) {
      const PopListCell& cell = cells_[static_cast<size_t>(row) * columnCount_ + column];
      if (cell.text.empty()) continue;
      DrawCellText(dc, cell.text, cell.color, cell.format, text);
    }
  }
}

void CVexloPopListView::OnPaint() {
  CPaintDC dc(this);
  if (!surfaceReady_) return;
  CRect client;
  GetClientRect(&client);
  DrawList(surface_, client);
  dc.BitBlt(0, 0, client.Width(), client.Height(), &surface_, 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Input.

void CVexloPopListView::OnKeyDown(UINT key, UINT, UINT) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_KEYDOWN, key, 0);
}

int CVexloPopListView::RowAt(int y) const {
  if (y < rowHeight_) return -1;  // the title bar
  int row = topRow_ + (y - rowHeight_) / rowHeight_;
  return row < rowCount_ ? row : -1;
}

void CVexloPopListView::OnLButtonDown(UINT, CPoint point) {
  SetFocus();
  int row = RowAt(point.y);
  if (row < 0) return;
  selectedRow_ = row;
  Invalidate(TRUE);
}

void CVexloPopListView::OnLButtonDblClk(UINT, CPoint point) {
  int row = RowAt(point.y);
  if (row < 0) return;
  selectedRow_ = row;
  if (CWnd* parent = GetParent())
    parent->PostMessage(WM_POPLIST_DBLCLK, reinterpret_cast<WPARAM>(this), selectedRow_);
  Invalidate(TRUE);
}

BOOL CVexloPopListView::OnMouseWheel(UINT, short delta, CPoint) {
  if (rowCount_ <= 0) return TRUE;
  int n = selectedRow_ - delta / 120;
  if (n >= 0 && n < rowCount_ - 1) {
    bool scrolled = false;
    if (n - topRow_ >= visibleRows_) topRow_ = n - visibleRows_ + 1, scrolled = true;
    if (n - topRow_ < 0) topRow_ = n, scrolled = true;
    if (scrolled) {
      selectedRow_ = n;
      Invalidate(TRUE);
      PostMessage(WM_GRID_SCROLL, static_cast<WPARAM>(topRow_), 0);
      return TRUE;
    }
    if (selectedRow_ >= 0) {
      CRect old = BandRect(selectedRow_);
      InvalidateRect(&old, FALSE);
    }
    CRect now = BandRect(n);
    InvalidateRect(&now, FALSE);
    selectedRow_ = n;
    UpdateWindow();
  } else if (n < 0) {
    topRow_ = 0;
    selectedRow_ = 0;
    Invalidate(TRUE);
  } else {
    topRow_ = std::max(0, rowCount_ - visibleRows_);
    selectedRow_ = rowCount_ - 1;
    Invalidate(TRUE);
  }
  PostMessage(WM_GRID_SCROLL, static_cast<WPARAM>(topRow_), 0);
  return TRUE;
}

void CVexloPopListView::GridScroll(int wantedTop) {
  if (!scrollBar_->m_hWnd) return;
  SCROLLINFO si;
  scrollBar_->GetScrollInfo(&si, SIF_RANGE | SIF_PAGE);
  topRow_ = ClampTop(wantedTop, si.nMin, si.nMax - static_cast<int>(si.nPage) + 1);
  scrollBar_->SetScrollPos(topRow_, TRUE);
  scrollBar_->Invalidate(TRUE);
  Invalidate(TRUE);
}

void CVexloPopListView::OnVScroll(UINT code, UINT pos, CWnd* bar) {
  // Only the list's own bar moves the rows.
  if (!bar || !scrollBar_->m_hWnd || bar->m_hWnd != scrollBar_->m_hWnd) return;
  SCROLLINFO si;
  scrollBar_->GetScrollInfo(&si, SIF_ALL);
  int next = 0;
  switch (code) {
    case SB_LINEUP: next = si.nPos - 1; break;
    case SB_LINEDOWN: next = si.nPos + 1; break;
    case SB_PAGEUP: next = si.nPos - static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: next = si.nPos + static_cast<int>(si.nPage); break;
    case SB_THUMBPOSITION: next = si.nPos; break;
    case SB_THUMBTRACK: next = si.nTrackPos; break;
    case SB_TOP: next = si.nMin; break;
    case SB_BOTTOM: next = si.nMax; break;
    default: return;
  }
  next = ClampTop(next, si.nMin, si.nMax - static_cast<int>(si.nPage) + 1);
  scrollPos_ = topRow_ = next;
  scrollBar_->Invalidate(TRUE);
  Invalidate(TRUE);
  scrollBar_->SetScrollPos(next, TRUE);
  CWnd::OnVScroll(code, pos, bar);
}

void CVexloPopListView::OnGetMinMaxInfo(MINMAXINFO* info) {
  info->ptMaxTrackSize.x = kMaxTrackWidth;
  info->ptMaxTrackSize.y = kMaxTrackHeight;
  CWnd::OnGetMinMaxInfo(info);
}
