// CCycleResView: the stock page's 周期共振 page. One stock at nine time
// scales in a 3 x 3 grid of cells: today's minute chart, then the latest 100
// bars of the day, 1-, 5-, 15-, 30-, 60-minute, week and month periods.
//
// Requests (all pushing): minute data in slot 1 (cell 0); latest bars of
// periods 33-40 in slots 1-8 (cells 1-8). A click selects a cell (the focus
// stays); a double click cancels, clears and posts WM_COMMAND to the parent
// with 7002 (cell 0) or 7200 + the period (7233-7240) and lParam 1001.
//
// Threads: the engine callback runs on the connection thread. It enters the
// view's CallbackGate, takes the view's lock (shared with the cells, which
// paint under it), copies the slot's area into the view's own copy (other
// windows use the same slots), binds the chart to the copy with the view's
// own indicator workspace, draws into the cell's picture and invalidates
// the cell. Destruction cancels, closes the gate and waits for callbacks
// running on other threads.
#pragma once

#include <array>
#include <memory>

#include "charts/kline_chart.h"
#include "charts/minute_chart.h"
#include "controls/pop_view.h"
#include "foundation/callback_gate.h"
#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"

struct PendingRequest;
struct IndicatorWorkspace;

constexpr LPARAM kCycleCommandSource = 1001;

class CCycleResView : public CWnd {
 public:
  static constexpr int kCells = 9;

  CCycleResView();
  ~CCycleResView() override;

  void SetEngine(QuoteEngine* engine) { engine_ = engine; }
  // Clears, cancels, keeps the key and asks the nine requests.
  void ShowStock(const StockKey& key);
  void CancelRequests();
  // Empty charts in every cell; selection back to cell 0.
  void Clear();
  // Arrow keys from the stock page.
  void MoveSelection(UINT key);

  int GetSelectedCell() const { return selected_; }
  CVexloPopView& Cell(int i) { return cells_[static_cast<size_t>(i)]; }
  CRect SelectionRect() const { return selection_; }
  // The command a double click on the cell posts.
  static int CellCommand(int cell);
  // The period code of cell 1-8 (33-40).
  static int CellPeriod(int cell) { return 32 + cell; }
  CriticalSection& Lock() { return lock_; }
  int Handle(int cell) const { return handles_[static_cast<size_t>(cell)]; }
  // True when the cell's chart is bound to a reply with points or bars.
  bool CellHasData(int cell);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static void OnReply(void* owner, PendingRequest* entry);
  void Reply(PendingRequest* entry);
  void DrawCell(int cell);  // lock held
  void Select(int cell);
  int CellOf(WPARAM popView) const;
  void Shutdown();

  QuoteEngine* engine_ = nullptr;
  StockKey key_{};
  MinuteChart* minute_ = nullptr;
  std::array<KLineChart*, 8> klines_{};
  std::array<CVexloPopView, kCells> cells_;
  std::array<int, kCells> handles_{};
  int selected_ = 0;
  CRect selection_;
  CriticalSection lock_;
  std::shared_ptr<CallbackGate> gate_ = std::make_shared<CallbackGate>();
  // The view's own copies of its slots' areas (the charts point here).
  std::unique_ptr<MinuteArea> minuteCopy_;
  TradingHoursTable hours_{};
  std::array<std::unique_ptr<KLineArea>, 8> barsCopy_;
  std::array<IndicatorWorkspace*, 8> workspaces_{};
};
