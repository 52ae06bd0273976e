#include "stockpage/price_statis_view.h"

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "stockpage/panel_formats.h"

#include <algorithm>

using namespace panel;

namespace {

constexpr uint32_t kFirstPart = 0x079B00;   // the volume less its second part
constexpr uint32_t kSecondPart = 0x9B0000;  // the second part
constexpr int kSkinBitmap = 147;

// a * b / c in 64-bit arithmetic, truncating, without overflow in between;
// c is not 0. The result is held within the 64-bit range.
int64_t MulDiv64(int64_t a, int64_t b, int64_t c) {
  const __int128 q = static_cast<__int128>(a) * b / c;
  if (q > INT64_MAX) return INT64_MAX;
  if (q < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(q);
}

}  // namespace

CPriceStatisView::CPriceStatisView() {
  rowFont_ = CreateUiFont(GetUiFontFace(), 15);
  titleFont_ = CreateUiFont(GetUiFontFace(), 16);
  scrollInfo_.cbSize = 28;
  scrollInfo_.fMask = SIF_ALL;
  scrollInfo_.nPage = 1;
}

CPriceStatisView::~CPriceStatisView() {
  if (scrollBar_.m_hWnd) scrollBar_.DestroyWindow();
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Free();
  }
  DeleteGdiObject(rowFont_);
  DeleteGdiObject(titleFont_);
  DeleteGdiObject(skin_);
}

int CPriceStatisView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  scrollBar_.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(0, 0, 0, 0), this, 0);
  skin_ = LoadBitmapW(nullptr, MAKEINTRESOURCEW(kSkinBitmap));
  scrollBar_.SetBitmap(skin_);
  return 0;
}

int CPriceStatisView::MaxFirstRow() const {
  const int rows = static_cast<int>(levels_.size());
  return std::max(0, rows - pageSize_);
}

void CPriceStatisView::PostScrollState() {
  scrollInfo_.cbSize = 28;
  scrollInfo_.fMask = SIF_ALL;
  scrollInfo_.nMin = 0;
  scrollInfo_.nMax = MaxFirstRow();
  scrollInfo_.nPage = 1;
  scrollInfo_.nPos = firstRow_;
  if (m_hWnd)
    ::PostMessageW(m_hWnd, WM_APPLY_SCROLLINFO, reinterpret_cast<WPARAM>(&scrollBar_),
                   reinterpret_cast<LPARAM>(&scrollInfo_));
}

void CPriceStatisView::SetData(const PriceStatArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasArea_ = area != nullptr;
    levels_.clear();
    if (area) {
      const int count = std::clamp<int>(area->levelCount, 0, kPriceLevelRoom);
      levels_.assign(area->levels, area->levels + count);
      decimals_ = area->key.decimals;
      referencePrice_ = area->referencePrice;
      largestVolume_ = area->largestVolume;
    }
    firstRow_ = std::min(firstRow_, MaxFirstRow());
    PostScrollState();
  }
  Invalidated();
}

void CPriceStatisView::Clear() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasArea_ = false;
    levels_.clear();
    firstRow_ = 0;
    PostScrollState();
  }
  Invalidated();
}

int CPriceStatisView::FirstRow() const {
  std::lock_guard<std::mutex> hold(lock_);
  return firstRow_;
}

int CPriceStatisView::PageSize() const {
  std::lock_guard<std::mutex> hold(lock_);
  return pageSize_;
}

