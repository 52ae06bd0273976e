#include "quotes/quote_grid_view.h"

#include <algorithm>
#include <cstring>

#include "controls/control_messages.h"
#include "foundation/debug_trace.h"
#include "foundation/draw_helpers.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "marketdata/result_areas.h"
#include "quotes/quote_formats.h"
#include "quotes/quote_messages.h"

namespace {

constexpr const char16_t* kBoardBarItems = u"全部A股▼,自选,指数,股指期货,热门板块▼,B 股▼,B转H,基 金▼,港 股▼";
constexpr const char16_t* kTabItems = u"行情报价,资金流向,阶段统计,增仓排名,多股同列";
constexpr int kBarHeight = 20;
constexpr int kScrollHeight = 16;
constexpr int kSkinBitmap = 147;
constexpr int kListRequest = 40;
constexpr int kCategoryRequest = 42;

// One board command: the item it belongs to, its text, the list (or
// category) and the table type and slot of its request.
struct BoardCommand {
  int command;
  const char16_t* text;
  int item;
  int64_t list;
  int tableType;
  int slot;
};

constexpr BoardCommand kBoardCommands[] = {
    {1000, u"全部A股▼", 0, 1101, 0, 1},       {1001, u"上证A股▼", 0, 1102, 0, 1},
    {1002, u"深证A股▼", 0, 1103, 0, 1},       {1003, u"中小板▼", 0, 1105, 0, 1},
    {1004, u"创业板▼", 0, 1106, 0, 1},        {1005, u"上证50▼", 0, 1112, 0, 1},
    {1006, u"上证180▼", 0, 1113, 0, 1},       {1007, u"深证100▼", 0, 1115, 0, 1},
    {1008, u"深证成指▼", 0, 1114, 0, 1},      {1009, u"沪深300▼", 0, 1116, 0, 1},
    {2000, u"全部B股▼", 5, 1107, 0, 1},       {2001, u"上证B股▼", 5, 1108, 0, 1},
    {2002, u"深证B股▼", 5, 1109, 0, 1},       {3000, u"行 业▼", 4, 1011, 7, 0},
    {3001, u"地 区▼", 4, 1010, 8, 0},         {3002, u"概 念▼", 4, 1016, 9, 1},
    {4000, u"港股主板▼", 8, 1813, 1, 0},      {4001, u"港股创业▼", 8, 1814, 1, 0},
    {4002, u"港股指数▼", 8, 0, 5, 1},         {5000, u"沪深封闭基金▼", 7, 3103, 0, 1},
    {5001, u"上证封闭基金▼", 7, 36, 0, 1},    {5002, u"深证封闭基金▼", 7, 37, 0, 1},
    {5003, u"ETF基金▼", 7, 3108, 0, 1},       {5004, u"LOFs板块▼", 7, 3107, 0, 1},
    {7000, u"大连商品▼", 9, 440201, 12, 2},   {7001, u"郑州商品▼", 9, 440301, 12, 2},
    {7002, u"渤海商品▼", 9, 440501, 12, 2},   {7003, u"上海期货▼", 9, 440101, 12, 2},
    {8000, u"量化策略▼", 3, 410602, 4, 2},    {8001, u" 市场表征▼", 3, 410603, 4, 2},
    {8002, u"一级行业▼", 3, 410604, 4, 2},    {8003, u"风格指数▼", 3, 410607, 4, 2},
};

// The items of each board menu.
struct MenuItem {
  int command;
  const char16_t* text;
};
constexpr MenuItem kMenu0[] = {{1000, u"全部A股"}, {1001, u"上证A股"}, {1002, u"深证A股"}, {1003, u"中小板"},
                               {1004, u"创业板"},  {1005, u"上证50"},  {1006, u"上证180"}, {1007, u"深证100"},
                               {1008, u"深证成指"}, {1009, u"沪深300"}};
constexpr MenuItem kMenu4[] = {{3000, u"行 业"}, {3001, u"地 区"}, {3002, u"概 念"}};
constexpr MenuItem kMenu5[] = {{2000, u"全部B股"}, {2001, u"上证B股"}, {2002, u"深证B股"}};
constexpr MenuItem kMenu7[] = {{5000, u"沪深封闭基金"}, {5001, u"上证封闭基金"}, {5002, u"深证封闭基金"},
                               {5003, u"ETF基金"},      {5004, u"LOFs板块"}};
constexpr MenuItem kMenu8[] = {{4000, u"港股主板"}, {4001, u"港股创业"}, {4002, u"港股指数"}};
constexpr MenuItem kMenu9[] = {{7000, u"大连商品"}, {7001, u"郑州商品"}, {7002, u"渤海商品"}, {7003, u"上海期货"}};

const BoardCommand* FindBoardCommand(int command) {
  for (const auto& c : kBoardCommands)
    if (c.command == command) return &c;
  return nullptr;
}

bool IsServerList(int tableType) {
  switch (tableType) {
    case 0: case 1: case 4: case 7: case 8: case 9: case 10: case 12: case 13: return true;
    default: return false;
  }
}

bool IsFieldTable(int tableType) { return tableType == 3 || tableType == 5 || tableType == 6; }

// The list slot of a server-list table type.
int ListSlot(int tableType) {
  switch (tableType) {
    case 0: return 1;
    case 4: case 12: return 2;
    case 9: return 1;
    default: return 0;
  }
}

int ListKind(int tableType) { return (tableType >= 7 && tableType <= 9) ? kCategoryRequest : kListRequest; }

// The list kind of WM_SET_STOCK_LIST by table type; -1 for types that never
// send it.
int StockListKindOf(int tableType) {
  switch (tableType) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 3;
    case 4: return 18;
    case 5: return 4;
    case 6: return 5;
    case 10: return 9;
    case 12: return 3;
    case 13: return 19;
    default: return -1;
  }
}

}  // namespace


// --- Construction ------------------------------------------------------------

