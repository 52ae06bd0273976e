// CQuoteGridView: the quote view's page "行情". One market list at a time,
// chosen from a bar of boards above the grid, sorted and paged by the server
// and kept live by its pushes; the own-stock table sorted and paged locally.
//
// Table types (which list the grid shows; the request handle of each type is
// kept under the role of the same number):
//   0 A/B/fund board (40, list slot 1)    7/8/9 industry/region/concept blocks (42)
//   1 Hong Kong boards (40, slot 0)       10 members of one block (40, slot 0)
//   2 own stocks (32, own-stock slot 0)   12 commodity futures (40, slot 2)
//   3 index table ('+', field slot 0)     13 B to H (40, slot 0)
//   4 index category (40, slot 2)         14 stock list with 所属市场 (fill only)
//   5 Hong Kong indices ('-', field 1)    6 index futures ('.', field slot 1)
//
// Replies follow the page rule of quotes/quote_page.h: the callback copies
// the records and the request's start, list id, sort, direction, the list's
// total and the own-stock page into a TableReply under the page lock and
// posts one refill; the refill, every fill, sorting, paging, activation,
// menus and the selected stock run on the UI thread and read the shown copy.
//
// Tabs: 0 (行情报价) and 4 (多股同列) are built here; the analysis tabs 1-3
// refuse the markets they do not cover and otherwise do nothing yet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/grid_ctrl.h"
#include "controls/menu_ex.h"
#include "controls/skin_scroll_bar.h"
#include "controls/table_bar.h"
#include "marketdata/quote_record.h"
#include "quotes/column_sets.h"
#include "quotes/multi_stock_view.h"
#include "quotes/quote_page.h"
#include "quotes/quote_pages.h"

struct PendingRequest;

// The copy of one reply the table shows.
struct TableReply {
  int tableType = -1;               // the table type whose request answered
  std::vector<QuoteRecord> records; // the reply's records (own stocks: every one)
  int kind = 0;                     // request type: 40, 42, 32, 43, 45, 46
  int64_t listId = 0;               // 40: the list id; 42: the category
  int start = 0;                    // the page's first row
  int sortField = 0;
  int direction = 0;                // 0 largest first, 1 smallest first
  int total = 0;                    // rows of the whole list (40, 42)
  int ownPage = 0;                  // own stocks: the page shown
  int slot = 0;                     // the parameter slot
};

class CQuoteGridView : public CWnd, public IQuoteTablePage {
 public:
  // The refill message the reply callback posts to the table.
  static constexpr UINT kRefillMessage = WM_USER + 0x242;
  static constexpr int kBoardItems = 9;

  CQuoteGridView();
  ~CQuoteGridView() override;
  CQuoteGridView(const CQuoteGridView&) = delete;
  CQuoteGridView& operator=(const CQuoteGridView&) = delete;

  // IQuotePage / IQuoteTablePage.
  CWnd* Window() override { return this; }
  BOOL CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void CancelRequests() override;
  void SetEngine(QuoteEngine* engine) override;
  void ClearTable() override;
  void ResetColumns() override;
  void ShowDefaultTable() override;
  void Reload() override;
  bool GetSelectedStock(StockKey* key) override;
  CWnd* BoardBar() override { return &boardBar_; }
  void SetBoardBarItem(int item) override;
  void ShowBlockStocks(int64_t blockId, int blockKind) override;
  IMultiStockView* MultiStock() override { return &multiStock_; }

  // Requests (each cancels every earlier request first); the handle, 0 when
  // nothing was sent.
  int RequestList(int kind, int64_t listId, int start, int sortField, int direction, int rows, int slot);
  int RequestOwnStocks(int start, int rows);
  int RequestIndexTable();
  int RequestHKIndexTable();
  int RequestIndexFuturesTable();

