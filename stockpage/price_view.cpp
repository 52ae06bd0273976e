#include "stockpage/price_view.h"

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "foundation/text_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kBand = 0x292929;
constexpr uint32_t kLine = 0x303030;
constexpr uint32_t kLabel = 0xAAAAAA;
constexpr uint32_t kTitle = 0xFFFF00;
constexpr uint32_t kRise = 0xFF0000;
constexpr uint32_t kFall = 0x00FF00;
constexpr uint32_t kFlat = 0xFFFFFF;
constexpr uint32_t kVolume = 0xFFFF00;
constexpr int kMaxIndexRows = kFieldTableRows;

// One level of the order book: price and volume of its ask or bid side.
struct Level {
  float price;
  int64_t volume;
};

Level AskLevel(const QuoteRecord& q, int level) {
  switch (level) {
    case 1: return {q.askPrice1, q.askVolume1};
    case 2: return {q.askPrice2, q.askVolume2};
    case 3: return {q.askPrice3, q.askVolume3};
    case 4: return {q.askPrice4, q.askVolume4};
    case 5: return {q.askPrice5, q.askVolume5};
    case 6: return {q.askPrice6, q.askVolume6};
    case 7: return {q.askPrice7, q.askVolume7};
    case 8: return {q.askPrice8, q.askVolume8};
    case 9: return {q.askPrice9, q.askVolume9};
    default: return {q.askPrice10, q.askVolume10};
  }
}

Level BidLevel(const QuoteRecord& q, int level) {
  switch (level) {
    case 1: return {q.bidPrice1, q.bidVolume1};
    case 2: return {q.bidPrice2, q.bidVolume2};
    case 3: return {q.bidPrice3, q.bidVolume3};
    case 4: return {q.bidPrice4, q.bidVolume4};
    case 5: return {q.bidPrice5, q.bidVolume5};
    case 6: return {q.bidPrice6, q.bidVolume6};
    case 7: return {q.bidPrice7, q.bidVolume7};
    case 8: return {q.bidPrice8, q.bidVolume8};
    case 9: return {q.bidPrice9, q.bidVolume9};
    default: return {q.bidPrice10, q.bidVolume10};
  }
}

// "卖①" ... "买⑩": the side's sign and the circled digit of the level.
void LevelLabel(bool ask, int level, WCHAR* out) {
  out[0] = ask ? u'卖' : u'买';
  out[1] = static_cast<WCHAR>(u'①' + (level - 1));
  out[2] = 0;
}

uint32_t ColorAgainst(double value, double reference) {
  if (value > reference) return kRise;
  if (value < reference) return kFall;
  return kFlat;
}

// The copy's texts end within their fields whatever the source held.
void TerminateTexts(QuoteRecord* q) {
  q->key.code[sizeof q->key.code - 1] = 0;
  q->key.name[sizeof q->key.name - 1] = 0;
  q->listCode[sizeof q->listCode - 1] = 0;
  q->field357[sizeof q->field357 - 1] = 0;
}

}  // namespace

CPriceView::CPriceView() {
  valueFont_ = CreateUiFont(GetUiFontFace(), 16);
  labelFont_ = CreateUiFont(GetUiFontFace(), 16);
  indexRows_.reserve(kMaxIndexRows);
}

CPriceView::~CPriceView() {
  picture_.Free();
  DeleteGdiObject(valueFont_);
  DeleteGdiObject(labelFont_);
}

void CPriceView::Invalidated() {
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPriceView::SetQuote(const QuoteRecord* quote) {
  if (!quote) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasQuote_ = true;
    quote_ = *quote;
    TerminateTexts(&quote_);
    levelMode_ = quote_.key.kind == 1 ? 2 : 1;
  }
  Invalidated();
}

void CPriceView::SetIndexTable(const FieldTableArea* table) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    indexRows_.clear();
    hasIndexTable_ = table != nullptr;
    if (table) {
      const int rows = std::clamp<int>(table->recordsHeld, 0, kMaxIndexRows);
      indexRows_.assign(table->records, table->records + rows);
      for (QuoteRecord& row : indexRows_) TerminateTexts(&row);
    }
  }
  Invalidated();
}

void CPriceView::SetKLineArea(const KLineArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    klineArea_ = area;
  }
  Invalidated();
}

