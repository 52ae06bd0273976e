#include "charts/mini_chart_wnd.h"

#include <cstdio>

#include "charts/kline_chart_indicators.h"
#include "charts/kline_painter.h"
#include "charts/minute_chart_indicators.h"
#include "charts/minute_chart_paint.h"
#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "foundation/debug_trace.h"

namespace {

constexpr UINT kTitleKey = RGB(255, 0, 255);

class Locked {
 public:
  explicit Locked(CriticalSection& l) : l_(l) { l_.Enter(); }
  ~Locked() { l_.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& l_;
};

bool SamePath(const char16_t* a, const char16_t* b) {
  return std::u16string_view(a ? a : u"") == std::u16string_view(b ? b : u"");
}

}  // namespace

CMiniMinKLineWnd::CMiniMinKLineWnd()
    : minuteArea_(std::make_unique<MinuteArea>()), klineArea_(std::make_unique<KLineArea>()) {}

CMiniMinKLineWnd::~CMiniMinKLineWnd() {
  if (m_hWnd) DestroyWindow();
  buttons_.clear();
  Locked hold(lock_);
  ReleasePicture(frame_);
  ReleasePicture(chartPicture_);
  // Created but never shown windows still own their charts and font.
  FreeMinuteChart(minuteChart_);
  FreeKLineChart(klineChart_);
  minuteChart_ = nullptr;
  klineChart_ = nullptr;
  if (font_) DeleteGdiObject(font_);
  font_ = nullptr;
}

void CMiniMinKLineWnd::ReleasePicture(Picture& p) {
  if (!p.dc) return;
  if (p.oldFont) SelectObject(p.dc, p.oldFont);
  SelectObject(p.dc, p.oldBitmap);
  if (p.bitmap) DeleteObject(p.bitmap);
  DeleteDC(p.dc);
  p = {};
}

int CMiniMinKLineWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  font_ = CreateUiFont(GetUiFontFace(), 14);
  RECT client{};
  GetClientRect(&client);
  const ChartRect r{client.left, client.top + 18, client.right, client.bottom};
  Locked hold(lock_);
  minuteChart_ = CreateMinuteChart(r, this);
  if (minuteChart_) {
    minuteChart_->PriceLineCount = 7;
    SetMinuteChartLayout(minuteChart_, kMinuteLayoutPriceVolume);
  }
  klineChart_ = CreateKLineChart(r, this);
  if (klineChart_) klineChart_->paneLayout = 0;
  return 0;
}

void CMiniMinKLineWnd::OnDestroy() {
  {
    Locked hold(lock_);
    if (chartPicture_.dc && chartPicture_.oldFont) {
      SelectObject(chartPicture_.dc, chartPicture_.oldFont);
      chartPicture_.oldFont = nullptr;
    }
    if (font_) DeleteGdiObject(font_);
    font_ = nullptr;
    FreeMinuteChart(minuteChart_);
    FreeKLineChart(klineChart_);
    minuteChart_ = nullptr;
    klineChart_ = nullptr;
  }
  CWnd::OnDestroy();
}

void CMiniMinKLineWnd::LoadTitleImage(const char16_t* path) {
  Locked hold(lock_);
  titleImage_.Destroy();
  if (!path || titleImage_.Load(path) != S_OK) titleImage_.Destroy();
  if (m_hWnd) Invalidate(TRUE);
}

