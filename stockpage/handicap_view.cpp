#include "stockpage/handicap_view.h"

#include "foundation/draw_helpers.h"
#include "stockpage/panel_formats.h"

#include <cstdio>
#include <cstring>

using namespace panel;

namespace {

void SetLabels(HandicapRows* rows, const char16_t* const (&labels)[8][2]) {
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 2; ++c) rows->cells[r][c].label = labels[r][c];
}

void Price(HandicapCell* cell, double value, uint8_t decimals, uint32_t color) {
  FormatPrice(value, decimals, cell->value, kNumberTextSize);
  cell->color = color;
}

void Count(HandicapCell* cell, int64_t value, uint32_t color) {
  FormatCount(value, cell->value, kNumberTextSize);
  cell->color = color;
}

void Change(HandicapCell* cell, double a, double b, uint32_t color) {
  FormatChangePercent(a, b, cell->value, kNumberTextSize);
  cell->color = color;
}

void Ascii(HandicapCell* cell, const char* text, uint32_t color) {
  int n = 0;
  for (; text[n] != 0 && n < kNumberTextUnits; ++n) cell->value[n] = static_cast<unsigned char>(text[n]);
  cell->value[n] = 0;
  cell->color = color;
}

void StockValues(const QuoteRecord& q, HandicapRows* rows) {
  const uint8_t d = q.key.decimals;
  const double ref = q.previousClose;
  auto& c = rows->cells;
  Price(&c[0][0], q.lastPrice, d, ColorAgainst(q.lastPrice, ref));
  Price(&c[0][1], q.open, d, ColorAgainst(q.open, ref));
  FormatPriceAlways(q.change, d, c[1][0].value, kNumberTextSize);
  c[1][0].color = ColorBySign(q.change);
  Price(&c[1][1], q.high, d, ColorAgainst(q.high, ref));
  Change(&c[2][0], q.lastPrice, ref, ColorAgainst(q.lastPrice, ref));
  Price(&c[2][1], q.low, d, ColorAgainst(q.low, ref));
  Change(&c[3][0], q.lastPrice, q.open, ColorAgainst(q.lastPrice, q.open));
  if (q.open == 0.0f) {
    // The "-" keeps the colour set for the cell before it.
    Ascii(&c[3][1], "-", c[3][0].color);
  } else {
    const double rise = static_cast<double>(q.lastPrice) - static_cast<double>(q.open);
    Price(&c[3][1], rise, d, ColorBySign(rise));
  }
  Price(&c[4][0], q.limitUp, d, ColorAgainst(q.limitUp, ref));
  Price(&c[4][1], q.limitDown, d, ColorAgainst(q.limitDown, ref));
  FormatPercent(q.turnoverRate, c[5][0].value, kNumberTextSize);
  c[5][0].color = kYellow;
  FormatVolumeRatio(q.volumeRatio, c[5][1].value, kNumberTextSize);
  c[5][1].color = VolumeRatioColor(q.volumeRatio);
  Count(&c[6][0], q.totalVolume, kYellow);
  Count(&c[6][1], q.amount, kYellow);
  Count(&c[7][0], q.outerVolume, kRed);
  Count(&c[7][1], q.innerVolume, kGreen);
}

void FuturesValues(const QuoteRecord& q, HandicapRows* rows) {
  const uint8_t d = q.key.decimals;
  const double ref = q.previousSettlement;
  auto& c = rows->cells;
  Price(&c[0][0], q.lastPrice, d, ColorAgainst(q.lastPrice, ref));
  Price(&c[0][1], q.open, d, ColorAgainst(q.open, ref));
  FormatPriceAlways(q.change, d, c[1][0].value, kNumberTextSize);
  c[1][0].color = ColorBySign(q.change);
  Price(&c[1][1], q.high, d, ColorAgainst(q.high, ref));
  Change(&c[2][0], q.lastPrice, ref, ColorAgainst(q.lastPrice, ref));
  Price(&c[2][1], q.low, d, ColorAgainst(q.low, ref));
  Price(&c[3][0], q.averagePrice, d, ColorAgainst(q.averagePrice, ref));
  Price(&c[3][1], q.previousClose, d, ColorAgainst(q.previousClose, ref));
  Count(&c[4][0], q.currentVolume, kYellow);
  Price(&c[4][1], q.settlementPrice, d, ColorAgainst(q.settlementPrice, ref));
  Count(&c[5][0], q.totalVolume, kYellow);
  Count(&c[5][1], q.amount, kYellow);
  Count(&c[6][0], q.openInterest, kYellow);
  char text[kNumberTextSize];
  std::snprintf(text, sizeof text, "%d", q.openInterestChange);
  Ascii(&c[6][1], text, kYellow);
  Count(&c[7][0], q.outerVolume, kRed);
  Count(&c[7][1], q.innerVolume, kGreen);
}

}  // namespace

