#include "stockpage/detail_views.h"

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "stockpage/panel_formats.h"

#include <algorithm>
#include <cstdio>

using namespace panel;

namespace {

constexpr uint32_t kRedLine = 0xFF0000;

template <typename Area>
void CopyRows(const Area* area, TickRows* out) {
  out->rows.clear();
  out->set = area != nullptr;
  if (!area) return;
  out->decimals = area->key.decimals;
  out->kind = area->key.kind;
  out->referencePrice = area->referencePrice;
  out->total = area->replyPosition;
  const int count = std::clamp<int>(area->ticksHeld, 0, kTickRoom);
  out->rows.assign(area->ticks, area->ticks + count);
}

void Number(int64_t value, WCHAR* out) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  int n = 0;
  for (; text[n] != 0; ++n) out[n] = static_cast<unsigned char>(text[n]);
  out[n] = 0;
}

// "B" or "S" of a stock tick, null for any other direction byte.
const WCHAR* DirectionLetter(uint8_t direction, uint32_t* color) {
  if (direction == 'B') {
    *color = kRed;
    return u"B";
  }
  if (direction == 'S') {
    *color = kGreen;
    return u"S";
  }
  return nullptr;
}

}  // namespace

void CopyTickRows(const TickArea* area, TickRows* out) { CopyRows(area, out); }
void CopyTickRows(const FuturesTickArea* area, TickRows* out) { CopyRows(area, out); }

// ---------------------------------------------------------------------------
// CDetailView

CDetailView::CDetailView() { font_ = CreateUiFont(GetUiFontFace(), 14); }

CDetailView::~CDetailView() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Free();
  }
  DeleteGdiObject(font_);
}

void CDetailView::SetTicks(const TickArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopyTickRows(area, &ticks_);
    columnWidth_ = 200;
    columns_ = std::max(1, width_ / columnWidth_);
  }
  Invalidated();
}

void CDetailView::SetFuturesTicks(const FuturesTickArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopyTickRows(area, &futures_);
    columnWidth_ = 300;
    columns_ = std::max(1, width_ / columnWidth_);
  }
  Invalidated();
}

void CDetailView::Clear() {
  SetTicks(nullptr);
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopyTickRows(static_cast<const TickArea*>(nullptr), &ticks_);
    CopyTickRows(static_cast<const FuturesTickArea*>(nullptr), &futures_);
    selection_ = -1;
  }
  Invalidated();
}

int CDetailView::GetCapacity() const {
  std::lock_guard<std::mutex> hold(lock_);
  return capacity_;
}

int CDetailView::Selection() const {
  std::lock_guard<std::mutex> hold(lock_);
  return selection_;
}

int CDetailView::FirstTickShown() const {
  std::lock_guard<std::mutex> hold(lock_);
  return firstShown_;
}

int CDetailView::ColumnCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return columns_;
}

int CDetailView::ColumnWidth() const {
  std::lock_guard<std::mutex> hold(lock_);
  return columnWidth_;
}

void CDetailView::SizeChanged(int width, int height) {
  width_ = width;
  height_ = height;
  columnWidth_ = 200;
  columns_ = std::max(1, width / 200);
  capacity_ = std::max(0, (height - kHeaderHeight) / kRowHeight) * columns_;
}

void CDetailView::SelectPrevRow() { MoveSelection(-1); }
void CDetailView::SelectNextRow() { MoveSelection(1); }

void CDetailView::MoveSelection(int step) {
  int notice = -1;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!ticks_.set) return;
    const int n = std::max(0, static_cast<int>(ticks_.rows.size()) - firstShown_);
    int selection;
    if (step < 0) {
      selection = (selection_ < 0 ? n : selection_) - 1;
      if (selection < 0) {
        selection = n - 1;
        notice = 1;
      }
    } else {
      selection = (selection_ < 0 ? n - 1 : selection_) + 1;
      if (selection >= n) {
        selection = n - 1;
        notice = 0;
      }
    }
    selection_ = selection;
  }
  if (notice >= 0) {
    if (HWND parent = ::GetParent(m_hWnd)) ::SendMessageW(parent, WM_TICK_PAGE, 0, notice);
  }
  Invalidated();
}

