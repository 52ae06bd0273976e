#include "charts/min_view.h"

#include <algorithm>
#include <cstring>

#include "charts/minute_chart_indicators.h"
#include "charts/minute_chart_paint.h"
#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"

namespace {

constexpr UINT_PTR kMineHoverTimer = 10000;
constexpr size_t kTimeTextRoom = sizeof(NewsRecord{}.longTime);

class Locked {
 public:
  explicit Locked(CriticalSection& l) : l_(l) { l_.Enter(); }
  ~Locked() { l_.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& l_;
};

LPARAM PointParam(int x, int y) { return static_cast<LPARAM>((y & 0xFFFF) << 16 | (x & 0xFFFF)); }

}  // namespace

CMinView::CMinView() : area_(std::make_unique<MinuteArea>()) {
  font_ = CreateUiFont(GetUiFontFace(), 14);
  chart_ = CreateMinuteChart({0, 0, 300, 200}, this);
  SetMinuteChartLayout(chart_, kMinuteLayoutFull);
  tipView_.SetLock(&lock_);
  subTitleView_.SetLock(&lock_);
}

CMinView::~CMinView() {
  // The children go first so that none paints a freed chart.
  if (m_hWnd) DestroyWindow();
  Locked hold(lock_);
  ReleaseMemoryPicture();
  if (font_) DeleteGdiObject(font_);
  font_ = nullptr;
  FreeMinuteChart(chart_);
  chart_ = nullptr;
}

void CMinView::ReleaseMemoryPicture() {
  if (!memDc_) return;
  SelectObject(memDc_, oldBitmap_);
  if (oldFont_) SelectObject(memDc_, oldFont_);
  if (memBitmap_) DeleteObject(memBitmap_);
  DeleteDC(memDc_);
  memDc_ = nullptr;
  memBitmap_ = nullptr;
  oldBitmap_ = oldFont_ = nullptr;
}

int CMinView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  const ChartRect& t = chart_->TipRect;
  const CRect at(t.left, t.top, t.right, t.bottom);
  tipView_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, at, this, 0);
  subTitleView_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, at, this, 0);
  if (tipView_.m_hWnd) tipView_.ShowWindow(SW_HIDE);
  return 0;
}

