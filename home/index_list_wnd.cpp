// The home page's index panel (see index_list_wnd.h).
#include "home/index_list_wnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "charts/minute_chart.h"
#include "charts/minute_chart_indicators.h"
#include "charts/minute_chart_paint.h"
#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "marketdata/minute_decoders.h"
#include "platform/kernel/kernel_utf.h"

namespace {

constexpr int kStripHeight = 28;
constexpr UINT kListButtonId = 1001;
const char* const kRowNames[3] = {"上证指数", "深证指数", "沪深300"};

std::u16string Number(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return Utf8ToWide(buffer);
}

}  // namespace

bool LayoutIndexStrip(int width, int height, int rowHeight, int openRow, IndexStripLayout* out) {
  if (openRow < 0 || openRow > 2) return false;
  const int h = rowHeight;
  const int c = std::max(0, (height - 2) - 3 * (h + 1) - kStripHeight);
  const int left = 1, right = width - 2;
  auto band = [&](int top, int height_) { return RECT{left, top, right, top + height_}; };
  RECT* r = out->rows;
  r[0] = band(kStripHeight, h);
  switch (openRow) {
    case 0:
      out->chart = band(r[0].bottom, c);
      r[1] = band(out->chart.bottom + 1, h);
      r[2] = band(r[1].bottom + 1, h);
      break;
    case 1:
      r[1] = band(r[0].bottom + 1, h);
      out->chart = band(r[1].bottom, c);
      r[2] = band(out->chart.bottom + 1, h);
      break;
    default:
      r[1] = band(r[0].bottom + 1, h);
      r[2] = band(r[1].bottom + 1, h);
      out->chart = band(r[2].bottom, c);
      break;
  }
  return true;
}

IndexRowTexts FormatIndexRow(const MinuteArea* area) {
  IndexRowTexts t;
  const int held = area != nullptr ? std::min(area->pointsHeld, kMinutePoints) : 0;
  if (held <= 0) {
    t.price = t.change = t.percent = u"-";
    return t;
  }
  const double p = area->points[held - 1].price;
  const double r = area->previousClose;
  t.color = p > r ? 0xFF0000 : p < r ? 0x229100 : 0x333333;
  const char* format = area->key.decimals == 2 ? "%.2f" : "%.3f";
  t.price = p == 0 ? u"-" : Number(format, p);
  t.change = p - r == 0 ? u"-" : Number(format, p - r);
  t.percent = p > 0 && r > 0 ? Number("%.2f%%", (p - r) / r * 10000 / 100) : u"0.00%";
  return t;
}

CIndexListWnd::CIndexListWnd() {
  rowFont_ = CreateUiFont(GetUiFontFace(), 14);
  chartFont_ = CreateUiFont(GetUiFontFace(), 12);
  chart_ = CreateMinuteChart(ChartRect{0, 0, 0, 0}, this);
  if (chart_ != nullptr) {
    SetMinuteChartLayout(chart_, kMinuteLayoutPriceLight);
    chart_->BackColor = 0xECF4FF;  // the panel's ground
  }
}

CIndexListWnd::~CIndexListWnd() {
  ReleasePicture();
  FreeMinuteChart(chart_);
  if (rowFont_ != nullptr) DeleteObject(rowFont_);
  if (chartFont_ != nullptr) DeleteObject(chartFont_);
}

void CIndexListWnd::SetRow(int row, const MinuteArea* area, const TradingHoursTable* hours) {
  {
    std::lock_guard<CriticalSection> guard(lock_);
    if (area != nullptr) {
      if (!areas_[row]) areas_[row] = std::make_unique<MinuteArea>();
      MinuteArea& copy = *areas_[row];
      // The used part only: the key, the reference and the held points.
      copy.key = area->key;
      copy.previousClose = area->previousClose;
      copy.startIndex = area->startIndex;
      copy.pointCount = area->pointCount;
      copy.fieldCount = std::min<int8_t>(area->fieldCount, static_cast<int8_t>(kMinuteFieldIdRoom));
      std::memcpy(copy.fieldIds, area->fieldIds, sizeof copy.fieldIds);
      copy.pointsHeld = std::clamp(area->pointsHeld, 0, kMinutePoints);
      std::memcpy(copy.points, area->points, sizeof(MinutePoint) * static_cast<size_t>(copy.pointsHeld));
      copy.flowsHeld = 0;
    }
    if (hours != nullptr) hours_ = hours;
    if (row == openRow_ && chart_ != nullptr) SetMinuteChartStock(chart_, areas_[row].get(), hours_);
  }
  if (GetSafeHwnd() != nullptr) ::InvalidateRect(GetSafeHwnd(), nullptr, TRUE);
}

void CIndexListWnd::LayoutRows(int openRow) {
  std::lock_guard<CriticalSection> guard(lock_);
  CRect rc;
  GetClientRect(&rc);
  if (!LayoutIndexStrip(rc.Width(), rc.Height(), rowHeight_, openRow, &layout_)) return;
  openRow_ = openRow;
  if (chart_ == nullptr) return;
  const RECT& c = layout_.chart;
  chart_->Bounds = ChartRect{c.left, std::min(c.top + 3, c.bottom), c.right, c.bottom};
  ResetMinuteChart(chart_);
  LayoutMinuteChart(chart_);
  if (areas_[openRow_]) SetMinuteChartStock(chart_, areas_[openRow_].get(), hours_);
}

int CIndexListWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  button_.Create(u"查看列表>>", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, kListButtonId);
  button_.SetButtonType(1);
  button_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(rowFont_), TRUE);
  button_.SetNormalImage(u"res\\btn_more.png", RGB(255, 0, 255));
  button_.SetHotImage(u"res\\btn_more.png", RGB(255, 0, 255));
  button_.SetTextColor(RGB(0xEC, 0xF4, 0xFF));
  button_.SetHoverTextColor(TRUE, RGB(0xFF, 0xDE, 0x00));
  return 0;
}

void CIndexListWnd::ReleasePicture() {
  if (!pictureMade_) return;
  SelectObject(memDc_, bitmapBefore_);
  DeleteObject(memBitmap_);
  DeleteDC(memDc_);
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  pictureMade_ = false;
}

void CIndexListWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  {
    std::lock_guard<CriticalSection> guard(lock_);
    ReleasePicture();
    HDC screen = ::GetDC(GetSafeHwnd());
    memDc_ = CreateCompatibleDC(screen);
    memBitmap_ = CreateCompatibleBitmap(screen, std::max(1, cx), std::max(1, cy));
    ::ReleaseDC(GetSafeHwnd(), screen);
    bitmapBefore_ = SelectObject(memDc_, memBitmap_);
    SetBkMode(memDc_, TRANSPARENT);
    pictureMade_ = true;
    LayoutRows(openRow_);
    const int right = cx - 10;
    const int left = right - button_.GetImageWidth() - 3;
    const int bottom = kStripHeight;
    button_.MoveWindow(left, bottom - button_.GetImageHeight(), right - left, button_.GetImageHeight(), TRUE);
  }
  ::InvalidateRect(GetSafeHwnd(), nullptr, TRUE);
}

BOOL CIndexListWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CIndexListWnd::DrawFrame(HDC dc, int width, int height) {
  RECT all{0, 0, width, height};
  DrawRectangle(dc, &all, frameColor_, 0);
  RECT inner{1, 1, width - 1, height - 1};
  FillRectColor(dc, &inner, 0xECF4FF);
  RECT strip{1, 2, width - 1, 30};
  FillRectColor(dc, &strip, stripColor_);
  RECT text{21, 1, width - 1, 29};
  DrawTextUtf8InRect(dc, &text, title_.c_str(), 0xFFF4EC, 0);
}

void CIndexListWnd::DrawIndexRows(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  for (int i = 0; i < 3; ++i) {
    const RECT& r = layout_.rows[i];
    const int f = (r.right - r.left - 20) / 4;
    if (i != openRow_) {
      DrawLine(dc, r.left, r.bottom - 2, r.right, r.bottom - 2, 0x728FB2, 0);
      DrawLine(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, 0xFFFFFF, 0);
    }
    const int x0 = r.left + 20;
    RECT name{x0, r.top, x0 + f, r.bottom};
    DrawTextUtf8InRect(dc, &name, kRowNames[i], 0x00236A, 0);
    if (!areas_[i]) continue;
    const IndexRowTexts t = FormatIndexRow(areas_[i].get());
    const std::u16string* texts[3] = {&t.price, &t.change, &t.percent};
    for (int k = 0; k < 3; ++k) {
      RECT cell{x0 + (k + 1) * f, r.top, x0 + (k + 2) * f, r.bottom};
      DrawTextInRect(dc, &cell, texts[k]->c_str(), t.color, 0);
    }
  }
}

void CIndexListWnd::Draw(HDC dc) {
  HGDIOBJ before = SelectObject(dc, rowFont_);
  RECT rc{};
  ::GetClientRect(GetSafeHwnd(), &rc);
  DrawFrame(dc, rc.right, rc.bottom);
  DrawIndexRows(dc);
  SelectObject(dc, before);
}

void CIndexListWnd::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  {
    std::lock_guard<CriticalSection> guard(lock_);
    if (!pictureMade_) return;
    Draw(memDc_);
    if (chart_ != nullptr && layout_.chart.bottom > layout_.chart.top) {
      HGDIOBJ before = SelectObject(memDc_, chartFont_);
      CalcMinuteIndicators(chart_);
      DrawMinuteChart(chart_, memDc_);
      SelectObject(memDc_, before);
    }
  }
  BitBlt(dc.GetSafeHdc(), 0, 0, rc.Width(), rc.Height(), memDc_, 0, 0, SRCCOPY);
}

int CIndexListWnd::RowAt(CPoint point) const {
  for (int i = 0; i < 3; ++i) {
    const RECT& r = layout_.rows[i];
    if (point.x > r.left && point.x < r.right && point.y > r.top && point.y < r.bottom) return i;
  }
  return -1;
}

void CIndexListWnd::OnLButtonDown(UINT flags, CPoint point) {
  int row;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    row = RowAt(point);
  }
  if (row >= 0) {
    ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
    LayoutRows(row);
    ::InvalidateRect(GetSafeHwnd(), nullptr, TRUE);
  }
  CWnd::OnLButtonDown(flags, point);
}

void CIndexListWnd::OnMouseMove(UINT flags, CPoint point) {
  int row;
  {
    std::lock_guard<CriticalSection> guard(lock_);
    row = RowAt(point);
  }
  if (row >= 0) ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
  CWnd::OnMouseMove(flags, point);
}

BOOL CIndexListWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == kListButtonId) {
    CWnd* top = GetParent();
    if (top != nullptr) top = top->GetParent();
    if (top != nullptr) top = top->GetParent();
    if (top != nullptr) top->SendMessage(WM_LIST_COMMAND_NOTICE, kListButtonId, 0);
  }
  return CWnd::OnCommand(wParam, lParam);
}