CQuoteGridView::CQuoteGridView()
    : grid_(std::make_unique<CGridCtrl>()), scrollBar_(std::make_unique<CVexloScrollBar>()) {
  grid_->SetCurRow(0);
  grid_->EnableChangeFlash(1);
  grid_->LoadTagImage(u"res\\drag.png");
  scrollInfo_.cbSize = 28;
}

CQuoteGridView::~CQuoteGridView() {
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    requests_.CancelAll();
  }
  if (boardMenu_) boardMenu_->DestroyMenu();
  if (contextMenu_) contextMenu_->DestroyMenu();
  if (m_hWnd) DestroyWindow();
  DeleteGdiObject(scrollSkin_);
}

BOOL CQuoteGridView::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(nullptr, u"行情", style, rect, parent, id);
}

void CQuoteGridView::SetEngine(QuoteEngine* engine) {
  engine_ = engine;
  requests_.SetEngine(engine);
  multiStock_.SetEngine(engine);
}

int CQuoteGridView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  CRect client;
  GetClientRect(&client);
  const int w = client.Width();
  const int h = client.Height();
  if (!boardBar_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, w, kBarHeight), this, 0)) {
    DebugPrintf("CQuoteGridView::OnCreate: the board bar cannot be created\n");
    return -1;
  }
  boardBar_.SetItemImages(u"res\\quote_table_item_bg.png", u"res\\quote_table_item_sel_bg.png");
  boardBar_.SetBackgroundImage(u"res\\quote_table_bg.png");
  boardBar_.SetItems(kBoardBarItems);
  if (!tabStrip_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, h), this, 0)) {
    DebugPrintf("CQuoteGridView::OnCreate: the tab strip cannot be created\n");
    return -1;
  }
  tabStrip_.SetOrientation(1);
  tabStrip_.SetItemImages(u"res\\quote_table_item_v_bg.png", u"res\\quote_table_item_sel_v_bg.png");
  tabStrip_.SetItems(kTabItems);
  if (!grid_->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(20, kBarHeight, w, h - kScrollHeight), this, 0)) {
    DebugPrintf("CQuoteGridView::OnCreate: the grid cannot be created\n");
    return -1;
  }
  grid_->SetFixedColumnCount(4);
  grid_->SetHScrollPos(0);
  if (!scrollBar_->Create(WS_CHILD | WS_VISIBLE | SBS_HORZ, CRect(20, h - kScrollHeight, w, h), this, 0)) {
    DebugPrintf("CQuoteGridView::OnCreate: the scroll bar cannot be created\n");
    return -1;
  }
  if (!multiStock_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(20, h - kScrollHeight, w, h),
                          this, 0)) {
    DebugPrintf("CQuoteGridView::OnCreate: the multi-stock view cannot be created\n");
    return -1;
  }
  multiStock_.SetEngine(engine_);
  multiStock_.ShowWindow(SW_HIDE);
  scrollSkin_ = LoadBitmapW(nullptr, MAKEINTRESOURCEW(kSkinBitmap));
  scrollBar_->SetBitmap(scrollSkin_);
  return 0;
}

void CQuoteGridView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!grid_->m_hWnd) return;
  boardBar_.MoveWindow(0, 0, cx, kBarHeight, TRUE);
  tabStrip_.MoveWindow(0, kBarHeight, 0, std::max(0, cy - kBarHeight), TRUE);
  grid_->MoveWindow(0, kBarHeight, cx, std::max(0, cy - kBarHeight - kScrollHeight), TRUE);
  scrollBar_->MoveWindow(0, cy - kScrollHeight, cx, kScrollHeight, TRUE);
  multiStock_.MoveWindow(0, kBarHeight, cx, std::max(0, cy - kBarHeight), TRUE);
  if (IsWindowVisible()) Reload();
}

void CQuoteGridView::OnSetFocus(CWnd*) {
  if (grid_->m_hWnd) grid_->SetFocus();
}

void CQuoteGridView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  FillRectColor(dc.GetSafeHdc(), &rc, 0x000000);
}

LRESULT CQuoteGridView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TABLEBAR_SELECT: return OnTableBarSelect(wParam, lParam);
    case WM_GRID_ACTIVATE: return OnGridActivate(wParam, static_cast<int>(lParam));
    case WM_GRID_CONTEXT_MENU: OnGridContextMenu(wParam, static_cast<int>(lParam)); return 1;
    case WM_GRID_SORT: OnGridSort(static_cast<int>(wParam), static_cast<int>(lParam)); return 1;
    case WM_GRID_PAGE:
      AssertUiThread("CQuoteGridView::OnGridPage");
      if (static_cast<int>(wParam) == -1) PreviousPage();
      else if (wParam == 0) NextPage();
      return 1;
    case WM_APPLY_SCROLLINFO: OnApplyScrollInfo(wParam, lParam); return 0;
    case kRefillMessage: OnRefill(); return 0;
    default: return CWnd::WindowProc(msg, wParam, lParam);
  }
}

// --- Requests ------------------------------------------------------------------

void CQuoteGridView::CancelRequests() {
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  requests_.CancelAll();
  TableReply dropped;
  latest_.Take(&dropped);  // a copy of a cancelled request never reaches the grid
  multiStock_.CancelRequests();
}

int CQuoteGridView::RequestList(int kind, int64_t listId, int start, int sortField, int direction, int rows,
                                int slot) {
  CancelRequests();
  last_ = LastRequest{kind, listId, sortField, direction, start};
  int handle = 0;
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    const int32_t low = static_cast<int32_t>(static_cast<uint64_t>(listId) & 0xFFFFFFFFu);
    const int32_t high = static_cast<int32_t>(static_cast<uint64_t>(listId) >> 32);
    if (engine_)
      handle = RequestQuoteList(engine_, &CQuoteGridView::ReplyCallback, this, kind, low, high, start,
                                sortField & 0xFFFF, direction & 0xFF, 0, 1, rows & 0xFFFF, slot);
    TableReply& s = sent_[tableType_];
    s = TableReply{};
    s.tableType = tableType_;
    s.kind = kind;
    s.listId = listId;
    s.start = start;
    s.sortField = sortField;
    s.direction = direction;
    s.slot = slot;
    requests_.Set(tableType_, handle);
  }
  if (mode_ == 4) multiStock_.RequestList(kind, listId, sortField, direction);
  return handle;
}

