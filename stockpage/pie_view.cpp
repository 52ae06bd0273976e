#include "stockpage/pie_view.h"

#include "charts/index_dialogs.h"
#include "foundation/draw_helpers.h"
#include "foundation/number_formats.h"
#include "stockpage/panel_formats.h"

#include <algorithm>
#include <cmath>

using namespace panel;

namespace {

constexpr uint32_t kHelpMark = 0x00F6FF;
const WCHAR* const kClassLabels[4] = {u"特大", u"大单", u"中单", u"小单"};

// Amount index of class i (0 特大 .. 3 小单) on a side (0 in, 1 out).
int AmountIndex(int side, int i) { return side * 4 + (3 - i); }

}  // namespace

CPieView::CPieView() {
  labelFont_ = CreateUiFont(GetUiFontFace(), 15);
  titleFont_ = CreateUiFont(GetUiFontFace(), 16);
}

CPieView::~CPieView() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    picture_.Free();
  }
  DeleteGdiObject(labelFont_);
  DeleteGdiObject(titleFont_);
}

void CPieView::SetFundFlow(const FundFlowRecord* record) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasFlow_ = record != nullptr;
    if (record) {
      flow_ = *record;
      flow_.code[sizeof flow_.code - 1] = 0;
    }
  }
  Invalidated();
}

void CPieView::SetOrderFlow(const FundFlowRecord* record) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasOrderFlow_ = record != nullptr;
    if (record) {
      orderFlow_ = *record;
      orderFlow_.code[sizeof orderFlow_.code - 1] = 0;
    }
  }
  Invalidated();
}

void CPieView::Clear() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    hasFlow_ = false;
    hasOrderFlow_ = false;
  }
  Invalidated();
}

void CPieView::SetDataRight(int right) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    dataRight_ = right;
  }
  Invalidated();
}

int CPieView::RowHeight(int height) { return 11 * 26 < height ? height / 11 : 26; }

void CPieView::SizeChanged(int width, int) { helpBox_ = RECT{width - 26, 0, width, 26}; }

void CPieView::OnMouseMove(UINT, CPoint) {}

void CPieView::OnLButtonDown(UINT flags, CPoint point) {
  RECT box;
  {
    std::lock_guard<std::mutex> hold(lock_);
    box = helpBox_;
  }
  if (point.x > box.left && point.x < box.right && point.y > box.top && point.y < box.bottom) ShowHelp(u"龙虎看盘");
  CPanelWnd::OnLButtonDown(flags, point);
}

void CPieView::ShowHelp(const WCHAR* name) {
  CIndexHelpDlg help(name, nullptr);
  help.DoModal();
}

void CPieView::Render(HDC dc) {
  Draw(dc);
  DrawValues(dc);
  DrawPie(dc);
}

void CPieView::Draw(HDC dc) {
  const int w = picture_.Width();
  const int hgt = picture_.Height();
  const int h = RowHeight(hgt);
  const int m = (w - 42) / 2;
  const RECT client{0, 0, w, hgt};
  FillRectColor(dc, &client, kBlack);
  DrawLine(dc, 0, 0, w, 0, kLineColor, 0);
  DrawLine(dc, 0, 0, 0, hgt, kLineColor, 0);
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, titleFont_, &previousFont);
  SetBkMode(dc, TRANSPARENT);
  DrawCellText(dc, RECT{6, 0, w - h, h}, u"龙虎看盘", kWhite, 0);
  DrawLine(dc, w - h, 0, w - h, h, kLineColor, 0);
  DrawCellText(dc, RECT{w - h, 0, w, h}, u"?", kHelpMark, 1);
  DrawLine(dc, 0, h, w, h, kLineColor, 0);

  SelectGdiObject(dc, labelFont_);
  DrawCellText(dc, RECT{6, h, 84, 2 * h}, u"流入（万）", kLabelGrey, 0);
  DrawLine(dc, 0, 3 * h, 84, 3 * h, kLineColor, 0);
  DrawCellText(dc, RECT{6, 3 * h, 84, 4 * h}, u"流出（万）", kLabelGrey, 0);
  DrawLine(dc, 0, 5 * h, w, 5 * h, kLineColor, 0);
  DrawLine(dc, 84, h, 84, 5 * h, kLineColor, 0);
  // Left-aligned at x 6 as in (6, 5h, 106, 6h); the cell runs on to the
  // net value's cell so that the label is not cut at the UI font's width.
  DrawCellText(dc, RECT{6, 5 * h, std::max(106, 42 + m), 6 * h}, u"净流入（万元）：", kLabelGrey, 0);
  DrawLine(dc, 0, 6 * h, w, 6 * h, kLineColor, 0);
  DrawCellText(dc, RECT{42, 6 * h, 42 + m, 7 * h}, u"流入（万）", kLabelGrey, 1);
  DrawCellText(dc, RECT{42 + m, 6 * h, 42 + 2 * m, 7 * h}, u"流出（万）", kLabelGrey, 1);
  DrawLine(dc, 42 + m, 6 * h, 42 + m, hgt, kLineColor, 0);
  for (int k = 7; k <= 10; ++k) DrawLine(dc, 0, k * h, w, k * h, kLineColor, 0);
  for (int i = 0; i < 4; ++i) {
    DrawCellText(dc, RECT{6, 7 * h + i * h, 42, 8 * h + i * h}, kClassLabels[i], kLabelGrey, 0);
    const int y = 7 * h + (h - 9) / 2 + i * h;
    const RECT in{m + 25, y, m + 40, y + 9};
    FillRectColor(dc, &in, kInflowColors[i]);
    const RECT out{2 * m + 25, y, 2 * m + 40, y + 9};
    FillRectColor(dc, &out, kOutflowColors[i]);
  }
  SelectGdiObject(dc, previousFont);
}

