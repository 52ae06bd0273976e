#include "stockpage/cycle_res_view.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "charts/kline_chart_indicators.h"
#include "charts/kline_painter.h"
#include "charts/minute_chart_indicators.h"
#include "charts/minute_chart_paint.h"
#include "foundation/draw_helpers.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "quotes/chart_copies.h"

namespace {

constexpr int kMinuteSlot = 1;
constexpr int kBarCount = 100;

}  // namespace

CCycleResView::CCycleResView() {
  minute_ = CreateMinuteChart(ChartRect{0, 0, 300, 200}, this);
  if (minute_) minute_->PriceLineCount = 7;
  for (auto& cell : cells_) cell.SetLock(&lock_);
  for (size_t k = 0; k < klines_.size(); ++k) {
    klines_[k] = CreateKLineChart(ChartRect{0, 0, 300, 200}, this);
    if (klines_[k]) klines_[k]->paneLayout = 0;
    barsCopy_[k] = std::make_unique<KLineArea>();
    workspaces_[k] = CreateIndicatorWorkspace();
  }
  minuteCopy_ = std::make_unique<MinuteArea>();
}

CCycleResView::~CCycleResView() {
  Shutdown();
  if (m_hWnd) DestroyWindow();
  FreeMinuteChart(minute_);
  for (KLineChart* chart : klines_) FreeKLineChart(chart);
  for (IndicatorWorkspace* w : workspaces_) FreeIndicatorWorkspace(w);
}

void CCycleResView::Shutdown() {
  CancelRequests();
  gate_->Close();
  gate_->WaitForOthers();
}

int CCycleResView::CellCommand(int cell) { return cell <= 0 ? 7002 : 7200 + CellPeriod(cell); }

int CCycleResView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  for (auto& cell : cells_)
    if (!cell.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, 0)) return -1;
  return 0;
}

void CCycleResView::OnDestroy() {
  Shutdown();
  CWnd::OnDestroy();
}

void CCycleResView::ShowStock(const StockKey& key) {
  Clear();
  CancelRequests();
  {
    std::lock_guard<CriticalSection> hold(lock_);
    key_ = key;
  }
  if (!engine_ || !gate_->IsOpen()) return;
  const int minute = RequestMinuteData(engine_, &CCycleResView::OnReply, this, '0', key.code, key.market, 0, 1, -1,
                                       0, 0, kMinuteSlot);
  std::array<int, kCells> handles{};
  handles[0] = minute;
  for (int cell = 1; cell < kCells; ++cell)
    handles[static_cast<size_t>(cell)] = RequestLatestBars(engine_, &CCycleResView::OnReply, this, CellPeriod(cell),
                                                           key.code, key.market, -1, 0, kBarCount, 0, 1, cell);
  std::lock_guard<CriticalSection> hold(lock_);
  handles_ = handles;
}

void CCycleResView::CancelRequests() {
  std::lock_guard<CriticalSection> hold(lock_);
  for (int& handle : handles_) {
    if (handle && engine_) CancelQuoteRequest(engine_, handle);
    handle = 0;
  }
}

void CCycleResView::Clear() {
  {
    std::lock_guard<CriticalSection> hold(lock_);
    if (minute_) ResetMinuteChart(minute_);
    for (KLineChart* chart : klines_)
      if (chart) ResetKLineChart(chart);
    for (int cell = 0; cell < kCells; ++cell) DrawCell(cell);
  }
  for (auto& cell : cells_)
    if (cell.m_hWnd) ::InvalidateRect(cell.m_hWnd, nullptr, FALSE);
  Select(0);
}

bool CCycleResView::CellHasData(int cell) {
  std::lock_guard<CriticalSection> hold(lock_);
  if (cell == 0) return minute_ && minute_->Data && minute_->Data->pointsHeld > 0;
  if (cell < 1 || cell >= kCells) return false;
  const size_t k = static_cast<size_t>(cell - 1);
  return klines_[k] && KLineBarCount(klines_[k]) > 0;
}

void CCycleResView::DrawCell(int cell) {
  HDC dc = cells_[static_cast<size_t>(cell)].GetMemoryDC();
  if (!dc) return;
  if (cell == 0) {
    if (!minute_) return;
    CalcMinuteIndicators(minute_);
    DrawMinuteChart(minute_, dc);
    return;
  }
  KLineChart* chart = klines_[static_cast<size_t>(cell - 1)];
  if (!chart) return;
  CalcKLineIndicators(chart);
  DrawKLineChart(chart, dc);
}