void CMinView::OnSize(UINT, int cx, int cy) {
  ChartRect sub{};
  {
    Locked hold(lock_);
    ReleaseMemoryPicture();
    if (cx > 0 && cy > 0) {
      HDC screen = ::GetDC(m_hWnd);
      memDc_ = CreateCompatibleDC(screen);
      memBitmap_ = memDc_ ? CreateCompatibleBitmap(screen, cx, cy) : nullptr;
      ::ReleaseDC(m_hWnd, screen);
      if (memDc_ && !memBitmap_) {
        // No picture: paint black until the next resize tries again.
        DeleteDC(memDc_);
        memDc_ = nullptr;
      }
      if (memDc_) {
        oldBitmap_ = SelectObject(memDc_, memBitmap_);
        oldFont_ = font_ ? SelectObject(memDc_, font_) : nullptr;
        SetBkMode(memDc_, TRANSPARENT);
      }
    }
    chart_->Bounds = {0, 0, cx, cy};
    LayoutMinuteChart(chart_);
    // The markers follow the new width.
    PlaceMineMarks(chart_);
    CalcMinuteIndicators(chart_);
    if (chart_->CrossHair) SettleMinuteCursor(chart_);
    dirty_ = true;
    sub = chart_->SubTitleRect;
  }
  if (subTitleView_.m_hWnd)
    subTitleView_.SetWindowPos(nullptr, sub.left, sub.top, std::max(sub.right - sub.left, 1),
                               std::max(sub.bottom - sub.top, 1), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  Invalidate(TRUE);
  if (subTitleView_.m_hWnd) subTitleView_.Invalidate(TRUE);
}

BOOL CMinView::OnEraseBkgnd(CDC*) { return TRUE; }

void CMinView::OnPaint() {
  CPaintDC dc(this);
  Locked hold(lock_);
  Draw(dc.GetSafeHdc());
}

void CMinView::Draw(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  RECT client{};
  GetClientRect(&client);
  if (!memDc_) {
    FillRectColor(dc, &client, 0x000000);
    return;
  }
  if (dirty_) {
    dirty_ = false;
    DrawMinuteChart(chart_, memDc_);
  }
  BitBlt(dc, 0, 0, client.right, client.bottom, memDc_, 0, 0, SRCCOPY);
  DrawMinuteCursor(chart_, dc);
  if (HDC tip = tipView_.GetMemoryDC()) DrawMinuteDataTip(chart_, tip);
  if (HDC sub = subTitleView_.GetMemoryDC()) DrawMinuteSubTitle(chart_, sub);
  noRightRect_ = {};
  if (dataRight_ == 0 && chart_->SubChart > kMinuteSubOrderTotals) {
    static const char kText[] = "您没有权限查询当前数据！";
    HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
    const int width = MeasureTextWidth(dc, kText, 0);
    const int top = chart_->SubTop + chart_->SubHeight / 2 - 20;
    const int left = (client.right - width) / 2;
    noRightRect_ = {left, top, left + width, top + 20};
    DrawTextUtf8InRect(dc, &noRightRect_, kText, 0xFFFFFF, 1);
    if (old) SelectObject(dc, old);
  }
}

// ------------------------------------------------------------- cursor strips

RECT CMinView::TipStrip() {
  RECT client{};
  GetClientRect(&client);
  return {client.left, client.top, 60, 300};
}

RECT CMinView::VerticalStrip() const {
  const int x = GetMinuteCursorX(chart_);
  if (x < 0) return {};
  return {x - 3, 0, x + 3, chart_->Bounds.bottom};
}

RECT CMinView::HorizontalStrip(int y) const { return {0, y - 3, chart_->Bounds.right, y + 3}; }

RECT CMinView::SubTitleStrip() const {
  const ChartRect s = GetMinuteSubTitleStrip(chart_);
  return {s.left, s.top, s.right, s.bottom};
}

void CMinView::InvalidateRemembered() {
  InvalidateStrip(tipStrip_);
  InvalidateStrip(vStrip_);
  InvalidateStrip(hStrip_);
}

void CMinView::InvalidatePopViews() {
  if (tipView_.m_hWnd) tipView_.Invalidate(TRUE);
  if (subTitleView_.m_hWnd) subTitleView_.Invalidate(TRUE);
}

void CMinView::PostToParent(UINT msg, WPARAM w, LPARAM l) {
  if (HWND parent = ::GetParent(m_hWnd)) ::PostMessageW(parent, msg, w, l);
}

// ------------------------------------------------------------------ mouse

void CMinView::OnLButtonDown(UINT, CPoint p) {
  {
    Locked hold(lock_);
    const int before = chart_->Cursor;
    ToggleMinuteCursor(chart_, p.x, p.y);
    InvalidateRemembered();
    if (chart_->Cursor != before) {
      tipStrip_ = TipStrip();
      InvalidateStrip(tipStrip_);
    }
    vStrip_ = VerticalStrip();
    InvalidateStrip(vStrip_);
    hStrip_ = HorizontalStrip(p.y);
    InvalidateStrip(hStrip_);
    InvalidateStrip(SubTitleStrip());
    if (chart_->Cursor >= 0 && tipView_.m_hWnd) tipView_.ShowWindow(chart_->CrossHair ? SW_SHOWNA : SW_HIDE);
    InvalidatePopViews();
  }
  UpdateWindow();
}

void CMinView::OnMouseMove(UINT, CPoint p) {
  bool shown;
  {
    Locked hold(lock_);
    if (p.x == lastMouseX_ && p.y == lastMouseY_) return;
    int found = -1;
    const int marks = std::clamp(chart_->MineMarkCount, 0, kMineMarkRoom);
    for (int i = 0; i < marks; ++i) {
      const ChartPoint& m = chart_->MineMarks[i];
      if (m.x < p.x && p.x < m.x + 10 && m.y < p.y && p.y < m.y + 10) found = i;
    }
    if (found >= 0) {
      hoveredMine_ = found;
      if (!hovering_) {
        hovering_ = true;
        hoverX_ = p.x;
        hoverY_ = p.y;
        SetTimer(kMineHoverTimer, 1000);
      }
    } else {
      KillTimer(kMineHoverTimer);
      if (hovering_) PostToParent(WM_MINUTE_MINE_PICK, 0, 1);
      hovering_ = false;
    }
    lastMouseX_ = p.x;
    lastMouseY_ = p.y;

    vStrip_ = VerticalStrip();
    InvalidateStrip(vStrip_);
    InvalidateStrip({0, chart_->CursorY - 5, chart_->Bounds.right, chart_->CursorY + 5});
    const int before = chart_->Cursor;
    TrackMinuteCursor(chart_, p.x, p.y);
    shown = chart_->CrossHair != 0;
    if (shown) {
      InvalidateRemembered();
      if (chart_->Cursor != before) {
        tipStrip_ = TipStrip();
        InvalidateStrip(tipStrip_);
      }
      vStrip_ = VerticalStrip();
      InvalidateStrip(vStrip_);
      hStrip_ = HorizontalStrip(p.y);
      InvalidateStrip(hStrip_);
      InvalidateStrip(SubTitleStrip());
      InvalidatePopViews();
    }
  }
  if (shown) UpdateWindow();
}

void CMinView::OnRButtonDown(UINT, CPoint p) {
  POINT s{p.x, p.y};
  ClientToScreen(&s);
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_CHART_MENU_MIN, static_cast<WPARAM>(PointParam(s.x, s.y)), 6000);
}

void CMinView::OnTimer(UINT_PTR id) {
  if (id != kMineHoverTimer) return;
  KillTimer(id);
  bool bound;
  int index;
  {
    Locked hold(lock_);
    bound = chart_->MineList != nullptr;
    index = hoveredMine_;
  }
  if (bound) PostToParent(WM_MINUTE_MINE_PICK, static_cast<WPARAM>(PointParam(hoverX_, hoverY_)), index);
}