int CQuoteGridView::RequestOwnStocks(int start, int rows) {
  CancelRequests();
  int handle = 0;
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    if (engine_) handle = RequestOwnStockQuotes(engine_, &CQuoteGridView::ReplyCallback, this, start, rows, 0, 1, 0);
    TableReply& s = sent_[2];
    s = TableReply{};
    s.tableType = 2;
    s.kind = 32;
    s.start = start;
    s.ownPage = rows > 0 ? (start + rows - 1) / rows : 0;
    requests_.Set(2, handle);
  }
  if (handle == 0 && shown_.tableType == 2) {
    // An empty watch list sends nothing: the table keeps its header row.
    shown_.records.clear();
    shown_.ownPage = 0;
    ownRows_.clear();
  }
  return handle;
}

int CQuoteGridView::RequestIndexTable() {
  CancelRequests();
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const int handle = engine_ ? RequestFieldTable(engine_, &CQuoteGridView::ReplyCallback, this, '+', 0, 1, 0) : 0;
  sent_[3] = TableReply{};
  sent_[3].tableType = 3;
  sent_[3].kind = '+';
  requests_.Set(3, handle);
  return handle;
}

int CQuoteGridView::RequestHKIndexTable() {
  CancelRequests();
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const int handle = engine_ ? RequestFieldTable(engine_, &CQuoteGridView::ReplyCallback, this, '-', 0, 1, 1) : 0;
  sent_[5] = TableReply{};
  sent_[5].tableType = 5;
  sent_[5].kind = '-';
  sent_[5].slot = 1;
  requests_.Set(5, handle);
  return handle;
}

int CQuoteGridView::RequestIndexFuturesTable() {
  CancelRequests();
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const int handle = engine_ ? RequestFieldTable(engine_, &CQuoteGridView::ReplyCallback, this, '.', 0, 1, 1) : 0;
  sent_[6] = TableReply{};
  sent_[6].tableType = 6;
  sent_[6].kind = '.';
  sent_[6].slot = 1;
  requests_.Set(6, handle);
  return handle;
}

void CQuoteGridView::ReplyCallback(void* owner, PendingRequest* entry) {
  if (owner && entry) static_cast<CQuoteGridView*>(owner)->OnListReply(entry);
}

// Connection thread: copy what the table shows, post one refill.
void CQuoteGridView::OnListReply(PendingRequest* entry) {
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const int role = requests_.RoleOf(entry->sequence);
  if (role < 0 || !entry->area) return;
  TableReply copy = sent_[role];
  copy.tableType = role;
  const QuoteRecord* records = nullptr;
  int count = 0;
  if (role == 2) {
    const auto* area = static_cast<const QuoteListArea*>(entry->area);
    records = area->list.records;
    count = std::min<int>(area->recordsHeld, area->list.capacity);
  } else if (IsFieldTable(role)) {
    const auto* area = static_cast<const FieldTableArea*>(entry->area);
    records = area->records;
    count = std::clamp<int>(area->recordsHeld, 0, kFieldTableRows);
  } else {
    const auto* area = static_cast<const SortedQuoteListArea*>(entry->area);
    records = area->list.records;
    count = area->recordsHeld;
    if (area->list.capacity > 0) count = std::min<int>(count, area->list.capacity);
    copy.total = area->start;
  }
  if (!records || count < 0) count = 0;
  copy.records.assign(records, records + count);
  latest_.Put(std::move(copy));
  if (m_hWnd) refill_.Post(m_hWnd, kRefillMessage);
}

// UI thread: the newest copy replaces the shown one and is drawn.
void CQuoteGridView::OnRefill() {
  AssertUiThread("CQuoteGridView::OnRefill");
  refill_.Taken();
  TableReply copy;
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    if (!latest_.Take(&copy)) return;
  }
  if (copy.tableType != tableType_ && !(copy.tableType == 10 && tableType_ == 10)) return;
  const bool firstOfRefill = multiRefill_ != 0;
  FillFromCopy(copy);
  if (firstOfRefill && (tableType_ == 2 || IsFieldTable(tableType_))) {
    multiRefill_ = 0;
    if (tableType_ == 2) {
      std::vector<StockKey> keys;
      for (int i : ownRows_) keys.push_back(shown_.records[i].key);
      multiStock_.SetStockArray(keys);
    } else {
      multiStock_.SetStockRecords(shown_.records.data(), static_cast<int>(shown_.records.size()));
    }
  }
}

void CQuoteGridView::FillFromCopy(const TableReply& copy) {
  shown_ = copy;
  if (mode_ >= 1 && mode_ <= 3) return;  // the analysis sets fill these modes
  switch (shown_.tableType) {
    case 2: FillOwnStocks(); return;
    case 0: case 1: case 10: case 13: case 14:
      FillList(SetOfType(shown_.tableType), shown_, shown_.start + 1);
      return;
    case 12: FillList(SetOfType(12), shown_, shown_.start + 1); return;
    default: FillList(SetOfType(shown_.tableType), shown_, 1); return;
  }
}

ColumnSet CQuoteGridView::SetOfType(int tableType) const {
  switch (tableType) {
    case 0: case 10: case 13: return StockListSet(90, false);
    case 1: return StockListSet(150, false);
    case 14: return StockListSet(90, true);
    case 2: return OwnStockSet();
    case 3: return IndexTableSet(90);
    case 4: return IndexCategorySet(90);
    case 5: return IndexTableSet(150);
    case 6: return FuturesSet(true);
    case 7: case 8: case 9: return BlockListSet();
    case 12: return FuturesSet(false);
    default: return StockListSet(90, false);
  }
}