void CDetailView::Render(HDC dc) {
  const int w = picture_.Width();
  const int h = picture_.Height();
  const int rowsPerColumn = std::max(0, (h - kHeaderHeight) / kRowHeight);
  const int columns = std::max(1, columns_);
  const int c = w / columns;
  const bool stock = ticks_.set;
  const TickRows& data = stock ? ticks_ : futures_;
  const int count = static_cast<int>(data.rows.size());
  const int first = std::max(0, count - rowsPerColumn * columns);
  firstShown_ = first;

  const RECT client{0, 0, w, h};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, 0, 0, w, 0, kRedLine, 0);
  DrawLine(dc, 0, kHeaderHeight, w, kHeaderHeight, kRedLine, 0);
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, font_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  for (int i = 0; i < columns; ++i) {
    const int x = i * c;
    if (i != columns - 1) DrawLine(dc, x + c - 5, kHeaderHeight, x + c - 5, h, kRedLine, 0);
    const RECT column{x, 0, x + c, h};
    if (stock)
      DrawStockColumn(dc, column, first + i * rowsPerColumn);
    else
      DrawFuturesColumn(dc, column, first + i * rowsPerColumn);
  }
  SelectGdiObject(dc, previousFont);
}

void CDetailView::DrawStockColumn(HDC dc, const RECT& column, int start) {
  const int left = column.left, right = column.right, top = column.top, bottom = column.bottom;
  DrawCellText(dc, RECT{left, top, right - 60, top + kHeaderHeight}, u"时间", kWhite, 0);
  DrawCellText(dc, RECT{left, top, right - 60, top + kHeaderHeight}, u"价格", kWhite, 1);
  DrawCellText(dc, RECT{left, top, right - 60, top + kHeaderHeight}, u"成交量", kWhite, 2);
  DrawCellText(dc, RECT{right - 60, top, right - 10, top + kHeaderHeight}, u"笔", kWhite, 2);
  const int rowsTop = top + kHeaderHeight + ((bottom - top - kHeaderHeight) % kRowHeight) / 2;
  const int perColumn = std::max(0, (bottom - top - kHeaderHeight) / kRowHeight);
  const int count = static_cast<int>(ticks_.rows.size());
  WCHAR text[kNumberTextSize];
  for (int j = 0; j < perColumn; ++j) {
    const int index = start + j;
    const int y = rowsTop + j * kRowHeight;
    if (index >= count || y + kRowHeight > bottom) break;
    const TickRecord& t = ticks_.rows[static_cast<size_t>(index)];
    if (index - firstShown_ == selection_) {
      const RECT band{left + 2, y, right - 10, y + kRowHeight};
      FillRectColor(dc, &band, kSelectBlue);
    }
    const RECT cell{left + 2, y, right - 60, y + kRowHeight};
    FormatTickTime(t.time, text, kNumberTextSize);
    DrawCellText(dc, cell, text, kLabelGrey, 0);
    FormatPrice(t.price, ticks_.decimals, text, kNumberTextSize);
    DrawCellText(dc, cell, text, ColorAgainst(t.price, ticks_.referencePrice), 1);
    FormatVolume(t.volume, text, kNumberTextSize);
    DrawCellText(dc, cell, text, TickVolumeColor(ticks_.kind, t.volume), 2);
    const RECT tail{right - 55, y, right - 10, y + kRowHeight};
    uint32_t color = kWhite;
    if (const WCHAR* letter = DirectionLetter(t.direction, &color)) DrawCellText(dc, tail, letter, color, 0);
    Number(t.field4, text);
    DrawCellText(dc, tail, text, kYellow, 2);
  }
}