void BuildHandicapRows(const QuoteRecord* q, HandicapRows* rows) {
  static const char16_t* const kStockLabels[8][2] = {
      {u"现价", u"今开"}, {u"涨跌", u"最高"}, {u"涨幅", u"最低"}, {u"今幅", u"今涨"},
      {u"涨停", u"跌停"}, {u"换手", u"量比"}, {u"总量", u"金额"}, {u"外盘", u"内盘"}};
  static const char16_t* const kFuturesLabels[8][2] = {
      {u"现价", u"今开"}, {u"涨跌", u"最高"}, {u"涨幅", u"最低"}, {u"均价", u"昨收"},
      {u"现手", u"结算"}, {u"总手", u"金额"}, {u"持仓", u"增仓"}, {u"外盘", u"内盘"}};
  *rows = HandicapRows{};
  rows->futures = q != nullptr && IsFuturesMarket(q->key.market);
  SetLabels(rows, rows->futures ? kFuturesLabels : kStockLabels);
  if (!q) return;
  if (rows->futures)
    FuturesValues(*q, rows);
  else
    StockValues(*q, rows);
}

CHandicapView::CHandicapView() {
  valueFont_ = CreateUiFont(GetUiFontFace(), 15);
  titleFont_ = CreateUiFont(GetUiFontFace(), 17);
}

CHandicapView::~CHandicapView() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Free();
  }
  DeleteGdiObject(valueFont_);
  DeleteGdiObject(titleFont_);
}

void CHandicapView::SetQuote(const QuoteRecord* quote) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasQuote_ = quote != nullptr;
    if (quote) {
      quote_ = *quote;
      quote_.key.code[sizeof quote_.key.code - 1] = 0;
      quote_.key.name[sizeof quote_.key.name - 1] = 0;
    }
  }
  Invalidated();
}

void CHandicapView::ClearQuote() { SetQuote(nullptr); }

void CHandicapView::SetIndexMode(int flag) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    indexMode_ = flag;
  }
  Invalidated();
}

HandicapRows CHandicapView::CurrentRows() const {
  std::lock_guard<std::mutex> hold(lock_);
  HandicapRows rows;
  BuildHandicapRows(hasQuote_ ? &quote_ : nullptr, &rows);
  return rows;
}

int CHandicapView::RowsTop(const HandicapRows& rows) const {
  return rows.futures || indexMode_ == 1 ? kTitleHeight : 0;
}

void CHandicapView::Draw(HDC dc) {
  HandicapRows rows;
  BuildHandicapRows(hasQuote_ ? &quote_ : nullptr, &rows);
  DrawLabels(dc, rows);
  DrawValues(dc, rows);
}

void CHandicapView::DrawLabels(HDC dc, const HandicapRows& rows) {
  const int w = picture_.Width();
  const int h = picture_.Height();
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, valueFont_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  const RECT client{0, 0, w, h};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, 0, 0, 0, h, kLineColor, 0);
  const int top = RowsTop(rows);
  if (top > 0) {
    const RECT band{1, 0, w - 1, kTitleHeight};
    FillRectColor(dc, &band, kTitleFill);
    if (hasQuote_) {
      char title[kNumberTextSize];
      std::snprintf(title, sizeof title, "%s  %s", quote_.key.code, quote_.key.name);
      SelectGdiObject(dc, titleFont_);
      DrawUtf8CellText(dc, band, title, static_cast<int>(sizeof title), kYellow, 1);
      SelectGdiObject(dc, valueFont_);
    }
  }
  DrawLine(dc, 0, top, w, top, kLineColor, 0);
  DrawLine(dc, 0, top + 7 * kRowHeight, w, top + 7 * kRowHeight, kLineColor, 0);
  const int split = 1 + (w - 4) / 2;
  for (int r = 0; r < 8; ++r) {
    const int y = top + r * kRowHeight;
    DrawCellText(dc, RECT{1, y, split, y + kRowHeight}, rows.cells[r][0].label, kLabelGrey, 0);
    DrawCellText(dc, RECT{split + 2, y, w - 1, y + kRowHeight}, rows.cells[r][1].label, kLabelGrey, 0);
  }
  SelectGdiObject(dc, previousFont);
}

void CHandicapView::DrawValues(HDC dc, const HandicapRows& rows) {
  if (!hasQuote_) return;
  const int w = picture_.Width();
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, valueFont_, &previousFont);
  const int top = RowsTop(rows);
  const int split = 1 + (w - 4) / 2;
  for (int r = 0; r < 8; ++r) {
    const int y = top + r * kRowHeight;
    const HandicapCell& left = rows.cells[r][0];
    const HandicapCell& right = rows.cells[r][1];
    DrawCellText(dc, RECT{1, y, split, y + kRowHeight}, left.value, left.color, 2);
    DrawCellText(dc, RECT{split + 2, y, w - 1, y + kRowHeight}, right.value, right.color, 2);
  }
  SelectGdiObject(dc, previousFont);
}