void CMiniMinKLineWnd::AddButton(const char16_t* checkedPicture, const char16_t* normalPicture, const char16_t* text,
                                 UINT id, int checked, uint32_t textColor) {
  if (!m_hWnd) return;
  auto button = std::make_unique<FooButton>();
  if (!button->Create(text ? text : u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1, 1), this, id)) return;
  button->SetButtonType(10);
  if (font_) button->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  button->SetNormalImage(normalPicture, kTitleKey);
  button->SetHotImage(checkedPicture, kTitleKey);
  button->SetTextColor(ColorFromRgb(textColor));
  button->SetCheck(checked ? 1 : 0);
  char16_t group[16];
  char narrow[16];
  std::snprintf(narrow, sizeof narrow, "%d", windowIndex_);
  int n = 0;
  for (; narrow[n] && n < 15; ++n) group[n] = static_cast<char16_t>(narrow[n]);
  group[n] = 0;
  button->SetGroup(group);
  // The button is as wide as its normal picture + 3; without a picture its
  // text decides, so a missing file still leaves a readable button.
  int width = 0;
  CImage normal;
  if (normalPicture && *normalPicture && normal.Load(normalPicture) == S_OK) width = normal.GetWidth();
  if (width <= 0) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
    width = MeasureTextWidth(dc, text ? text : u"", 1) + 8;
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
  }
  {
    Locked hold(lock_);
    buttonWidths_.push_back(width + 3);
    buttons_.push_back(std::move(button));
    if (!SamePath(checkedPicture, normalPicture)) buttonsActive_ = true;
  }
  // Buttons added after the window's last resize take their place at once.
  LayoutButtons();
}

void CMiniMinKLineWnd::LayoutButtons() {
  int x = 1;
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const int w = buttonWidths_[i];
    buttons_[i]->MoveWindow(x, 1, w, std::max(titleHeight_ - 2, 0));
    x += w;
  }
}

void CMiniMinKLineWnd::CheckButton(int index) {
  if (FooButton* b = Button(index)) b->SetCheck(1);
}

