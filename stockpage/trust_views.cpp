#include "stockpage/trust_views.h"

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kBand = 0x292929;
constexpr uint32_t kLine = 0x303030;
constexpr uint32_t kCaption = 0xDDDDDD;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRise = 0xFF0000;
constexpr uint32_t kFall = 0x00FF00;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kAskQueue = 0x00AA00;
constexpr uint32_t kBidQueue = 0xFF0000;
constexpr int kHeaderHeight = 18;  // queue view's header band
constexpr int kQueueRow = 16;      // height of a queue row
constexpr int kCancelRow = 16;     // height of a cancellation row

// ASCII text into a UTF-16 buffer of kNumberTextSize units.
void Widen(const char* ascii, WCHAR* out) {
  int n = 0;
  for (; ascii[n] != 0 && n < kNumberTextUnits; ++n) out[n] = static_cast<WCHAR>(ascii[n]);
  out[n] = 0;
}

void FormatInt(long long value, WCHAR* out) {
  char ascii[kNumberTextSize];
  std::snprintf(ascii, sizeof ascii, "%lld", value);
  Widen(ascii, out);
}

// The refusal text centred over the pane; its rectangle goes to *where.
template <typename View>
void DrawNoRight(View* view, HDC dc, int width, int height, RECT* where,
                 void (View::*draw)(HDC, const RECT&, const WCHAR*, uint32_t, int)) {
  const int textWidth = MeasureTextWidth(dc, kNoRightText, 1);
  const int left = (width - textWidth) / 2;
  *where = RECT{left, height / 2 - 16, left + textWidth, height / 2};
  (view->*draw)(dc, *where, kNoRightText, kWhite, 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// CTrustQueueView

CTrustQueueView::CTrustQueueView() { font_ = CreateUiFont(GetUiFontFace(), 16); }

CTrustQueueView::~CTrustQueueView() {
  picture_.Free();
  DeleteGdiObject(font_);
}

void CTrustQueueView::SetDataRight(int right) {
  std::lock_guard<std::mutex> hold(lock_);
  dataRight_ = right;
}

void CTrustQueueView::SetQueueData(const OrderQueueArea* record) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasRecord_ = record != nullptr;
    if (record) {
      record_ = *record;
      record_.key.code[sizeof record_.key.code - 1] = 0;
      record_.key.name[sizeof record_.key.name - 1] = 0;
    }
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTrustQueueView::Clear() { SetQueueData(nullptr); }

BOOL CTrustQueueView::OnEraseBkgnd(CDC*) { return TRUE; }

void CTrustQueueView::OnMouseMove(UINT, CPoint) {}

void CTrustQueueView::OnSize(UINT, int cx, int cy) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Rebuild(m_hWnd, cx, cy);
  }
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTrustQueueView::OnPaint() {
  CPaintDC dc(this);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!picture_.Made()) return;
    DrawQueues(picture_.Dc());
  }
  picture_.CopyTo(dc.m_hDC);
}

void CTrustQueueView::Draw(HDC) {}

void CTrustQueueView::DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment) {
  DrawTextAligned(dc, &rect, text, color, alignment);
}