void CDetailView::DrawFuturesColumn(HDC dc, const RECT& column, int start) {
  const int left = column.left, top = column.top, bottom = column.bottom;
  const int g = (column.right - column.left - 10) / 8;
  auto cell = [&](int from, int to, int y, int height) { return RECT{left + from * g, y, left + to * g, y + height}; };
  DrawCellText(dc, cell(0, 2, top, kHeaderHeight), u"时间", kWhite, 0);
  DrawCellText(dc, cell(2, 4, top, kHeaderHeight), u"价格", kWhite, 0);
  DrawCellText(dc, cell(4, 5, top, kHeaderHeight), u"量", kWhite, 1);
  DrawCellText(dc, cell(5, 6, top, kHeaderHeight), u"开", kWhite, 1);
  DrawCellText(dc, cell(6, 7, top, kHeaderHeight), u"平", kWhite, 1);
  DrawCellText(dc, cell(7, 8, top, kHeaderHeight), u"性质", kWhite, 2);
  if (!futures_.set) return;
  const int rowsTop = top + kHeaderHeight + ((bottom - top - kHeaderHeight) % kRowHeight) / 2;
  const int perColumn = std::max(0, (bottom - top - kHeaderHeight) / kRowHeight);
  const int count = static_cast<int>(futures_.rows.size());
  uint32_t rowColor = kLabelGrey;  // before the first row of the column
  WCHAR text[kNumberTextSize];
  for (int j = 0; j < perColumn; ++j) {
    const int index = start + j;
    const int y = rowsTop + j * kRowHeight;
    if (index >= count || y + kRowHeight > bottom) break;
    const TickRecord& t = futures_.rows[static_cast<size_t>(index)];
    if (index - firstShown_ == selection_) {
      const RECT band{left, y, left + 8 * g, y + kRowHeight};
      FillRectColor(dc, &band, kSelectBlue);
    }
    FormatTickTime(t.time, text, kNumberTextSize);
    DrawCellText(dc, cell(0, 2, y, kRowHeight), text, kWhite, 0);
    FormatPrice(t.price, futures_.decimals, text, kNumberTextSize);
    DrawCellText(dc, cell(2, 4, y, kRowHeight), text, ColorAgainst(t.price, futures_.referencePrice), 0);
    rowColor = DirectionColor(t.direction, rowColor);
    FormatVolume(t.volume, text, kNumberTextSize);
    DrawCellText(dc, cell(4, 5, y, kRowHeight), text, rowColor, 1);
    Number(t.field6, text);
    DrawCellText(dc, cell(5, 6, y, kRowHeight), text, rowColor, 1);
    Number(t.field7, text);
    DrawCellText(dc, cell(6, 7, y, kRowHeight), text, rowColor, 1);
    DrawCellText(dc, cell(7, 8, y, kRowHeight), FuturesNatureText(t.openCloseKind), rowColor, 2);
  }
}

// ---------------------------------------------------------------------------
// CDetailSmallView

CDetailSmallView::CDetailSmallView() {
  rowFont_ = CreateUiFont(GetUiFontFace(), 16);
  titleFont_ = CreateUiFont(GetUiFontFace(), 16);
}

CDetailSmallView::~CDetailSmallView() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Free();
  }
  DeleteGdiObject(rowFont_);
  DeleteGdiObject(titleFont_);
}

void CDetailSmallView::SetTicks(const TickArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopyTickRows(area, &ticks_);
  }
  Invalidated();
}

void CDetailSmallView::SetFuturesTicks(const FuturesTickArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopyTickRows(area, &futures_);
  }
  Invalidated();
}

void CDetailSmallView::Clear() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopyTickRows(static_cast<const TickArea*>(nullptr), &ticks_);
    CopyTickRows(static_cast<const FuturesTickArea*>(nullptr), &futures_);
  }
  Invalidated();
}

void CDetailSmallView::Render(HDC dc) {
  const int w = picture_.Width();
  const int h = picture_.Height();
  const RECT client{0, 0, w, h};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, 0, 0, 0, h, kLineColor, 0);
  DrawLine(dc, w, 0, w, h, kLineColor, 0);
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, titleFont_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  const RECT title{1, 0, w - 1, kTitleHeight};
  FillRectColor(dc, &title, kTitleFill);
  DrawCellText(dc, title, u"成交明细", kWhite, 1);
  SelectGdiObject(dc, rowFont_);
  if (ticks_.set)
    DrawStockRows(dc, w, h);
  else if (futures_.set)
    DrawFuturesRows(dc, w, h);
  SelectGdiObject(dc, previousFont);
}