void CMiniMinKLineWnd::SetMinuteData(const MinuteArea* area, const TradingHoursTable* hours) {
  {
    Locked hold(lock_);
    if (!minuteChart_) return;
    if (area) *minuteArea_ = *area;
    if (hours) hours_ = *hours;
    SetMinuteChartStock(minuteChart_, area ? minuteArea_.get() : nullptr, hours ? &hours_ : nullptr);
    minuteMode_ = true;
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMiniMinKLineWnd::SetKLineData(const KLineArea* bars, IndicatorWorkspace* workspace) {
  {
    Locked hold(lock_);
    if (!klineChart_) return;
    if (bars) *klineArea_ = *bars;
    SetKLineChartData(klineChart_, bars ? klineArea_.get() : nullptr, workspace);
    minuteMode_ = false;
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMiniMinKLineWnd::ClearChart() {
  {
    Locked hold(lock_);
    if (minuteMode_) {
      if (minuteChart_) ResetMinuteChart(minuteChart_);
    } else if (klineChart_) {
      ResetKLineChart(klineChart_);
    }
  }
  if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMiniMinKLineWnd::OnSize(UINT, int cx, int cy) {
  {
    Locked hold(lock_);
    ReleasePicture(frame_);
    ReleasePicture(chartPicture_);
    const int chartW = cx - 2, chartH = cy - titleHeight_;
    if (cx > 0 && cy > 0) {
      HDC screen = ::GetDC(m_hWnd);
      frame_.dc = CreateCompatibleDC(screen);
      frame_.bitmap = CreateCompatibleBitmap(screen, cx, cy);
      if (chartW > 0 && chartH > 0) {
        chartPicture_.dc = CreateCompatibleDC(screen);
        chartPicture_.bitmap = CreateCompatibleBitmap(screen, chartW, chartH);
      }
      ::ReleaseDC(m_hWnd, screen);
      for (Picture* p : {&frame_, &chartPicture_}) {
        if (p->dc && !p->bitmap) ReleasePicture(*p);
        if (p->dc) p->oldBitmap = SelectObject(p->dc, p->bitmap);
      }
      if (chartPicture_.dc) {
        SetBkMode(chartPicture_.dc, TRANSPARENT);
        if (font_) chartPicture_.oldFont = SelectObject(chartPicture_.dc, font_);
      }
    }
    const ChartRect bounds{1, 1, cx - 1, cy - titleHeight_ - 1};
    if (minuteChart_) {
      minuteChart_->Bounds = bounds;
      LayoutMinuteChart(minuteChart_);
    }
    if (klineChart_) {
      klineChart_->rect = bounds;
      LayoutKLineChart(klineChart_);
    }
  }
  LayoutButtons();
  Invalidate(TRUE);
}

BOOL CMiniMinKLineWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CMiniMinKLineWnd::DrawFrame(int width, int height) {
  const RECT all{0, 0, width, height};
  DrawRectangle(frame_.dc, &all, borderColor_, 0);
  FillRectColor(frame_.dc, &all, borderColor_);
  if (titleHeight_ <= 0) return;
  const RECT strip{1, 1, width - 1, titleHeight_ + 1};
  if (titleImage_.IsNull())
    FillRectColor(frame_.dc, &strip, 0x2C2C2C);
  else
    titleImage_.TransparentBlt(frame_.dc, strip, kTitleKey);
}

void CMiniMinKLineWnd::OnPaint() {
  CPaintDC dc(this);
  RECT client{};
  GetClientRect(&client);
  Locked hold(lock_);
  if (!frame_.dc) {
    FillRectColor(dc.GetSafeHdc(), &client, 0x000000);
    return;
  }
  DrawFrame(client.right, client.bottom);
  if (chartPicture_.dc) {
    if (minuteMode_ && minuteChart_) {
      CalcMinuteIndicators(minuteChart_);
      DrawMinuteChart(minuteChart_, chartPicture_.dc);
      BitBlt(frame_.dc, minuteChart_->Bounds.left, titleHeight_ + 1, client.right, client.bottom, chartPicture_.dc, 0, 0,
             SRCCOPY);
    } else if (!minuteMode_ && klineChart_) {
      CalcKLineIndicators(klineChart_);
      DrawKLineChart(klineChart_, chartPicture_.dc);
      BitBlt(frame_.dc, klineChart_->rect.left, titleHeight_ + 1, client.right, client.bottom, chartPicture_.dc, 0, 0,
             SRCCOPY);
    }
  }
  BitBlt(dc.GetSafeHdc(), 0, 0, client.right, client.bottom, frame_.dc, 0, 0, SRCCOPY);
}

void CMiniMinKLineWnd::OnLButtonDblClk(UINT flags, CPoint p) {
  RECT client{};
  GetClientRect(&client);
  client.top += titleHeight_;
  InflateRect(&client, -1, -1);
  if (PtInRect(&client, POINT{p.x, p.y})) {
    if (CWnd* parent = GetParent())
      parent->SendMessage(WM_MINICHART_DBLCLK, static_cast<WPARAM>(windowIndex_), minuteMode_ ? 1 : 2);
  }
  CWnd::OnLButtonDblClk(flags, p);
}

BOOL CMiniMinKLineWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  bool title = false;
  if (buttonsActive_ && HIWORD(wParam) == 0)
    for (const auto& b : buttons_)
      if (b->m_hWnd && static_cast<WPARAM>(b->GetDlgCtrlID()) == LOWORD(wParam)) title = true;
  if (title) {
    if (CWnd* parent = GetParent())
      parent->SendMessage(WM_MINICHART_BUTTON, LOWORD(wParam), static_cast<LPARAM>(windowIndex_));
  } else {
    HWND p1 = ::GetParent(m_hWnd);
    HWND p2 = p1 ? ::GetParent(p1) : nullptr;
    HWND p3 = p2 ? ::GetParent(p2) : nullptr;
    if (p3)
      ::SendMessageW(p3, WM_LIST_COMMAND_NOTICE, wParam, 0);
    else
      DebugPrintf("mini chart %d: command %u has no third parent\n", windowIndex_, static_cast<unsigned>(wParam));
  }
  return CWnd::OnCommand(wParam, lParam);
}

void CMiniMinKLineWnd::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (HWND parent = ::GetParent(m_hWnd)) ::PostMessageW(parent, WM_KEYDOWN, key, repeat);
  CWnd::OnKeyDown(key, repeat, flags);
}