void CPieView::DrawValues(HDC dc) {
  if (!hasFlow_) return;
  const int w = picture_.Width();
  const int h = RowHeight(picture_.Height());
  const int m = (w - 42) / 2;
  // Sums wrap rather than overflow (hostile amounts).
  uint64_t in = 0, out = 0;
  for (int i = 0; i < 4; ++i) {
    in += static_cast<uint64_t>(flow_.amounts[i]);
    out += static_cast<uint64_t>(flow_.amounts[4 + i]);
  }
  const int64_t totalIn = static_cast<int64_t>(in);
  const int64_t totalOut = static_cast<int64_t>(out);
  const int64_t net = static_cast<int64_t>(in - out);
  HGDIOBJ previousFont = nullptr;
  SelectGdiObjectSave(dc, labelFont_, &previousFont);
  WCHAR text[kNumberTextSize];
  FormatCount(totalIn, text, kNumberTextSize);
  DrawCellText(dc, RECT{6, 2 * h, 84, 3 * h}, text, kYellow, 1);
  FormatCount(totalOut, text, kNumberTextSize);
  DrawCellText(dc, RECT{6, 4 * h, 84, 5 * h}, text, kYellow, 1);
  FormatCount(net, text, kNumberTextSize);
  DrawCellText(dc, RECT{42 + m, 5 * h, 42 + 2 * m, 6 * h}, text, kYellow, 1);
  for (int i = 0; i < 4; ++i) {
    FormatCount(flow_.amounts[AmountIndex(0, i)], text, kNumberTextSize);
    DrawCellText(dc, RECT{42, 7 * h + i * h, m + 23, 8 * h + i * h}, text, kYellow, 1);
    FormatCount(flow_.amounts[AmountIndex(1, i)], text, kNumberTextSize);
    DrawCellText(dc, RECT{42 + m, 7 * h + i * h, 2 * m + 23, 8 * h + i * h}, text, kYellow, 1);
  }
  SelectGdiObject(dc, previousFont);
}

void CPieView::DrawPie(HDC dc) {
  if (!hasFlow_) return;
  const int w = picture_.Width();
  const int hgt = picture_.Height();
  const int h = RowHeight(hgt);
  const int d = std::max(0, std::min(hgt - 7 * h - 4, (w - 84) - 4));
  const int left = 86, top = 3 * h - d / 2, right = 86 + d, bottom = 3 * h + d / 2;
  const int cx = 86 + d / 2, cy = 3 * h;
  auto pointFor = [&](float a) {
    const double theta = a / 100.0 * 360.0 * 3.1415926 / 180.0;
    return POINT{cx + static_cast<int>(std::trunc(std::cos(theta) * d)),
                 cy - static_cast<int>(std::trunc(std::sin(theta) * d))};
  };
  double totals[2] = {0, 0};
  for (int i = 0; i < 4; ++i) {
    totals[0] += static_cast<double>(flow_.amounts[i]);
    totals[1] += static_cast<double>(flow_.amounts[4 + i]);
  }
  float a = 25.0f;
  POINT start = pointFor(a);
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < 4; ++i) {
      const uint32_t color = side == 0 ? kInflowColors[i] : kOutflowColors[i];
      const int64_t amount = flow_.amounts[AmountIndex(side, i)];
      HPEN pen = CreatePen(PS_SOLID, 1, ColorFromRgb(color));
      HBRUSH brush = CreateSolidBrush(ColorFromRgb(color));
      if (totals[side] > 0) a += static_cast<float>(static_cast<double>(amount) * 50.0 / totals[side]);
      if (amount > 0) {
        POINT end = pointFor(a);
        if (end.x == start.x || end.y == start.y) end.y += 1;
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Pie(dc, left, top, right, bottom, start.x, start.y, end.x, end.y);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        start = end;
      }
      DeleteObject(brush);
      DeleteObject(pen);
    }
  }
}