LRESULT CPriceStatisView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APPLY_SCROLLINFO) {
    // The description is read under the lock: a later SetData may be
    // rewriting it on another thread (its own post follows this one).
    SCROLLINFO info;
    {
      std::lock_guard<std::mutex> hold(lock_);
      info = *reinterpret_cast<const SCROLLINFO*>(lParam);
    }
    auto* bar = reinterpret_cast<CVexloScrollBar*>(wParam);
    if (bar && bar->m_hWnd) {
      bar->SetScrollInfo(&info, TRUE);
      const bool shown = (::GetWindowLongPtrW(bar->m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
      if (info.nMax == 0 && shown) bar->ShowWindow(SW_HIDE);
      if (info.nMax > 0 && !shown) bar->ShowWindow(SW_SHOW);
    }
    return 0;
  }
  return CPanelWnd::WindowProc(message, wParam, lParam);
}

void CPriceStatisView::SizeChanged(int width, int height) {
  const RECT client{0, 0, width, height};
  if (scrollBar_.m_hWnd)
    scrollBar_.MoveWindow(client.right - 17, client.top + 27, 16, std::max(0, client.bottom - 1 - (client.top + 27)));
  rowsRect_ = RECT{client.left + 1, client.top + 27, client.right - 17, client.bottom - 1};
  pageSize_ = std::max(0, (client.bottom - 1 - (client.top + 27)) / kRowHeight);
  firstRow_ = std::min(firstRow_, MaxFirstRow());
  if (hasArea_) PostScrollState();
}

void CPriceStatisView::OnVScroll(UINT code, UINT pos, CWnd* bar) {
  if (!bar || bar->m_hWnd != scrollBar_.m_hWnd) {
    CPanelWnd::OnVScroll(code, pos, bar);
    return;
  }
  int position = scrollBar_.GetScrollPos();
  switch (code) {
    case SB_LINEUP:
    case SB_PAGEUP: --position; break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN: ++position; break;
    case SB_THUMBTRACK: position = static_cast<int>(pos); break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = INT32_MAX; break;
    default: return;  // thumb position, end scroll
  }
  RECT rows;
  {
    std::lock_guard<std::mutex> hold(lock_);
    position = std::clamp(position, 0, MaxFirstRow());
    firstRow_ = position;
    scrollInfo_.nPos = position;
    rows = rowsRect_;
  }
  scrollBar_.SetScrollPos(position, TRUE);
  ::InvalidateRect(m_hWnd, &rows, FALSE);
  CPanelWnd::OnVScroll(code, pos, bar);
}

void CPriceStatisView::Render(HDC dc) {
  const int w = picture_.Width();
  const int h = picture_.Height();
  const RECT client{0, 0, w, h};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, 0, 0, 0, h, kLineColor, 0);
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, titleFont_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  const RECT title{1, 0, w - 1, kTitleHeight};
  FillRectColor(dc, &title, kTitleFill);
  DrawCellText(dc, title, u"分价统计", kWhite, 1);
  DrawLine(dc, 0, kTitleHeight, w, kTitleHeight, kLineColor, 0);
  if (!hasArea_) {
    SelectGdiObject(dc, previousFont);
    return;
  }
  SelectGdiObject(dc, rowFont_);
  const int g = (w - 28) / 2;
  const int rows = std::min(static_cast<int>(levels_.size()) - firstRow_, pageSize_);
  WCHAR text[kNumberTextSize];
  for (int i = 0; i < rows; ++i) {
    const PriceLevel& level = levels_[static_cast<size_t>(firstRow_ + i)];
    const int y = kTitleHeight + i * kRowHeight;
    const uint32_t priceColor = ColorAgainst(level.price, referencePrice_);
    const RECT priceCell{0, y, g - 2, y + kRowHeight};
    FormatPrice(level.price, decimals_, text, kNumberTextSize);
    DrawCellText(dc, priceCell, text, priceColor, 0);
    FormatCount(level.volume, text, kNumberTextSize);
    DrawCellText(dc, priceCell, text, kYellow, 2);

    const int cellRight = w - 18;
    const RECT outline{g, y + 2, cellRight, y + 24};
    DrawRectangle(dc, &outline, priceColor, 0);
    if (largestVolume_ != 0) {
      // The bar end and the split, in 64-bit integers, held within the cell.
      int64_t end = g + MulDiv64(cellRight - g, level.volume, largestVolume_);
      end = std::clamp<int64_t>(end, g, cellRight);
      const int left = g + 1;
      const int right = static_cast<int>(std::max<int64_t>(end, g + 2));
      int64_t split = left;
      if (level.volume != 0) split = left + MulDiv64(right - left, level.volume - level.partVolume, level.volume);
      const int x = static_cast<int>(std::clamp<int64_t>(split, left, right));
      const RECT first{left, y + 3, x, y + 23};
      if (x > left) FillRectColor(dc, &first, kFirstPart);
      const int secondEnd = std::max(static_cast<int>(end) - 1, x);
      const RECT second{x, y + 3, secondEnd, y + 23};
      if (secondEnd > x) FillRectColor(dc, &second, kSecondPart);
    }
    FormatShare(level.share, text, kNumberTextSize);
    DrawCellText(dc, RECT{g, y, cellRight, y + kRowHeight}, text, kLabelGrey, 2);
  }
  SelectGdiObject(dc, previousFont);
}