void CPriceView::Clear() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasQuote_ = false;
    hasIndexTable_ = false;
    indexRows_.clear();
    klineArea_ = nullptr;
    levelMode_ = 0;
  }
  Invalidated();
}

void CPriceView::SetLayoutMode(int mode) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    const int shown = mode != 0;
    if (shown == titleShown_) return;
    titleShown_ = shown;
  }
  Invalidated();
}

int CPriceView::LevelMode() const {
  std::lock_guard<std::mutex> hold(lock_);
  return levelMode_;
}

int CPriceView::OnCreate(LPCREATESTRUCT cs) { return CWnd::OnCreate(cs); }

BOOL CPriceView::OnEraseBkgnd(CDC*) { return TRUE; }

void CPriceView::OnSize(UINT, int cx, int cy) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Rebuild(m_hWnd, cx, cy);
  }
  Invalidated();
}

void CPriceView::OnPaint() {
  CPaintDC dc(this);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!picture_.Made()) return;
    Draw(dc.m_hDC);
  }
  picture_.CopyTo(dc.m_hDC);
}

void CPriceView::Draw(HDC paintDc) {
  if (levelMode_ == 2) {
    DrawIndexBoard();
    return;
  }
  DrawLevelLabels();
  DrawLevelValues(paintDc);
}

void CPriceView::DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment) {
  DrawTextAligned(dc, &rect, text, color, alignment);
}

void CPriceView::DrawUtf8Text(HDC dc, const RECT& rect, const char* text, int bytes, uint32_t color,
                              int alignment) {
  WCHAR wide[kNumberTextSize] = {};
  const int length = static_cast<int>(strnlen(text, static_cast<size_t>(bytes)));
  Utf8ToUtf16(text, length, wide, static_cast<int>(sizeof wide - sizeof wide[0]));
  if (wide[0] == 0) return;
  DrawCellText(dc, rect, wide, color, alignment);
}

void CPriceView::DrawLevelLabels() {
  HDC dc = picture_.Dc();
  const int w = picture_.Width();
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, labelFont_, &previousFont);
  SetTextColor(dc, ColorFromRgb(kLabel));
  SetBkMode(dc, TRANSPARENT);
  const RECT client{0, 0, picture_.Width(), picture_.Height()};
  FillRectColor(dc, &client, kBlack);
  if (titleShown_) {
    const RECT band{1, 0, w - 1, kTitleHeight};
    FillRectColor(dc, &band, kBand);
    if (hasQuote_) {
      char title[kNumberTextSize];
      std::snprintf(title, sizeof title, "%s  %s", quote_.key.code, quote_.key.name);
      DrawUtf8Text(dc, band, title, static_cast<int>(sizeof title), kTitle, 1);
    }
  }
  const int y0 = titleShown_ ? kTitleHeight : 0;
  DrawLine(dc, client.left, 0, client.left, client.bottom, kLine, 0);
  DrawLine(dc, client.right, 0, client.right, client.bottom, kLine, 0);
  DrawLine(dc, 0, y0, w, y0, kLine, 0);
  const int levels = levelMode_ == 0 ? 10 : 5;
  WCHAR label[3];
  int top = y0;
  for (int level = levels; level >= 1; --level, top += kRowHeight) {
    LevelLabel(true, level, label);
    DrawCellText(dc, RECT{2, top, w / 2 + 2, top + kRowHeight}, label, kLabel, 0);
  }
  DrawLine(dc, 0, top, w, top, kLine, 0);
  for (int level = 1; level <= levels; ++level, top += kRowHeight) {
    LevelLabel(false, level, label);
    DrawCellText(dc, RECT{2, top, w / 2 + 2, top + kRowHeight}, label, kLabel, 0);
  }
  DrawLine(dc, 0, top, w, top, kLine, 0);
  SelectGdiObject(dc, previousFont);
}