void CQuoteGridView::PostScrollRange() {
  scrollInfo_.cbSize = 28;
  scrollInfo_.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
  scrollInfo_.nMin = 0;
  scrollInfo_.nMax = grid_->GetScrollableColumnCount() - 1;
  scrollInfo_.nPage = 1;
  scrollInfo_.nPos = hpos_;
  if (m_hWnd)
    ::PostMessageW(m_hWnd, WM_APPLY_SCROLLINFO, reinterpret_cast<WPARAM>(scrollBar_.get()),
                   reinterpret_cast<LPARAM>(&scrollInfo_));
}

// The frame of a fill: rows, drag off, columns and headers, key and flash
// columns, the scroll range, the rows, the horizontal position.
void CQuoteGridView::FillList(const ColumnSet& set, const TableReply& reply, int firstNumber) {
  AssertUiThread("CQuoteGridView::FillList");
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const int count = static_cast<int>(reply.records.size());
  grid_->SetRowCount(count + 1);
  grid_->EnableRowDrag(0);
  ApplyColumnSet(grid_.get(), set);
  PostScrollRange();
  for (int i = 0; i < count; ++i) {
    const QuoteRecord& r = reply.records[i];
    const bool own = engine_ && IsOwnStock(engine_, r.key.code, r.key.market);
    FillSetRow(grid_.get(), set, i, r, firstNumber + i, own);
  }
  grid_->SetHScrollPos(hpos_);
  if (grid_->m_hWnd) grid_->Invalidate(FALSE);
}

void CQuoteGridView::FillOwnStocks() {
  AssertUiThread("CQuoteGridView::FillOwnStocks");
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const ColumnSet set = OwnStockSet();
  const int pageSize = std::max(0, VisibleRowCount());
  const int count = static_cast<int>(shown_.records.size());
  const int first = shown_.ownPage * pageSize;
  int rows = std::min(pageSize, count - first);
  if (rows < 0) rows = 0;
  grid_->SetRowCount(rows + 1);
  grid_->EnableRowDrag(0);
  ApplyColumnSet(grid_.get(), set);
  PostScrollRange();
  int column = 0;
  int direction = 0;
  grid_->GetSortState(&column, &direction);
  ownRows_.clear();
  for (int i = 0; i < count; ++i) {
    const QuoteRecord& r = shown_.records[i];
    auto at = ownRows_.end();
    if (direction == 1 || direction == -1) {
      at = std::find_if(ownRows_.begin(), ownRows_.end(), [&](int listed) {
        const QuoteRecord& l = shown_.records[listed];
        if (column == 2) {
          const int cmp = std::strncmp(l.key.code, r.key.code, sizeof r.key.code);
          return direction == -1 ? cmp >= 0 : cmp < 0;
        }
        const double v = ColumnValue(r, column);
        const double lv = ColumnValue(l, column);
        return direction == -1 ? lv >= v : lv < v;
      });
    }
    ownRows_.insert(at, i);
  }
  if (direction != 1 && direction != -1) grid_->EnableRowDrag(1);
  for (int i = 0; i < rows; ++i)
    FillSetRow(grid_.get(), set, i, shown_.records[ownRows_[first + i]], first + i + 1, true);
  grid_->SetHScrollPos(hpos_);
  if (grid_->m_hWnd) grid_->Invalidate(FALSE);
}

double CQuoteGridView::ColumnValue(const QuoteRecord& record, int column) {
  static const ColumnSet set = OwnStockSet();
  return ColumnLocalValue(set, record, column);
}

void CQuoteGridView::ClearTable() {
  AssertUiThread("CQuoteGridView::ClearTable");
  grid_->SetRowCount(1);
  grid_->SetColumnCount(1);
}

void CQuoteGridView::ResetColumns() {
  AssertUiThread("CQuoteGridView::ResetColumns");
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  grid_->SetRowCount(1);
  if (mode_ == 0) ApplyColumnSet(grid_.get(), SetOfType(tableType_));
  grid_->SetHScrollPos(hpos_);
  if (grid_->m_hWnd) grid_->Invalidate(FALSE);
}

int CQuoteGridView::VisibleRowCount() { return grid_->GetVisibleRowCount(); }

// --- Board bar and commands --------------------------------------------------

LRESULT CQuoteGridView::OnTableBarSelect(WPARAM bar, LPARAM item) {
  AssertUiThread("CQuoteGridView::OnTableBarSelect");
  if (bar == reinterpret_cast<WPARAM>(&boardBar_)) OnBoardBarSelect(static_cast<int>(item));
  else if (bar == reinterpret_cast<WPARAM>(&tabStrip_)) SelectTab(static_cast<int>(item));
  return 1;
}

void CQuoteGridView::SetBoardBarItem(int item) { boardBar_.SetCurSel(item); }

void CQuoteGridView::OnBoardBarSelect(int item) {
  const int rows = VisibleRowCount();
  auto direct = [&](int type) {
    boardBar_.SetCurSel(item);
    tableType_ = type;
    if (mode_ == 4) {
      multiStock_.ResetCharts();
      multiRefill_ = 1;
    }
  };
  switch (item) {
    case 1:
      direct(2);
      ResetColumns();
      SetHorizontalPosition(0);
      currentRow_ = 0;
      grid_->SetCurRow(0);
      grid_->SetSortState(1, 0);
      RequestOwnStocks(0, rows);
      return;
    case 2:
      direct(3);
      ResetColumns();
      SetHorizontalPosition(0);
      currentRow_ = 0;
      grid_->SetCurRow(0);
      RequestIndexTable();
      return;
    case 3:
      direct(6);
      ResetColumns();
      SetHorizontalPosition(0);
      currentRow_ = 0;
      grid_->SetCurRow(0);
      RequestIndexFuturesTable();
      return;
    case 6:
      direct(13);
      ResetColumns();
      SetHorizontalPosition(0);
      currentRow_ = 0;
      grid_->SetCurRow(0);
      RequestList(kListRequest, 99992005, 0, 1, 1, rows, 0);
      return;
    case 0: case 4: case 5: case 7: case 8: case 9: TrackBoardMenu(item); return;
    default: return;
  }
}

