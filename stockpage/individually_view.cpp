#include "stockpage/individually_view.h"

#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "stockpage/panel_formats.h"

#include <algorithm>

using namespace panel;

CIndividuallyView::CIndividuallyView() {
  rowFont_ = CreateUiFont(GetUiFontFace(), 16);
  titleFont_ = CreateUiFont(GetUiFontFace(), 16);
}

CIndividuallyView::~CIndividuallyView() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Free();
  }
  DeleteGdiObject(rowFont_);
  DeleteGdiObject(titleFont_);
}

void CIndividuallyView::SetTickArea(const TickByTickArea* area) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasArea_ = area != nullptr;
    if (area) {
      area_ = *area;
      area_.rowCount = std::clamp<int32_t>(area_.rowCount, 0, kTickByTickRows);
    }
  }
  Invalidated();
}

void CIndividuallyView::SetHighlight(int32_t first, int32_t lastPlusOne) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    highlightFirst_ = first;
    highlightEnd_ = lastPlusOne;
  }
  Invalidated();
}

void CIndividuallyView::SetDataRight(int right) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    dataRight_ = right;
  }
  Invalidated();
}

RECT CIndividuallyView::MessageRect() const {
  std::lock_guard<std::mutex> hold(lock_);
  return messageRect_;
}

void CIndividuallyView::OnMouseMove(UINT, CPoint) {}

void CIndividuallyView::DrawExtra(HDC) {}

void CIndividuallyView::Render(HDC dc) {
  const int w = picture_.Width();
  const int h = picture_.Height();
  const RECT client{0, 0, w, h};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, 0, 0, 0, h, kLineColor, 0);
  const RECT band{1, 0, w, kTitleHeight};
  FillRectColor(dc, &band, kTitleFill);
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, titleFont_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  DrawCellText(dc, RECT{0, 0, w, kTitleHeight}, u"逐笔成交", kWhite, 1);
  SelectGdiObject(dc, rowFont_);
  if (dataRight_ == 0) {
    const WCHAR* message = u"您没有权限查询当前数据！";
    const int textWidth = MeasureTextWidth(dc, message, 1);
    messageRect_ = RECT{(w - textWidth) / 2, h / 2 - 20, (w - textWidth) / 2 + textWidth, h / 2};
    DrawCellText(dc, messageRect_, message, kLabelGrey, 1);
    SelectGdiObject(dc, previousFont);
    return;
  }
  DrawLine(dc, 0, h - 1, w, h - 1, kLineColor, 0);
  if (!hasArea_) {
    SelectGdiObject(dc, previousFont);
    return;
  }
  const int count = area_.rowCount;
  const int first = std::max(0, count - std::max(0, (h - kTitleHeight) / kRowHeight));
  const int top = kTitleHeight + ((h - kTitleHeight) % kRowHeight + kRowHeight) % kRowHeight / 2;
  WCHAR text[kNumberTextSize];
  int timeWidth = 0, volumeWidth = 0;
  if (first < count) {
    FormatTickTime(area_.rows[first].time, text, kNumberTextSize);
    timeWidth = MeasureTextWidth(dc, text, 1);
  }
  for (int i = first; i < count; ++i) {
    FormatVolume(area_.rows[i].volume, text, kNumberTextSize);
    volumeWidth = std::max(volumeWidth, MeasureTextWidth(dc, text, 1));
  }
  // The time column ends at x 57, or after the full time of the first row
  // when the row font is wider than that (the time is never cut).
  const int timeRight = std::max(57, 2 + timeWidth);
  for (int i = first; i < count; ++i) {
    const TickRecord& t = area_.rows[i];
    const int y = top + (i - first) * kRowHeight;
    const int64_t number = static_cast<int64_t>(area_.total) - count + i;
    if (area_.total >= 0 && number >= highlightFirst_ && number < highlightEnd_) {
      const RECT mark{2, y, w, y + kRowHeight};
      FillRectColor(dc, &mark, kHighlightBlue);
    }
    const bool sameMinute = i > first && area_.rows[i - 1].time / 100 == t.time / 100;
    if (sameMinute)
      FormatTickSeconds(t.time, text, kNumberTextSize);
    else
      FormatTickTime(t.time, text, kNumberTextSize);
    DrawCellText(dc, RECT{2, y, timeRight, y + kRowHeight}, text, kLabelGrey, 2);
    FormatVolume(t.volume, text, kNumberTextSize);
    DrawCellText(dc, RECT{2, y, w - 20, y + kRowHeight}, text, TickVolumeColor(area_.key.kind, t.volume), 2);
    if (t.direction == 'B')
      DrawCellText(dc, RECT{w - 20, y, w, y + kRowHeight}, u"B", kRed, 1);
    else if (t.direction == 'S')
      DrawCellText(dc, RECT{w - 20, y, w, y + kRowHeight}, u"S", kGreen, 1);
    FormatPrice(t.price, area_.key.decimals, text, kNumberTextSize);
    DrawCellText(dc, RECT{2 + timeWidth, y, w - 20 - volumeWidth, y + kRowHeight}, text,
                 ColorAgainst(t.price, area_.referencePrice), 1);
  }
  DrawExtra(dc);
  SelectGdiObject(dc, previousFont);
}