// -------------------------------------------------------------------- keys

void CMinView::MoveCursor(void (*step)(MinuteChart*)) {
  {
    Locked hold(lock_);
    InvalidateStrip(VerticalStrip());
    InvalidateStrip(HorizontalStrip(GetMinuteCursorY(chart_)));
    step(chart_);
    InvalidateRemembered();
    tipStrip_ = TipStrip();
    InvalidateStrip(tipStrip_);
    vStrip_ = VerticalStrip();
    InvalidateStrip(vStrip_);
    hStrip_ = HorizontalStrip(GetMinuteCursorY(chart_));
    InvalidateStrip(hStrip_);
    const ChartRect top = GetMinuteTopStrip(chart_);
    topStrip_ = {top.left, top.top, top.right, top.bottom};
    InvalidateStrip(topStrip_);
    subStrip_ = SubTitleStrip();
    InvalidateStrip(subStrip_);
    if (tipView_.m_hWnd && !tipView_.IsWindowVisible()) tipView_.ShowWindow(SW_SHOWNA);
    InvalidatePopViews();
  }
  UpdateWindow();
}

void CMinView::MoveCursorLeft() { MoveCursor(StepMinuteCursorBack); }
void CMinView::MoveCursorRight() { MoveCursor(StepMinuteCursorForward); }

// -------------------------------------------------------------- messages

void CMinView::Refresh() {
  bool hide;
  {
    Locked hold(lock_);
    hide = hideTip_;
    hideTip_ = false;
  }
  if (hide && tipView_.m_hWnd) tipView_.ShowWindow(SW_HIDE);
  Invalidate(TRUE);
  if (subTitleView_.m_hWnd) subTitleView_.Invalidate(TRUE);
  UpdateWindow();
}

LRESULT CMinView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CHART_REFRESH:
      Refresh();
      return 0;
    case WM_POPLIST_DBLCLK: {
      bool pass;
      {
        Locked hold(lock_);
        pass = chart_->MineList && lParam >= 0 && lParam < chart_->MineList->recordCount;
      }
      if (pass) PostToParent(WM_POPLIST_DBLCLK, wParam, lParam);
      return 0;
    }
    default:
      return CWnd::WindowProc(message, wParam, lParam);
  }
}

// ------------------------------------------------------------ operations

void CMinView::SetStock(const MinuteArea* area, const TradingHoursTable* hours) {
  {
    Locked hold(lock_);
    if (area) *area_ = *area;
    if (hours) hours_ = *hours;
    SetMinuteChartStock(chart_, area ? area_.get() : nullptr, hours ? &hours_ : nullptr);
    // Marks that came before the data, or for another width, find their slots now.
    PlaceMineMarks(chart_);
    CalcMinuteIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::PostMessageW(m_hWnd, WM_CHART_REFRESH, 0, 0);
  }
}

void CMinView::SetMineList(const NewsListArea* mines, const void*) {
  {
    Locked hold(lock_);
    mineRecords_.clear();
    mines_ = {};
    if (mines) {
      std::memcpy(mines_.code, mines->code, sizeof mines_.code);
      mines_.market = mines->market;
      if (mines->records && mines->recordCount > 0)
        mineRecords_.assign(mines->records, mines->records + mines->recordCount);
    }
    mines_.records = mineRecords_.empty() ? nullptr : mineRecords_.data();
    mines_.recordCount = static_cast<int32_t>(mineRecords_.size());
    if (mines) {
      SetMinuteChartMines(chart_, &mines_);
    } else {
      chart_->MineList = nullptr;
      chart_->MineMarkCount = 0;
    }
    CalcMinuteIndicators(chart_);
    dirty_ = true;
  }
  if (m_hWnd) {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::PostMessageW(m_hWnd, WM_CHART_REFRESH, 0, 0);
  }
}

void CMinView::ClearChart() {
  {
    Locked hold(lock_);
    ResetMinuteChart(chart_);
    CalcMinuteIndicators(chart_);
    dirty_ = true;
    hideTip_ = true;
    hoveredMine_ = -1;
  }
  if (m_hWnd) {
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::PostMessageW(m_hWnd, WM_CHART_REFRESH, 0, 0);
  }
}

void CMinView::SetSubChart(int kind) {
  {
    Locked hold(lock_);
    SetMinuteChartSubChart(chart_, kind);
    dirty_ = true;
  }
  if (m_hWnd) Invalidate(TRUE);
  if (subTitleView_.m_hWnd) subTitleView_.Invalidate(TRUE);
}

int CMinView::GetMinuteSlot(const char* timeText) {
  Locked hold(lock_);
  if (!chart_->MineList || !chart_->Data || !timeText) return 0;
  return MinuteSlotOfMineTime(chart_, timeText, kTimeTextRoom);
}

std::vector<NewsRecord> CMinView::CopyMineList() {
  Locked hold(lock_);
  return mineRecords_;
}

int CMinView::IsSameMinuteSlot(const char* a, const char* b) {
  return GetMinuteSlot(a) == GetMinuteSlot(b) ? 1 : 0;
}