void CQuoteGridView::TrackBoardMenu(int item) {
  const MenuItem* items = nullptr;
  size_t count = 0;
  switch (item) {
    case 0: items = kMenu0; count = std::size(kMenu0); break;
    case 4: items = kMenu4; count = std::size(kMenu4); break;
    case 5: items = kMenu5; count = std::size(kMenu5); break;
    case 7: items = kMenu7; count = std::size(kMenu7); break;
    case 8: items = kMenu8; count = std::size(kMenu8); break;
    case 9: items = kMenu9; count = std::size(kMenu9); break;
    default: return;
  }
  if (boardMenu_) boardMenu_->DestroyMenu();
  boardMenu_ = std::make_unique<CMenuEx>();
  if (!boardMenu_->CreatePopupMenu()) return;
  for (size_t i = 0; i < count; ++i) boardMenu_->AppendItem(MF_OWNERDRAW, items[i].command, items[i].text);
  CRect bar;
  boardBar_.GetWindowRect(&bar);
  RECT itemRect{};
  boardBar_.GetItemRect(item, &itemRect);
  boardMenu_->TrackPopupMenu(0, bar.left + itemRect.left, bar.top + itemRect.bottom, this);
}

BOOL CQuoteGridView::OnCommand(WPARAM wParam, LPARAM lParam) {
  AssertUiThread("CQuoteGridView::OnCommand");
  const int command = static_cast<int>(LOWORD(wParam));
  if (command >= 6000 && command <= 6010) OnContextCommand(command);
  else OnBoardCommand(command, lParam);
  return CWnd::OnCommand(wParam, lParam);
}

bool CQuoteGridView::OnBoardCommand(int command, LPARAM sortParam) {
  const BoardCommand* c = FindBoardCommand(command);
  if (!c) return false;
  const int sortField = sortParam == 1 ? 34 : 1;
  const int direction = sortParam == 1 ? 0 : 1;
  const int rows = VisibleRowCount();
  const int group = command / 1000;
  switch (group) {
    case 1:
    case 2:
    case 8:
      tableType_ = c->tableType;
      ResetColumns();
      currentRow_ = 0;
      grid_->SetCurRow(0);
      grid_->SetSortState(2, -1);
      boardBar_.SetItemText(c->item, c->text);
      boardBar_.SetCurSel(c->item);
      SetHorizontalPosition(0);
      RequestList(kListRequest, c->list, 0, sortField, direction, rows, c->slot);
      return true;
    case 3:
      tableType_ = c->tableType;
      ResetColumns();
      currentRow_ = 0;
      grid_->SetCurRow(0);
      boardBar_.SetCurSel(4);
      SetHorizontalPosition(0);
      grid_->SetSortState(2, -1);
      boardBar_.SetItemText(c->item, c->text);
      RequestList(kCategoryRequest, c->list, 0, sortField, direction, rows, c->slot);
      return true;
    case 4:
      tableType_ = c->tableType;
      ResetColumns();
      currentRow_ = 0;
      grid_->SetCurRow(0);
      boardBar_.SetCurSel(8);
      SetHorizontalPosition(0);
      grid_->SetSortState(2, -1);
      boardBar_.SetItemText(c->item, c->text);
      if (command == 4002) {
        RequestHKIndexTable();
        if (mode_ == 4) {
          multiRefill_ = 1;
          multiStock_.ResetCharts();
        }
      } else {
        RequestList(kListRequest, c->list, 0, sortField, direction, rows, c->slot);
      }
      return true;
    case 5:
      // The columns and the horizontal position stay: the old rows show
      // until the reply.
      currentRow_ = 0;
      grid_->SetCurRow(0);
      tableType_ = 0;
      grid_->SetSortState(2, -1);
      boardBar_.SetItemText(c->item, c->text);
      boardBar_.SetCurSel(c->item);
      RequestList(kListRequest, c->list, 0, sortField, direction, rows, c->slot);
      return true;
    case 7:
      currentRow_ = 0;
      grid_->SetCurRow(0);
      tableType_ = 12;
      boardBar_.SetItemText(c->item, c->text);
      boardBar_.SetCurSel(9);
      RequestList(kListRequest, c->list, 0, sortField, direction, rows, c->slot);
      return true;
    default: return false;
  }
}

void CQuoteGridView::ShowQuoteGrid() {
  grid_->ShowWindow(SW_SHOW);
  scrollBar_->ShowWindow(SW_SHOW);
  multiStock_.ShowWindow(SW_HIDE);
  multiStock_.ResetCharts();
  multiStock_.CancelRequests();
  ResetColumns();
  const int item = boardBar_.GetCurSel();
  boardBar_.SetItems(kBoardBarItems);
  boardBar_.SetCurSel(item);
}

void CQuoteGridView::ShowDefaultTable() {
  AssertUiThread("CQuoteGridView::ShowDefaultTable");
  boardBar_.SetCurSel(0);
  tableType_ = 0;
  grid_->SetSortState(1, 0);
  grid_->ShowWindow(SW_SHOW);
  scrollBar_->ShowWindow(SW_SHOW);
  multiStock_.ShowWindow(SW_HIDE);
  tabStrip_.SetCurSel(0);
  tab_ = 0;
  mode_ = 0;
  ShowQuoteGrid();
  RequestList(kListRequest, 1101, 0, 1, 1, VisibleRowCount(), 1);
}