void CTrustQueueView::DrawQueues(HDC dc) {
  client_ = RECT{0, 0, picture_.Width(), picture_.Height()};
  const int l = client_.left, t = client_.top;
  const int w = client_.right - client_.left, h = client_.bottom - client_.top;
  const int e = w / 8;
  const int xm = l + w / 2;
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, font_, &previousFont);
  SetTextColor(dc, ColorFromRgb(kWhite));
  SetBkMode(dc, TRANSPARENT);
  FillRectColor(dc, &client_, kBlack);
  if (!dataRight_) {
    DrawNoRight(this, dc, w, h, &noRightRect_, &CTrustQueueView::DrawCellText);
    SelectGdiObject(dc, previousFont);
    return;
  }
  const RECT band{l, t, l + w, t + kHeaderHeight};
  FillRectColor(dc, &band, kBand);
  DrawLine(dc, l, t, client_.right, t, kLine, 0);
  DrawLine(dc, l, t + kHeaderHeight, l + w, t + kHeaderHeight, kLine, 0);
  DrawLine(dc, xm, t, xm, t + h, kLine, 0);

  const OrderQueueArea& r = record_;
  const uint8_t decimals = r.key.decimals == 3 ? 3 : 2;
  const int askCount = std::clamp<int>(r.secondCount, 0, kQueueVolumesShown);
  const int bidCount = std::clamp<int>(r.firstCount, 0, kQueueVolumesShown);
  WCHAR text[kNumberTextSize];
  auto half = [&](int x, const char16_t* side, float price, int64_t volume, int count) {
    const int top = t, bottom = t + 16;
    DrawCellText(dc, RECT{x, top, x + e, bottom}, side, kCaption, 1);
    if (hasRecord_) {
      const uint32_t color = r.referencePrice < price ? kRise : r.referencePrice == price ? kWhite : kFall;
      FormatPrice(price, decimals, text, kNumberTextSize);
      DrawCellText(dc, RECT{x + e, top, x + 2 * e, bottom}, text, color, 1);
      FormatInt(volume, text);
      DrawCellText(dc, RECT{x + 2 * e, top, x + 3 * e - 10, bottom}, text, kYellow, 2);
    }
    DrawCellText(dc, RECT{x + 3 * e - 10, top, x + 3 * e + 10, bottom}, u"手", kCaption, 0);
    if (hasRecord_) {
      FormatInt(count, text);
      DrawCellText(dc, RECT{x + 3 * e, top, x + 4 * e - 20, bottom}, text, kYellow, 2);
    }
    DrawCellText(dc, RECT{x + 4 * e - 20, top, x + 4 * e, bottom}, u"单", kCaption, 0);
  };
  half(l, u"卖一", r.secondPrice, r.secondTotal, askCount);
  half(l + w / 2, u"买一", r.firstPrice, r.firstTotal, bidCount);

  if (hasRecord_) {
    const int column = (w / 2) / 10;
    const int limit = t + h - 16;
    auto grid = [&](int x0, const int32_t* values, int count, int step, uint32_t color) {
      const int rows = (count + 9) / 10;
      for (int row = 0; row < rows; ++row) {
        const int top = t + kHeaderHeight + row * step;
        if (top + kQueueRow > limit) break;
        for (int col = 0; col < 10 && row * 10 + col < count; ++col) {
          FormatInt(values[row * 10 + col], text);
          const int x = x0 + col * column;
          DrawCellText(dc, RECT{x, top, x + column, top + kQueueRow}, text, color, 2);
        }
      }
    };
    grid(l, r.secondValues, askCount, 16, kAskQueue);
    grid(xm, r.firstValues, bidCount, 18, kBidQueue);
  }
  SelectGdiObject(dc, previousFont);
}

// ---------------------------------------------------------------------------
// CTrustCancelView

CTrustCancelView::CTrustCancelView() { font_ = CreateUiFont(GetUiFontFace(), 14); }

CTrustCancelView::~CTrustCancelView() {
  picture_.Free();
  DeleteGdiObject(font_);
}

void CTrustCancelView::SetDataRight(int right) {
  std::lock_guard<std::mutex> hold(lock_);
  dataRight_ = right;
}

namespace {

void CopySide(const CancellationRecord* from, CancellationRecord* to, bool* has) {
  *has = from != nullptr;
  if (!from) return;
  *to = *from;
  to->key.code[sizeof to->key.code - 1] = 0;
  to->key.name[sizeof to->key.name - 1] = 0;
}

}  // namespace

void CTrustCancelView::SetBuyCancels(const CancellationRecord* record) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopySide(record, &buy_, &hasBuy_);
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTrustCancelView::SetSellCancels(const CancellationRecord* record) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    CopySide(record, &sell_, &hasSell_);
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTrustCancelView::Clear() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasBuy_ = false;
    hasSell_ = false;
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