void CDetailSmallView::DrawStockRows(HDC dc, int w, int h) {
  const int count = static_cast<int>(ticks_.rows.size());
  const int first = std::max(0, count - std::max(0, (h - kTitleHeight) / kRowHeight));
  if (first >= count) return;
  WCHAR text[kNumberTextSize];
  FormatTickTime(ticks_.rows[static_cast<size_t>(first)].time, text, kNumberTextSize);
  const int timeWidth = MeasureTextWidth(dc, text, 1);
  int volumeWidth = 0;
  for (int i = first; i < count; ++i) {
    FormatVolume(ticks_.rows[static_cast<size_t>(i)].volume, text, kNumberTextSize);
    volumeWidth = std::max(volumeWidth, MeasureTextWidth(dc, text, 1));
  }
  for (int i = first; i < count; ++i) {
    const TickRecord& t = ticks_.rows[static_cast<size_t>(i)];
    const int y = kTitleHeight + (i - first) * kRowHeight;
    const RECT cell{2, y, w - 20, y + kRowHeight};
    FormatTickTime(t.time, text, kNumberTextSize);
    DrawCellText(dc, cell, text, kLabelGrey, 0);
    FormatVolume(t.volume, text, kNumberTextSize);
    DrawCellText(dc, cell, text, TickVolumeColor(ticks_.kind, t.volume), 2);
    uint32_t color = kWhite;
    if (const WCHAR* letter = DirectionLetter(t.direction, &color))
      DrawCellText(dc, RECT{w - 20, y, w, y + kRowHeight}, letter, color, 1);
    FormatPrice(t.price, ticks_.decimals, text, kNumberTextSize);
    DrawCellText(dc, RECT{2 + timeWidth, y, w - 20 - volumeWidth, y + kRowHeight}, text,
                 ColorAgainst(t.price, ticks_.referencePrice), 1);
  }
}

void CDetailSmallView::DrawFuturesRows(HDC dc, int w, int h) {
  const int split = 3 * w / 4;
  DrawCellText(dc, RECT{2, 26, split - 25, 46}, u"时间", kLabelGrey, 0);
  DrawCellText(dc, RECT{2, 26, split - 25, 46}, u"价格", kLabelGrey, 1);
  DrawCellText(dc, RECT{2, 26, split - 25, 46}, u"现手", kLabelGrey, 2);
  DrawCellText(dc, RECT{split, 26, w, 46}, u"增仓", kLabelGrey, 0);
  DrawCellText(dc, RECT{split, 26, w, 46}, u"性质", kLabelGrey, 2);
  const int count = static_cast<int>(futures_.rows.size());
  const int first = std::max(0, count - std::max(0, (h - kTitleHeight) / kRowHeight) + 1);
  uint32_t rowColor = kLabelGrey;
  WCHAR text[kNumberTextSize];
  for (int i = first; i < count; ++i) {
    const TickRecord& t = futures_.rows[static_cast<size_t>(i)];
    const int y = 46 + (i - first) * kRowHeight;
    const RECT leftCell{2, y, split - 25, y + kRowHeight};
    const RECT rightCell{split, y, w, y + kRowHeight};
    rowColor = DirectionColor(t.direction, rowColor);
    FormatTickTime(t.time, text, kNumberTextSize);
    DrawCellText(dc, leftCell, text, kLabelGrey, 0);
    FormatPrice(t.price, futures_.decimals, text, kNumberTextSize);
    DrawCellText(dc, leftCell, text, ColorAgainst(t.price, futures_.referencePrice), 1);
    FormatVolume(t.volume, text, kNumberTextSize);
    DrawCellText(dc, leftCell, text, rowColor, 2);
    Number(static_cast<int64_t>(t.field6) - t.field7, text);
    DrawCellText(dc, rightCell, text, rowColor, 0);
    DrawCellText(dc, rightCell, FuturesNatureText(t.openCloseKind), rowColor, 2);
  }
}