void CQuoteGridView::ShowBlockStocks(int64_t blockId, int blockKind) {
  AssertUiThread("CQuoteGridView::ShowBlockStocks");
  tabStrip_.SetCurSel(0);
  tab_ = 0;
  mode_ = 0;
  boardBar_.SetCurSel(4);
  if (blockKind == 0) boardBar_.SetItemText(4, u"概 念▼");
  else if (blockKind == 1) boardBar_.SetItemText(4, u"地 区▼");
  else if (blockKind == 2) boardBar_.SetItemText(4, u"行 业▼");
  tableType_ = 10;
  ResetColumns();
  grid_->SetSortState(6, 1);
  grid_->ShowWindow(SW_SHOW);
  scrollBar_->ShowWindow(SW_SHOW);
  multiStock_.ShowWindow(SW_HIDE);
  RequestList(kListRequest, blockId, 0, 34, 0, VisibleRowCount(), 0);
}

// --- Tabs ------------------------------------------------------------------------

void CQuoteGridView::ShowMultiStockPage() {
  grid_->ShowWindow(SW_HIDE);
  scrollBar_->ShowWindow(SW_HIDE);
  multiStock_.ShowWindow(SW_SHOW);
  mode_ = 4;
  const int item = boardBar_.GetCurSel();
  boardBar_.SetItems(kBoardBarItems);
  boardBar_.SetCurSel(item);
}

void CQuoteGridView::SelectTab(int tab) {
  AssertUiThread("CQuoteGridView::SelectTab");
  if (tab == tab_ || tab < 0 || tab > 4) return;
  const int item = boardBar_.GetCurSel();
  if (tab >= 1 && tab <= 3) {
    static const char16_t* const kRefusals[] = {u"当前市场不支持资金流向！", u"当前市场不支持阶段统计！",
                                                u"当前市场不支持增仓排名！"};
    if ((tab_ == 0 || tab_ == 4) && (item == 3 || item == 4 || item == 8 || item == 9))
      MessageBoxW(m_hWnd, kRefusals[tab - 1], nullptr, MB_OK);
    // The analysis sets of these tabs are not part of this table yet: the
    // strip stays on the current tab.
    tabStrip_.SetCurSel(tab_);
    return;
  }
  mode_ = tab;
  if (tab == 0) {
    ShowQuoteGrid();
    if (shown_.tableType == tableType_) FillFromCopy(shown_);
  } else {
    ShowMultiStockPage();
    if (tableType_ == 2) {
      std::vector<StockKey> keys;
      for (int i : ownRows_) keys.push_back(shown_.records[i].key);
      multiStock_.SetStockArray(keys);
    } else if (IsFieldTable(tableType_)) {
      multiStock_.SetStockRecords(shown_.records.data(), static_cast<int>(shown_.records.size()));
    } else {
      multiStock_.RequestList(last_.kind, last_.listId, last_.sortField, last_.direction);
    }
  }
  tab_ = tab;
}

// --- Sorting, paging, reload -------------------------------------------------------

int CQuoteGridView::ColumnSortKey(int column) {
  switch (tableType_) {
    case 0: case 1: case 10: case 13: case 14: return ColumnSortCode(StockListSet(90, false), column);
    case 7: case 8: case 9: return ColumnSortCode(BlockListSet(), column);
    default: return 0;
  }
}

const TableReply* CQuoteGridView::Shown() const { return shown_.tableType == tableType_ ? &shown_ : nullptr; }

void CQuoteGridView::OnGridSort(int column, int order) {
  AssertUiThread("CQuoteGridView::OnGridSort");
  const int direction = order == -1 ? 1 : 0;
  const int rows = VisibleRowCount();
  switch (tableType_) {
    case 0: case 1: case 10: case 13: case 7: case 8: case 9: {
      const TableReply* shown = Shown();
      const int64_t listId = shown ? shown->listId : last_.listId;
      RequestList(ListKind(tableType_), listId, 0, ColumnSortKey(column), direction, rows, ListSlot(tableType_));
      return;
    }
    case 2:
      if (column == 0) grid_->SetSortState(0, 0);
      if (shown_.tableType == 2) FillOwnStocks();
      return;
    default: return;
  }
}

void CQuoteGridView::NextPage() {
  const int rows = VisibleRowCount();
  if (tableType_ == 2) {
    if (shown_.tableType != 2 || rows <= 0) return;
    const int count = static_cast<int>(shown_.records.size());
    const int pages = (count + rows - 1) / rows;
    if (shown_.ownPage >= pages - 1) return;
    ++shown_.ownPage;
    FillOwnStocks();
    return;
  }
  if (!IsServerList(tableType_)) return;
  const TableReply* shown = Shown();
  if (!shown) return;
  int start = shown->start + rows;
  if (start >= shown->total) start = 0;
  RequestList(shown->kind, shown->listId, start, shown->sortField, shown->direction, rows, shown->slot);
}

void CQuoteGridView::PreviousPage() {
  const int rows = VisibleRowCount();
  if (tableType_ == 2) {
    if (shown_.tableType != 2 || shown_.ownPage <= 0) return;
    --shown_.ownPage;
    FillOwnStocks();
    return;
  }
  if (!IsServerList(tableType_)) return;
  const TableReply* shown = Shown();
  if (!shown) return;
  int start = shown->start == 0 ? shown->total - rows : shown->start - rows;
  if (start < 0) start = 0;
  RequestList(shown->kind, shown->listId, start, shown->sortField, shown->direction, rows, shown->slot);
}

int CQuoteGridView::OwnStockCount() const { return engine_ ? GetOwnStockCount(engine_) : 0; }

void CQuoteGridView::Reload() {
  AssertUiThread("CQuoteGridView::Reload");
  const int rows = VisibleRowCount();
  if (rows <= 0) return;
  if (mode_ == 4) {
    multiStock_.ShowPage();
    return;
  }
  if (tableType_ == 2) {
    int page = shown_.tableType == 2 ? shown_.ownPage : 0;
    int start = page * rows;
    const int count = OwnStockCount();
    if (start >= count) {
      start = count - rows;
      --page;
    }
    if (start < 0) start = 0;
    RequestOwnStocks(start, rows);
    return;
  }
  if (!IsServerList(tableType_)) return;
  const TableReply* shown = Shown();
  if (shown) {
    RequestList(shown->kind, shown->listId, shown->start, shown->sortField, shown->direction, rows, shown->slot);
    return;
  }
  if (last_.kind != 0)
    RequestList(last_.kind, last_.listId, last_.start, last_.sortField, last_.direction, rows, ListSlot(tableType_));
}