  // The rows a page holds: the grid's visible rows.
  int VisibleRowCount();
  // The selected stock of the current grid row, or null (with the box
  // "当前未选中任何证券！" when allowNoRow is 0 and no row is current).
  const StockKey* SelectedStock(int allowNoRow);
  void SelectTab(int tab);
  void NextPage();
  void PreviousPage();
  // The sort field id of a grid column for the current table type.
  int ColumnSortKey(int column);
  // The own-stock local value of a grid column.
  static double ColumnValue(const QuoteRecord& record, int column);

  // Read-only state for tests and the boards.
  int TableType() const { return tableType_; }
  int HorizontalPosition() const { return hpos_; }
  int Mode() const { return mode_; }
  int CurrentRow() const { return currentRow_; }
  CGridCtrl* Grid() { return grid_.get(); }
  CTableBar* TabStrip() { return &tabStrip_; }
  CTableBar* Bar() { return &boardBar_; }
  CVexloScrollBar* HScrollBar() { return scrollBar_.get(); }
  CMultiStockView* MultiStockView() { return &multiStock_; }
  const TableReply& ShownReply() const { return shown_; }
  const SCROLLINFO& ScrollInfo() const { return scrollInfo_; }
  CMenuEx* ContextMenu() { return contextMenu_.get(); }
  CMenuEx* BoardMenu() { return boardMenu_.get(); }
  // Fills the grid from a reply copy as the refill does (tests, benchmarks).
  void FillFromCopy(const TableReply& copy);

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnSetFocus(CWnd* oldWnd) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnHScroll(UINT code, UINT pos, CWnd* bar) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  static void ReplyCallback(void* owner, PendingRequest* entry);
  void OnListReply(PendingRequest* entry);
  void OnRefill();
  LRESULT OnTableBarSelect(WPARAM bar, LPARAM item);
  void OnBoardBarSelect(int item);
  void TrackBoardMenu(int item);
  bool OnBoardCommand(int command, LPARAM sortParam);
  void OnGridSort(int column, int order);
  LRESULT OnGridActivate(WPARAM wParam, int row);
  void OnGridContextMenu(WPARAM point, int row);
  void OnContextCommand(int command);
  void OnApplyScrollInfo(WPARAM bar, LPARAM info);
  void ShowQuoteGrid();
  void ShowMultiStockPage();
  void SetHorizontalPosition(int position);
  void RemoveOwnStockSteps();
  void PostSaveOwnStocks(WPARAM operation, const StockKey* key);
  void NoStockBox();

  // Fills of the column sets (UI thread).
  void FillList(const ColumnSet& set, const TableReply& reply, int firstNumber);
  void FillOwnStocks();
  void PostScrollRange();
  ColumnSet SetOfType(int tableType) const;

  // The shown reply of the current table type, or null.
  const TableReply* Shown() const;
  // The records behind a table type's rows (block rows included).
  bool RowKey(int row, StockKey* key);
  int OwnStockCount() const;

  CTableBar boardBar_;
  CTableBar tabStrip_;
  std::unique_ptr<CGridCtrl> grid_;
  std::unique_ptr<CVexloScrollBar> scrollBar_;
  CMultiStockView multiStock_;
  HBITMAP scrollSkin_ = nullptr;
  QuoteEngine* engine_ = nullptr;
  std::unique_ptr<CMenuEx> boardMenu_;
  std::unique_ptr<CMenuEx> contextMenu_;

  // Settings of the last request and the page lock (callback side).
  QuotePageRequests requests_;      // handles by table type, the page lock
  LatestCopy<TableReply> latest_;   // the newest reply copy (under the lock)
  TableReply sent_[16];             // what each table type's request asked (under the lock)
  RefillPost refill_;

  // UI-thread state.
  TableReply shown_;                // the copy the grid shows
  int tableType_ = 0;
  int currentRow_ = 0;
  int hpos_ = 0;
  int tab_ = 0;
  int mode_ = 0;
  int multiRefill_ = 0;
  StockKey selected_{};
  std::vector<int> ownRows_;        // own stocks in display order (indexes into shown_.records)
  SCROLLINFO scrollInfo_{};
  struct LastRequest {
    int kind = 0;
    int64_t listId = 0;
    int sortField = 0;
    int direction = 0;
    int start = 0;
  } last_;
};
