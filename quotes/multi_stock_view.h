// CMultiStockView: the quote table's 多股同列 page. A list of stocks as
// minute charts, nine at a time in a 3 x 3 grid of cells; PageUp/PageDown
// page, the arrow keys and clicks move the selection, a double click opens
// the stock's page.
//
// The list comes from the caller (keys or quote records) or from a list
// request (type 40/42 into the engine's view-list slot, 10,000 rows, not
// pushing). Either way the view keeps its own StockCodeList: 7-byte entries
// (code, market) padded with filler entries (market 0) to whole pages of
// nine; a list reply is copied there in the callback. The view never writes
// the engine's view-list block. Each non-filler cell of the current page
// asks minute data in the slot of its cell (pushing).
//
// Posted: WM_SHOW_STOCK (515, heap key with name and kind from the code
// dictionary) and WM_SET_STOCK_LIST (kind 15, heap payload of the page's
// keys, fillers included) to the grandparent on a double click; any key
// other than paging and arrows to the main window as WM_KEY_COMMAND.
//
// Threads: the engine callback runs on the connection thread; it enters the
// view's CallbackGate, takes the view's lock (shared with the cells), copies
// the reply into the view's own storage, draws into the cell's picture and
// invalidates. Message boxes are shown with the lock released. Destruction
// cancels, closes the gate and waits for callbacks on other threads.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "charts/minute_chart.h"
#include "controls/pop_view.h"
#include "foundation/callback_gate.h"
#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/mfc/afx.h"
#include "quotes/quote_pages.h"

struct PendingRequest;
struct QuoteRecord;

// The view's list: 7-byte entries, padded to a multiple of nine.
struct StockCodeList {
  int64_t listId = 0;
  int32_t start = 0;
  int32_t entryCount = 0;              // real entries
  std::vector<unsigned char> entries;  // paddedCount x 7 bytes
  int32_t paddedCount = 0;             // always a multiple of 9
};

// Rotates the first entryCount entries left so that the entry whose code and
// market are the key's comes first; nothing when it is absent or first, or
// for a null key.
void RotateStockCodeList(StockCodeList* list, const StockKey* current);

class CMultiStockView : public CWnd, public IMultiStockView {
 public:
  static constexpr int kCells = 9;
  static constexpr int kListRows = 10000;

  CMultiStockView();
  ~CMultiStockView() override;

  // IMultiStockView
  bool IsShown() override { return m_hWnd && IsWindowVisible(); }
  int GetSelectedCell() override { return selected_; }
  void ReplaceSelectedStock(const StockKey& key) override;

  void SetEngine(QuoteEngine* engine) { engine_ = engine; }
  void CancelRequests();
  void ShowPage();
  void ResetCharts();
  void SetStockArray(const std::vector<StockKey>& keys, const StockKey* current = nullptr);
  void SetStockRecords(const QuoteRecord* records, int count, const StockKey* current = nullptr);
  void RequestList(int type, int64_t listId, int sortField, int order, const StockKey* current = nullptr);

  // Shows a message box ("提示信息"); tests replace it. Called without the
  // view's lock held.
  void SetBoxShower(std::function<void(const char16_t* text)> shower) { showBox_ = std::move(shower); }

  int Page() const { return page_; }
  int PageCount() const { return pageCount_; }
  StockCodeList List();
  CVexloPopView& Cell(int i) { return cells_[static_cast<size_t>(i)]; }
  CRect SelectionRect() const { return selection_; }
  int CellHandle(int i) const { return handles_[static_cast<size_t>(i)]; }
  int ListHandle() const { return listHandle_; }
  CriticalSection& Lock() { return lock_; }
  // Cell replies processed so far.
  int ReplyCount() const { return replies_.load(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint() override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static void OnReply(void* owner, PendingRequest* entry);
  void Reply(PendingRequest* entry);
  void LoadEntries(std::vector<unsigned char> entries, int count, const StockKey* current);
  void RequestPage(int page);     // lock held
  void CancelCells();             // lock held
  void ClearCharts();             // lock held
  void DrawCell(int cell);        // lock held
  void Select(int cell);
  void PageUp();
  void PageDown();
  void Box(const char16_t* text);
  int CellOf(WPARAM popView) const;
  void OnDoubleClick(int cell);
  void Shutdown();

  QuoteEngine* engine_ = nullptr;
  StockKey current_{};
  std::array<MinuteChart*, kCells> charts_{};
  std::array<CVexloPopView, kCells> cells_;
  std::array<int, kCells> handles_{};
  int listHandle_ = 0;
  int page_ = 0;
  int pageCount_ = 0;
  int selected_ = 0;
  int selectedOffset_ = 0;
  CRect selection_;
  StockCodeList list_;
  CriticalSection lock_;
  std::shared_ptr<CallbackGate> gate_ = std::make_shared<CallbackGate>();
  std::array<std::unique_ptr<MinuteArea>, kCells> copies_;
  TradingHoursTable hours_{};
  std::function<void(const char16_t*)> showBox_;
  std::atomic<int> replies_{0};
};