// --- Rows ----------------------------------------------------------------------------

bool CQuoteGridView::RowKey(int row, StockKey* key) {
  *key = StockKey{};
  if (row < 0) return false;
  const TableReply* shown = Shown();
  if (!shown) return false;
  if (tableType_ == 2) {
    const int index = shown->ownPage * VisibleRowCount() + row;
    if (index < 0 || index >= static_cast<int>(ownRows_.size())) return false;
    *key = shown->records[ownRows_[index]].key;
    return true;
  }
  if (row >= static_cast<int>(shown->records.size())) return false;
  *key = shown->records[row].key;
  return true;
}

LRESULT CQuoteGridView::OnGridActivate(WPARAM wParam, int row) {
  AssertUiThread("CQuoteGridView::OnGridActivate");
  currentRow_ = row;
  if (row < 0) return 1;
  if (tableType_ >= 7 && tableType_ <= 9) {
    const TableReply* shown = Shown();
    if (!shown || row >= static_cast<int>(shown->records.size())) return 1;
    const int64_t members = shown->records[row].field1015;
    ResetColumns();
    tableType_ = 10;
    grid_->SetSortState(6, 1);
    RequestList(kListRequest, members, 0, 34, 0, VisibleRowCount(), 0);
    return 1;
  }
  const int kind = StockListKindOf(tableType_);
  if (kind < 0) return 1;
  RowKey(row, &selected_);
  StockListInfo* info = EngineStockListInfo(engine_);
  const TableReply* shown = Shown();
  const int count = shown ? static_cast<int>(shown->records.size()) : 0;
  std::unique_ptr<StockListPayload> payload;
  int index = row;
  if (tableType_ == 2) {
    index = (shown ? shown->ownPage : 0) * VisibleRowCount() + row;
    auto list = std::make_unique<StockListPayload>();
    if (shown)
      for (int i : ownRows_) list->keys.push_back(shown->records[i].key);
    payload = std::move(list);
  } else if (kind == 3 || kind == 4 || kind == 5) {
    payload = shown ? MakeListPayload(shown->records.data(), count) : std::make_unique<StockListPayload>();
  }
  CWnd* parent = GetParent();
  HWND to = parent ? parent->m_hWnd : nullptr;
  if (static_cast<int>(wParam) != -1) PostShowStock(to, 1, selected_);
  if (info) {
    info->kind = kind;
    info->count = count;
    info->currentIndex = index;
    info->requestType = last_.kind;
    info->listId = last_.listId;
    info->sortField = static_cast<uint16_t>(last_.sortField);
    info->direction = static_cast<uint8_t>(last_.direction);
  }
  PostStockList(to, info, std::move(payload));
  return 0;
}

void CQuoteGridView::NoStockBox() { MessageBoxW(m_hWnd, u"当前未选中任何证券！", nullptr, MB_OK); }

const StockKey* CQuoteGridView::SelectedStock(int allowNoRow) {
  AssertUiThread("CQuoteGridView::SelectedStock");
  currentRow_ = grid_->GetCurRow();
  if (currentRow_ < 0 && !allowNoRow) {
    NoStockBox();
    return nullptr;
  }
  RowKey(std::max(0, currentRow_), &selected_);
  return &selected_;
}

bool CQuoteGridView::GetSelectedStock(StockKey* key) {
  const StockKey* selected = SelectedStock(0);
  if (!selected) return false;
  if (key) *key = *selected;
  return true;
}

// --- Menus and commands ------------------------------------------------------------------

void CQuoteGridView::OnGridContextMenu(WPARAM point, int row) {
  AssertUiThread("CQuoteGridView::OnGridContextMenu");
  currentRow_ = row;
  if (row < 0) return;
  if (contextMenu_) contextMenu_->DestroyMenu();
  contextMenu_ = std::make_unique<CMenuEx>();
  if (!contextMenu_->CreatePopupMenu()) return;
  CMenuEx* m = contextMenu_.get();
  auto stockItems = [&](bool own) {
    m->AppendItem(MF_OWNERDRAW, own ? 6001 : 6000, own ? u"移出自选" : u"加入自选");
    m->AppendItem(MF_OWNERDRAW, 6002, u"查看K线");
    m->AppendItem(MF_OWNERDRAW, 6003, u"查看分时");
    if (selected_.kind != 1) {
      m->AppendItem(MF_OWNERDRAW, 6004, u"基础资料");
      m->AppendItem(MF_OWNERDRAW, 6005, u"深度F9");
    }
    m->AppendItem(MF_OWNERDRAW, 6006, u"上一页");
    m->AppendItem(MF_OWNERDRAW, 6007, u"下一页");
  };
  int items = 0;
  switch (tableType_) {
    case 0: case 1: case 3: case 4: case 5: case 10:
      RowKey(row, &selected_);
      stockItems(engine_ && IsOwnStock(engine_, selected_.code, selected_.market));
      items = 1;
      break;
    case 2:
      RowKey(row, &selected_);
      stockItems(true);
      items = 1;
      break;
    case 6: RowKey(row, &selected_); break;
    case 7: case 8: case 9:
      m->AppendItem(MF_OWNERDRAW, 6010, u"进入板块");
      m->AppendItem(MF_OWNERDRAW, 6006, u"上一页");
      m->AppendItem(MF_OWNERDRAW, 6007, u"下一页");
      items = 1;
      break;
    default: break;
  }
  if (!items) return;
  const int x = static_cast<int16_t>(LOWORD(point));
  const int y = static_cast<int16_t>(HIWORD(point));
  m->TrackPopupMenu(0, x, y, this);
}