BOOL CTrustCancelView::OnEraseBkgnd(CDC*) { return TRUE; }

void CTrustCancelView::OnMouseMove(UINT, CPoint) {}

void CTrustCancelView::OnSize(UINT, int cx, int cy) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Rebuild(m_hWnd, cx, cy);
  }
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTrustCancelView::OnPaint() {
  CPaintDC dc(this);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!picture_.Made()) return;
    Draw(picture_.Dc());
  }
  picture_.CopyTo(dc.m_hDC);
}

void CTrustCancelView::DrawCellText(HDC dc, const RECT& rect, const WCHAR* text, uint32_t color, int alignment) {
  DrawTextAligned(dc, &rect, text, color, alignment);
}

void CTrustCancelView::Draw(HDC dc) {
  client_ = RECT{0, 0, picture_.Width(), picture_.Height()};
  const int w = client_.right, h = client_.bottom;
  FillRectColor(dc, &client_, kBlack);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorFromRgb(kWhite));
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, font_, &previousFont);
  if (!dataRight_) {
    DrawNoRight(this, dc, w, h, &noRightRect_, &CTrustCancelView::DrawCellText);
    SelectGdiObject(dc, previousFont);
    return;
  }
  const RECT buyHeader{0, 0, w / 2, 20};
  FillRectColor(dc, &buyHeader, kBand);
  DrawCellText(dc, buyHeader, u"委买撤单", kCaption, 1);
  const RECT sellHeader{w / 2, 0, w, 20};
  FillRectColor(dc, &sellHeader, kBand);
  DrawCellText(dc, sellHeader, u"委卖撤单", kCaption, 1);
  DrawLine(dc, 0, 0, w, 0, kLine, 0);
  DrawLine(dc, 0, 20, w, 20, kLine, 0);
  DrawLine(dc, w / 2, 0, w / 2, h, kLine, 0);
  const RECT captions[] = {{5, 20, w / 2 - 5, 40}, {w / 2 + 5, 20, w - 5, 40}};
  for (const RECT& c : captions) {
    DrawCellText(dc, c, u"撤单时间", kCaption, 0);
    DrawCellText(dc, c, u"委托价格", kCaption, 1);
    DrawCellText(dc, c, u"撤单量", kCaption, 2);
  }
  DrawCancelList(dc, hasBuy_ ? &buy_ : nullptr, 5, 40, w / 2 - 5, h);
  DrawCancelList(dc, hasSell_ ? &sell_ : nullptr, w / 2 + 5, 40, w - 5, h);
  SelectGdiObject(dc, previousFont);
}

void CTrustCancelView::DrawCancelList(HDC dc, const CancellationRecord* record, int x0, int y0, int x1, int y1) {
  if (!record) return;
  const int k = (y1 - y0) / kCancelRow;
  const int n = std::clamp<int>(record->entryCount, 0, kCancellationEntries);
  const int first = k < n ? n - k : 0;
  WCHAR text[kNumberTextSize];
  char ascii[kNumberTextSize];
  for (int i = first, y = y0; i < n && y + kCancelRow <= y1; ++i, y += kCancelRow) {
    const CancellationEntry& entry = record->entries[i];
    const RECT row{x0, y, x1, y + kCancelRow};
    const int32_t t = entry.time;
    std::snprintf(ascii, sizeof ascii, "%02d:%02d:%02d", t / 10000, (t % 10000) / 100, t % 100);
    Widen(ascii, text);
    DrawCellText(dc, row, text, kWhite, 0);
    FormatPrice(entry.price, record->key.decimals, text, kNumberTextSize);
    DrawCellText(dc, row, text, kWhite, 1);
    FormatVolume(entry.volume, text, kNumberTextSize);
    DrawCellText(dc, row, text, kWhite, 2);
  }
}