void CCycleResView::OnReply(void* owner, PendingRequest* entry) {
  auto* self = static_cast<CCycleResView*>(owner);
  if (!self || !entry || !self->gate_->Enter()) return;
  self->Reply(entry);
  self->gate_->Leave();
}

void CCycleResView::Reply(PendingRequest* entry) {
  int cell = -1;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    for (int i = 0; i < kCells; ++i)
      if (handles_[static_cast<size_t>(i)] && handles_[static_cast<size_t>(i)] == entry->sequence) cell = i;
    if (cell < 0 || !entry->area) return;
    if (cell == 0) {
      CopyMinuteAreaUsed(minuteCopy_.get(), static_cast<const MinuteArea*>(entry->area));
      if (engine_) hours_ = engine_->tradingHours;
      if (minute_) SetMinuteChartStock(minute_, minuteCopy_.get(), &hours_);
    } else {
      const size_t k = static_cast<size_t>(cell - 1);
      CopyKLineAreaUsed(barsCopy_[k].get(), static_cast<const KLineArea*>(entry->area));
      if (klines_[k]) SetKLineChartData(klines_[k], barsCopy_[k].get(), workspaces_[k]);
    }
    DrawCell(cell);
  }
  const HWND cellWindow = cells_[static_cast<size_t>(cell)].m_hWnd;
  if (cellWindow) ::InvalidateRect(cellWindow, nullptr, FALSE);
}

void CCycleResView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!cells_[0].m_hWnd) return;
  const int cw = (cx - 12) / 3, ch = (cy - 12) / 3;
  {
    std::lock_guard<CriticalSection> hold(lock_);
    int x = 4, y = 4;
    for (int cell = 0; cell < kCells; ++cell) {
      if (x + cw > cx) {
        x = 4;
        y += ch + 2;
      }
      cells_[static_cast<size_t>(cell)].MoveWindow(x, y, std::max(cw, 0), std::max(ch, 0), FALSE);
      x += cw + 2;
    }
    const ChartRect bounds{0, 0, std::max(cw, 0), std::max(ch, 0)};
    if (minute_) minute_->Bounds = bounds;
    for (KLineChart* chart : klines_) {
      if (!chart) continue;
      chart->rect = bounds;
      chart->scrollToEnd = 1;
    }
    for (int cell = 0; cell < kCells; ++cell) DrawCell(cell);
  }
  for (auto& cell : cells_) ::InvalidateRect(cell.m_hWnd, nullptr, FALSE);
  Select(selected_);
  Invalidate(FALSE);
}

void CCycleResView::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  FillRectColor(dc.m_hDC, &client, 0x000000);
  if (selected_ >= 0 && !selection_.IsRectEmpty()) FillRectColor(dc.m_hDC, &selection_, 0x08306B);
}

void CCycleResView::Select(int cell) {
  if (cell < 0 || cell >= kCells) return;
  if (m_hWnd && !selection_.IsRectEmpty()) InvalidateRect(&selection_, FALSE);
  selected_ = cell;
  if (!cells_[static_cast<size_t>(cell)].m_hWnd) return;
  CRect rc;
  cells_[static_cast<size_t>(cell)].GetWindowRect(&rc);
  ScreenToClient(&rc);
  rc.InflateRect(2, 2);
  selection_ = rc;
  InvalidateRect(&selection_, FALSE);
}

void CCycleResView::MoveSelection(UINT key) {
  int cell = selected_;
  switch (key) {
    case VK_LEFT: cell = std::max(cell - 1, 0); break;
    case VK_UP: if (cell - 3 >= 0) cell -= 3; break;
    case VK_RIGHT: cell = std::min(cell + 1, kCells - 1); break;
    case VK_DOWN: if (cell + 3 <= kCells - 1) cell += 3; break;
    default: return;
  }
  Select(cell);
}

int CCycleResView::CellOf(WPARAM popView) const {
  for (int i = 0; i < kCells; ++i)
    if (popView == reinterpret_cast<WPARAM>(&cells_[static_cast<size_t>(i)])) return i;
  return -1;
}

LRESULT CCycleResView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    const int cell = CellOf(wParam);
    if (cell < 0) return CWnd::WindowProc(message, wParam, lParam);
    if (message == WM_LBUTTONDOWN) {
      Select(cell);
      return 0;
    }
    CancelRequests();
    Clear();
    if (CWnd* parent = GetParent())
      parent->PostMessage(WM_COMMAND, static_cast<WPARAM>(CellCommand(cell)), kCycleCommandSource);
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}