void CQuoteGridView::PostSaveOwnStocks(WPARAM operation, const StockKey* key) {
  CWnd* view = GetParent();
  CWnd* mainView = view ? view->GetParent() : nullptr;
  CWnd* frame = mainView ? mainView->GetParent() : nullptr;
  if (!frame || !frame->m_hWnd) return;
  StockKey* copy = key ? new StockKey(*key) : nullptr;
  if (!::PostMessageW(frame->m_hWnd, WM_SAVE_OWN_STOCKS, operation, reinterpret_cast<LPARAM>(copy))) delete copy;
}

void CQuoteGridView::RemoveOwnStockSteps() {
  if (OwnStockCount() == 0) {
    if (shown_.tableType == 2) {
      shown_.records.clear();
      ownRows_.clear();
    }
    ResetColumns();
  }
  Reload();
  PostSaveOwnStocks(2, &selected_);
}

void CQuoteGridView::OnContextCommand(int command) {
  if (currentRow_ < 0) {
    NoStockBox();
    return;
  }
  CWnd* parent = GetParent();
  HWND to = parent ? parent->m_hWnd : nullptr;
  switch (command) {
    case 6000:
      if (engine_ && AddOwnStock(engine_, selected_.code, selected_.market) == 0) {
        Reload();
        PostSaveOwnStocks(1, &selected_);
      }
      return;
    case 6001:
      if (engine_ && RemoveOwnStock(engine_, selected_.code, selected_.market) == 0) RemoveOwnStockSteps();
      return;
    case 6002: case 6003: case 6004: case 6005: {
      static const WPARAM kModes[] = {2, 1, 3, 4};
      PostShowStock(to, kModes[command - 6002], selected_);
      OnGridActivate(static_cast<WPARAM>(-1), currentRow_);
      return;
    }
    case 6006: grid_->SendMessage(WM_KEYDOWN, VK_PRIOR, 0x149); return;
    case 6007: grid_->SendMessage(WM_KEYDOWN, VK_NEXT, 0x151); return;
    case 6008: case 6009: {
      if (!engine_) return;
      const int from = FindOwnStock(engine_, selected_.code, selected_.market);
      if (from < 0) return;
      const int to = command == 6008 ? from - 1 : from + 1;
      if (to < 0 || to >= OwnStockCount()) return;
      MoveOwnStock(engine_, from, to);
      const int rows = VisibleRowCount();
      int row = currentRow_ + (command == 6008 ? -1 : 1);
      if (row < 0 && rows > 0) {
        grid_->SendMessage(WM_KEYDOWN, VK_PRIOR, 0x149);
      } else if (rows > 0 && row >= rows) {
        grid_->SendMessage(WM_KEYDOWN, VK_NEXT, 0x151);
      } else {
        currentRow_ = row;
        grid_->SetCurRow(row);
      }
      Reload();
      PostSaveOwnStocks(3, nullptr);
      return;
    }
    case 6010: {
      if (tableType_ < 7 || tableType_ > 9) return;
      const TableReply* shown = Shown();
      if (!shown || currentRow_ >= static_cast<int>(shown->records.size())) return;
      const int64_t members = shown->records[currentRow_].field1015;
      tableType_ = 10;
      grid_->SetSortState(1, 1);
      RequestList(kListRequest, members, 0, 1, 1, VisibleRowCount(), 0);
      return;
    }
    default: return;
  }
}

// --- Keys and horizontal scrolling -----------------------------------------------------

void CQuoteGridView::SetHorizontalPosition(int position) {
  hpos_ = position;
  grid_->SetHScrollPos(position);
  if (grid_->m_hWnd) grid_->Invalidate(FALSE);
}

void CQuoteGridView::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  AssertUiThread("CQuoteGridView::OnKeyDown");
  if (key == VK_LEFT || key == VK_RIGHT) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    scrollBar_->GetScrollInfo(&si, SIF_ALL);
    int position = si.nPos + (key == VK_LEFT ? -1 : 1);
    position = std::clamp(position, si.nMin, std::max(si.nMin, si.nMax));
    SetHorizontalPosition(position);
    scrollBar_->SetScrollPos(position, TRUE);
    return;
  }
  if (key == VK_DELETE) {
    if (tableType_ != 2) return;
    const StockKey* stock = SelectedStock(0);
    if (!stock || !engine_) return;
    if (RemoveOwnStock(engine_, stock->code, stock->market) == 0) RemoveOwnStockSteps();
    return;
  }
  (void)repeat;
  (void)flags;
  CWnd* main = AfxGetMainWnd();
  if (main && main->m_hWnd) main->PostMessage(WM_KEY_COMMAND, 0, static_cast<LPARAM>(key));
}

void CQuoteGridView::OnHScroll(UINT code, UINT pos, CWnd* bar) {
  if (bar != scrollBar_.get()) {
    CWnd::OnHScroll(code, pos, bar);
    return;
  }
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  scrollBar_->GetScrollInfo(&si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS);
  int position = si.nPos;
  switch (code) {
    case SB_LINELEFT: case SB_PAGELEFT: --position; break;
    case SB_LINERIGHT: case SB_PAGERIGHT: ++position; break;
    case SB_LEFT: position = si.nMin; break;
    case SB_RIGHT: position = si.nMax; break;
    case SB_THUMBTRACK: position = si.nTrackPos; break;
    default: return;
  }
  position = std::clamp(position, si.nMin, std::max(si.nMin, si.nMax));
  SetHorizontalPosition(position);
  scrollBar_->SetScrollPos(position, TRUE);
  CWnd::OnHScroll(code, pos, bar);
}

void CQuoteGridView::OnApplyScrollInfo(WPARAM bar, LPARAM info) {
  auto* target = reinterpret_cast<CVexloScrollBar*>(bar);
  if (target != scrollBar_.get() || !info || !scrollBar_->m_hWnd) return;
  SCROLLINFO si = *reinterpret_cast<const SCROLLINFO*>(info);
  scrollBar_->SetScrollInfo(&si, FALSE);
  scrollBar_->Invalidate(FALSE);
}