void CPriceView::DrawLevelValues(HDC paintDc) {
  if (!hasQuote_) return;
  HDC dc = picture_.Dc();
  const int w = picture_.Width();
  const QuoteRecord& q = quote_;
  const double reference = IsFuturesMarket(q.key.market) ? q.previousSettlement : q.previousClose;
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, valueFont_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  // Both widths come from the paint DC in the font it holds (none selected).
  const int labelWidth = MeasureTextWidth(paintDc, u"买①", 1);
  int64_t widest = 0;
  for (int level = 1; level <= 10; ++level) {
    widest = std::max(widest, AskLevel(q, level).volume);
    widest = std::max(widest, BidLevel(q, level).volume);
  }
  WCHAR text[kNumberTextSize];
  FormatVolume(widest, text, kNumberTextSize);
  const int volumeWidth = MeasureTextWidth(paintDc, text, 1);

  const int levels = levelMode_ == 0 ? 10 : 5;
  const int y0 = titleShown_ ? kTitleHeight : 0;
  auto drawRow = [&](const Level& l, int top) {
    const uint32_t color = ColorAgainst(l.price, reference);  // chosen before the 0 test
    FormatPrice(l.price, q.key.decimals, text, kNumberTextSize);
    DrawCellText(dc, RECT{labelWidth, top, w - volumeWidth, top + kRowHeight}, text, color, 1);
    FormatVolume(l.volume, text, kNumberTextSize);
    DrawCellText(dc, RECT{w / 2 + 2, top, w - 5, top + kRowHeight}, text, kVolume, 2);
  };
  int top = y0;
  for (int level = levels; level >= 1; --level, top += kRowHeight) drawRow(AskLevel(q, level), top);
  for (int level = 1; level <= levels; ++level, top += kRowHeight) drawRow(BidLevel(q, level), top);
  SelectGdiObject(dc, previousFont);
}

void CPriceView::DrawIndexBoard() {
  HDC dc = picture_.Dc();
  const int w = picture_.Width();
  const RECT client{0, 0, picture_.Width(), picture_.Height()};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, client.left, 0, client.left, client.bottom, kLine, 0);
  DrawLine(dc, client.right, 0, client.right, client.bottom, kLine, 0);
  if (!hasIndexTable_) return;
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, valueFont_, &previousFont);
  SetTextColor(dc, ColorFromRgb(kLabel));
  SetBkMode(dc, TRANSPARENT);

  WCHAR text[kNumberTextSize];
  const RECT rising{2, 0, (w - 10) / 2 + 2, kRowHeight};
  DrawCellText(dc, rising, u"上涨家", kLabel, 0);
  FormatVolume(quote_.risingCount, text, kNumberTextSize);
  DrawCellText(dc, rising, text, kRise, 2);
  const RECT falling{rising.right + 5, 0, w, kRowHeight};
  DrawCellText(dc, falling, u"下跌家", kLabel, 0);
  FormatVolume(quote_.fallingCount, text, kNumberTextSize);
  DrawCellText(dc, falling, text, kFall, 2);
  DrawLine(dc, 0, kRowHeight, w, kRowHeight, kLine, 0);

  int top = kRowHeight;
  for (const QuoteRecord& row : indexRows_) {
    if (row.key.market != quote_.key.market) continue;
    const RECT nameCell{2, top, w, top + kRowHeight};
    DrawUtf8Text(dc, nameCell, row.key.name, static_cast<int>(sizeof row.key.name), kLabel, 0);
    const RECT figureCell{w / 3 + 10, top, w - 1, top + kRowHeight};
    const double last = row.lastPrice;
    const double close = row.previousClose;
    const uint32_t color = last > close ? kRise : last == close ? kFlat : kFall;
    FormatPrice(last, row.key.decimals, text, kNumberTextSize);
    DrawCellText(dc, figureCell, text, color, 0);
    // A last price below 1 (its integer part 0), a previous close of 0 or a
    // ratio that is not finite shows "-" in white.
    const double ratio = close != 0 ? (last - close) / close * 10000.0 / 100.0 : NAN;
    if (std::fabs(last) >= 1.0 && std::isfinite(ratio)) {
      char ascii[kNumberTextSize];
      std::snprintf(ascii, sizeof ascii, "%.2f%%", ratio);
      int n = 0;
      for (; ascii[n] != 0; ++n) text[n] = static_cast<WCHAR>(ascii[n]);
      text[n] = 0;
      DrawCellText(dc, figureCell, text, color, 2);
    } else {
      DrawCellText(dc, figureCell, u"-", kFlat, 2);
    }
    top += kRowHeight;
  }
  SelectGdiObject(dc, previousFont);
}
