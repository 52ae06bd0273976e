#include "quotes/quote_view.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "controls/status_bar.h"
#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "foundation/xml_reader.h"
#include "marketdata/history_client.h"
#include "marketdata/quote_areas.h"
#include "marketdata/quote_connection.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "marketdata/trading_hours.h"

namespace {

// Keys of WM_KEY_COMMAND (F1 to F12 arrive as 40000 plus the virtual key).
constexpr int kKeyEscape = 27;
constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyF1 = 40112;
constexpr int kKeyF2 = 40113;
constexpr int kKeyF3 = 40114;
constexpr int kKeyF4 = 40115;
constexpr int kKeyF5 = 40116;
constexpr int kKeyF6 = 40117;
constexpr int kKeyF7 = 40118;
constexpr int kKeyF8 = 40119;
constexpr int kKeyF9 = 40120;
constexpr int kKeyF10 = 40121;
constexpr int kKeyF11 = 40122;
constexpr int kKeyF12 = 40123;
constexpr int kKeyTabToggle = 40124;   // the main frame's code for the typed "05"

constexpr int kOpenFromMultiStock = 515;
constexpr int kIndexKind = 1;
constexpr int kTableFieldType = '+';   // the index field table

// Delays of the reconnection timer by the number of tries so far.
int ReconnectDelayMs(int tryCount) {
  if (tryCount < 4) return 1000;
  if (tryCount < 7) return 10000;
  return 60000;
}

// The K-line period after `period` in the F8 cycle: day -> week -> month ->
// 1 -> 5 -> 15 -> 30 -> 60 minutes -> day; an unknown code counts as 60.
int NextPeriod(int period) {
  switch (period) {
    case '!': return '\'';
    case '\'': return '(';
    case '(': return '"';
    case '"': return '#';
    case '#': return '$';
    case '$': return '%';
    case '%': return '&';
    default: return '!';
  }
}

// The two stocks of the default list: "1A0001" in Shanghai, "399001" in
// Shenzhen.
bool IsTickerStock(const StockKey& key, int which) {
  return which == 0 ? std::strncmp(key.code, "1A0001", 7) == 0 && key.market == 1
                    : std::strncmp(key.code, "399001", 7) == 0 && key.market == 2;
}

bool IsEmptyKey(const StockKey& key) {
  static const StockKey kEmpty{};
  return std::memcmp(&key, &kEmpty, sizeof key) == 0;
}

// The key's code equals the text (at most 7 characters).
bool SameCode(const StockKey& key, const char* code) {
  return code[0] != 0 && std::strncmp(key.code, code, 7) == 0;
}

}  // namespace

namespace {
std::atomic<int> g_defaultQuotePort{CQuoteView::kQuotePort};
}  // namespace

void CQuoteView::SetDefaultQuotePortForTesting(int port) { g_defaultQuotePort = port > 0 ? port : kQuotePort; }

CQuoteView::CQuoteView() : CQuoteView(QuotePages{}) {}

CQuoteView::CQuoteView(QuotePages pages) : pages_(std::move(pages)), port_(g_defaultQuotePort) { Construct(); }

void CQuoteView::Construct() {
  engine_ = CreateQuoteEngine();
  history_ = CreateHistoryClient();
  requests_.SetEngine(engine_);
  LoadTradingHoursFile();
  if (!pages_.table) pages_ = MakeQuotePages();
  pages_.table->SetEngine(engine_);
  pages_.pool->SetEngine(engine_);
  pages_.stock->SetEngine(engine_, history_);
  pages_.rank->SetEngine(engine_);
  pages_.tactical->SetEngine(engine_);
  pages_.blockMonitor->SetEngine(engine_);
  pages_.shortTerm->SetEngine(engine_);
}

CQuoteView::~CQuoteView() {
  if (engine_) {
    SetQuoteEventHandler(engine_, nullptr, nullptr);
    CloseQuoteConnection(engine_);
  }
  requests_.CancelAll();
  if (m_hWnd) DestroyWindow();
  pages_ = QuotePages{};
  requests_.SetEngine(nullptr);
  FreeQuoteEngine(engine_);
  FreeHistoryClient(history_);
}

void CQuoteView::LoadTradingHoursFile() {
  if (!engine_) return;
  FileBlob* file = ReadDataFile("res\\v2bin.data");
  if (!file) return;
  char* text = ExtractXmlTagText(file->data, "TradingHours");
  if (text) LoadTradingHours(text, &engine_->tradingHours);
  std::free(text);
  FreeFileBlob(file);
}

// ---------------------------------------------------------------------------
// Operations of the main frame.

void CQuoteView::SetStatusBar(FooStatus* statusBar) { statusBar_ = statusBar; }

void CQuoteView::SetCredentials(const char* userNumber, const char* token) {
  if (engine_) SetQuoteCredentials(engine_, userNumber, token);
  if (history_) SetHistoryCredentials(history_, userNumber, token);
}

void CQuoteView::SetUserName(const WCHAR* userName) { pages_.stock->SetUserName(userName); }

void CQuoteView::ConnectEngine() {
  if (!engine_) return;
  SetQuoteEventHandler(engine_, &CQuoteView::OnQuoteEvent, this);
  const char* level = GetConfig("level");
  const int level2 = level && std::strchr(level, '1') ? 1 : 0;
  char* host = GetQuoteServerHost(level2);
  char* address = ChooseServer("PCQuote", level2);
  ConnectQuoteServer(engine_, host, port_, address);
  std::free(host);
  std::free(address);
}

void CQuoteView::DisconnectEngine() {
  if (engine_) CloseQuoteConnection(engine_);
}

void CQuoteView::CancelAllRequests() {
  pages_.table->CancelRequests();
  pages_.pool->CancelRequests();
  pages_.stock->CancelPageRequests(0);
  pages_.rank->CancelRequests();
  pages_.tactical->CancelRequests();
  pages_.blockMonitor->CancelRequests();
  pages_.shortTerm->CancelRequests();
}

IQuotePage* CQuoteView::PageAt(Page page) {
  switch (page) {
    case kTablePage: return pages_.table.get();
    case kPoolPage: return pages_.pool.get();
    case kStockPage: return pages_.stock.get();
    case kRankPage: return pages_.rank.get();
    case kTacticalPage: return pages_.tactical.get();
    case kBlockPage: return pages_.blockMonitor.get();
    case kShortTermPage: return pages_.shortTerm.get();
    default: return nullptr;
  }
}

bool CQuoteView::IsShown(Page page) {
  IQuotePage* p = PageAt(page);
  return p && p->Window()->m_hWnd && p->Window()->IsWindowVisible();
}

CQuoteView::Page CQuoteView::VisiblePage() {
  for (int page = kTablePage; page <= kShortTermPage; ++page)
    if (IsShown(static_cast<Page>(page))) return static_cast<Page>(page);
  return kNoPage;
}

void CQuoteView::ShowOnly(Page page) {
  for (int other = kTablePage; other <= kShortTermPage; ++other) {
    CWnd* wnd = PageAt(static_cast<Page>(other))->Window();
    if (other != page && wnd->m_hWnd) wnd->ShowWindow(SW_HIDE);
  }
  CWnd* wnd = PageAt(page)->Window();
  if (!wnd->m_hWnd) return;
  wnd->ShowWindow(SW_SHOW);
  wnd->SetFocus();
}

void CQuoteView::ShowQuoteTable() {
  pages_.stock->CancelPageRequests(0);
  ShowOnly(kTablePage);
}

void CQuoteView::ShowQuoteTableReload(int reload) {
  ShowQuoteTable();
  if (!reload) return;
  pages_.table->ClearTable();
  pages_.table->ResetColumns();
  pages_.table->ShowDefaultTable();
}

void CQuoteView::ShowPoolPage(int reload) {
  pages_.stock->CancelPageRequests(0);
  ShowOnly(kPoolPage);
  if (reload) pages_.pool->RequestTable();
}

void CQuoteView::ShowRankPage(int32_t boardLow, int32_t boardHigh) {
  CancelAllRequests();
  ShowOnly(kRankPage);
  pages_.rank->RequestBoards(boardLow, boardHigh);
}

void CQuoteView::ShowTacticalBoard(int reload) {
  CancelAllRequests();
  ShowOnly(kTacticalPage);
  if (reload) pages_.tactical->Reload();
}

void CQuoteView::ShowBlockMonitor(int reload) {
  CancelAllRequests();
  ShowOnly(kBlockPage);
  if (reload) pages_.blockMonitor->Reload();
}

void CQuoteView::ShowShortTermBoard(int reload) {
  CancelAllRequests();
  ShowOnly(kShortTermPage);
  if (reload) pages_.shortTerm->Reload();
}

void CQuoteView::ShowMarketAnalysis() {
  CancelAllRequests();
  for (int page = kTablePage; page <= kShortTermPage; ++page) {
    CWnd* wnd = PageAt(static_cast<Page>(page))->Window();
    if (page != kStockPage && wnd->m_hWnd) wnd->ShowWindow(SW_HIDE);
  }
  returnPage_ = kNoPage;
  StockListInfo* info = EngineStockListInfo(engine_);
  if (info) info->currentIndex = currentIndex_;
  const StockKey onPage = pages_.stock->GetStockKey();
  if (onPage.kind == kIndexKind && IsEmptyKey(pendingAnalysisKey_)) pendingAnalysisKey_ = onPage;
  if (IsEmptyKey(pendingAnalysisKey_)) {
    pendingAnalysisKey_ = MakeStockKey("1A0001", 1, kIndexKind, 2);
    if (info) info->currentIndex = 0;
  }
  pages_.stock->ShowStock(pendingAnalysisKey_, 0);
  pendingAnalysisKey_ = StockKey{};
  CWnd* stock = pages_.stock->Window();
  if (!stock->m_hWnd) return;
  stock->ShowWindow(SW_SHOW);
  stock->SetFocus();
}

void CQuoteView::ShowKLinePeriod(int period) {
  if (IsShown(kStockPage)) {
    if (!pages_.stock->IsKLineShown()) pages_.stock->ShowKLineChart();
    pages_.stock->Window()->SendMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(pages_.stock->MainTabBar()), 0);
    pages_.stock->Window()->SetFocus();
  } else if (IsShown(kTablePage)) {
    StockKey key{};
    if (pages_.table->GetSelectedStock(&key)) ShowStockPage(key, 2);
  }
  pages_.stock->SetKLinePeriod(period);
}

void CQuoteView::RefreshStockPage() {
  if (!IsShown(kStockPage)) return;
  const StockKey key = pages_.stock->GetStockKey();
  pages_.stock->ShowStock(key, 0);
}

void CQuoteView::PostTableCommand(WPARAM command, LPARAM param) {
  CWnd* table = pages_.table->Window();
  if (table->m_hWnd) table->PostMessage(WM_COMMAND, command, param);
}

void CQuoteView::ShowBlockStocks(int64_t blockId, int blockKind) {
  ShowQuoteTable();
  pages_.table->ShowBlockStocks(blockId, blockKind);
}

bool CQuoteView::IsStockPageVisible() { return IsShown(kStockPage); }

bool CQuoteView::IsQuoteTableVisible() { return IsShown(kTablePage); }

StockKey CQuoteView::GetStockPageKey() { return pages_.stock->GetStockKey(); }

void CQuoteView::ClearPendingIndexCode() { std::memset(pendingIndexCode_, 0, sizeof pendingIndexCode_); }

// ---------------------------------------------------------------------------
// Opening a stock.

void CQuoteView::ShowStockPage(const StockKey& key, int mode) {
  AssertUiThread("CQuoteView::ShowStockPage");
  for (Page page : {kTablePage, kRankPage, kTacticalPage, kBlockPage, kPoolPage, kShortTermPage}) {
    CWnd* wnd = PageAt(page)->Window();
    if (wnd->m_hWnd) wnd->ShowWindow(SW_HIDE);
  }
  if (key.kind == kIndexKind) {
    pages_.stock->SetStockKey(key);
    returnPage_ = kNoPage;
    if (CWnd* main = MainWindow()) main->PostMessage(WM_OPEN_ANALYSIS_TAB, 0, 0);
    return;
  }
  pages_.stock->ShowStock(key, 0);
  CWnd* stock = pages_.stock->Window();
  const auto mainBar = reinterpret_cast<WPARAM>(pages_.stock->MainTabBar());
  const auto infoBar = reinterpret_cast<WPARAM>(pages_.stock->InfoTabBar());
  if (stock->m_hWnd) {
    switch (mode) {
      case 1:
        stock->SendMessage(WM_TABLEBAR_SELECT, mainBar, 1);
        stock->SendMessage(WM_TABLEBAR_SELECT, infoBar, 0);
        break;
      case 2:
        stock->SendMessage(WM_TABLEBAR_SELECT, mainBar, 0);
        stock->SendMessage(WM_TABLEBAR_SELECT, infoBar, 0);
        break;
      case 3: stock->SendMessage(WM_TABLEBAR_SELECT, mainBar, 2); break;
      case 4: stock->SendMessage(WM_TABLEBAR_SELECT, mainBar, 3); break;
      default: break;
    }
  }
  pages_.stock->HideCrossHairs();
  if (!stock->m_hWnd) return;
  stock->ShowWindow(SW_SHOW);
  stock->SetFocus();
}

LRESULT CQuoteView::OnShowStock(WPARAM mode, LPARAM lParam) {
  std::unique_ptr<StockKey> key = TakeShowStockKey(static_cast<uintptr_t>(lParam));
  if (!key) {
    DebugPrintf("\nCQuoteView::OnShowStock: no key");
    return 0;
  }
  for (Page page : {kRankPage, kTacticalPage, kBlockPage, kShortTermPage, kPoolPage, kTablePage}) {
    if (!IsShown(page)) continue;
    returnPage_ = page;
    break;
  }
  IMultiStockView* multi = pages_.table->MultiStock();
  if (IsShown(kTablePage) && multi && multi->IsShown() && multi->GetSelectedCell() >= 0 &&
      mode != kOpenFromMultiStock) {
    multi->ReplaceSelectedStock(*key);
    return 0;
  }
  ShowStockPage(*key, static_cast<int>(mode));
  return 0;
}

// ---------------------------------------------------------------------------
// Window.

int CQuoteView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  CRect client;
  GetClientRect(&client);
  static const char* const kNames[] = {"quote table", "stock pool", "stock page", "ranking boards",
                                       "tactical board", "block monitor", "short-term board"};
  for (int page = kTablePage; page <= kShortTermPage; ++page) {
    DWORD style = WS_CHILD | WS_CLIPCHILDREN;
    if (page == kTablePage || page == kPoolPage) style |= WS_VISIBLE;
    if (!PageAt(static_cast<Page>(page))->CreatePage(style, client, this, 0)) {
      DebugPrintf("\nCQuoteView::OnCreate: the %s cannot be created", kNames[page]);
      return -1;
    }
  }
  pages_.table->Window()->SetFocus();
  replyWindow_.store(m_hWnd);
  std::lock_guard<std::mutex> hold(eventLock_);
  eventWindow_ = m_hWnd;
  for (int event : earlyEvents_) PostMessage(WM_QUOTE_EVENT, static_cast<WPARAM>(event), 0);
  earlyEvents_.clear();
  return 0;
}

void CQuoteView::OnDestroy() {
  {
    std::lock_guard<std::mutex> hold(eventLock_);
    eventWindow_ = nullptr;
  }
  replyWindow_.store(nullptr);
  CWnd::OnDestroy();
}

void CQuoteView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  for (int page = kTablePage; page <= kShortTermPage; ++page) {
    CWnd* wnd = PageAt(static_cast<Page>(page))->Window();
    if (wnd->m_hWnd) wnd->MoveWindow(0, 0, cx, cy, TRUE);
  }
}

void CQuoteView::OnKeyDown(UINT key, UINT, UINT) {
  if (CWnd* main = MainWindow()) main->PostMessage(WM_KEY_COMMAND, 0, static_cast<LPARAM>(key));
}

void CQuoteView::OnTimer(UINT_PTR id) {
  KillTimer(id);
  if (id == kReconnectTimer) ConnectEngine();
  CWnd::OnTimer(id);
}

BOOL CQuoteView::OnMouseWheel(UINT, short delta, CPoint) {
  if (entries_.empty()) return TRUE;
  const int tab = pages_.stock->GetCurrentTab();
  if (tab == 2 || tab == 3 || currentIndex_ < 0) return FALSE;
  const int notches = delta / 120;
  if (notches < 0) {
    StepBrowse(+1);
    return TRUE;
  }
  if (notches > 0) {
    StepBrowse(-1);
    return TRUE;
  }
  ShowCurrentEntry();
  return TRUE;
}

LRESULT CQuoteView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_QUOTE_EVENT:
      HandleQuoteEvent(static_cast<int>(wParam));
      return 0;
    case WM_RECONNECT_QUOTES:
      OnReconnectQuotes();
      return 0;
    case WM_QUOTE_TICKERS:
      ShowTickers();
      return 0;
    case WM_INDEX_TABLE:
      OnIndexTable();
      return 0;
    case WM_REREQUEST_LIST:
      OnReRequestedList();
      return 0;
    case WM_KEY_COMMAND:
      return OnKeyCommand(wParam, lParam);
    case WM_SHOW_STOCK:
      return OnShowStock(wParam, lParam);
    case WM_SET_STOCK_LIST:
      return OnSetStockList(wParam, lParam);
    case WM_SHOW_INDEX_LIST:
      return OnShowIndexList(wParam);
    case WM_SHOW_ANNOUNCEMENTS:
      return 1;
    default:
      return CWnd::WindowProc(msg, wParam, lParam);
  }
}

CWnd* CQuoteView::MainWindow() { return AfxGetMainWnd(); }

// ---------------------------------------------------------------------------
// Connection events and the back-off.

void CQuoteView::OnQuoteEvent(void* owner, const void*, int event) {
  static_cast<CQuoteView*>(owner)->QueueEvent(event);
}

void CQuoteView::QueueEvent(int event) {
  std::lock_guard<std::mutex> hold(eventLock_);
  if (!eventWindow_) {
    earlyEvents_.push_back(event);
    return;
  }
  PostMessageW(eventWindow_, WM_QUOTE_EVENT, static_cast<WPARAM>(event), 0);
}

void CQuoteView::HandleQuoteEvent(int event) {
  AssertUiThread("CQuoteView::HandleQuoteEvent");
  switch (event) {
    case kQuoteEventReady:
      KillTimer(kReconnectTimer);
      tryCount_ = 0;
      RenewPush();
      return;
    case kQuoteEventConnectFailed:
    case kQuoteEventClosed:
      SetDisconnectedText();
      SendMessage(WM_RECONNECT_QUOTES, 0, 0);
      return;
    case kQuoteEventResultMinus16:
    case kQuoteEventResultMinus14:
      AskToSignInAgain();
      return;
    case kQuoteEventResultMinus15:
      MessageBoxW(m_hWnd, u"没有leve2权限", u"提示", MB_OK);
      return;
    default:
      return;
  }
}

void CQuoteView::AskToSignInAgain() {
  if (MessageBoxW(m_hWnd, u"没有登录，是否重新登陆？", u"提示", MB_YESNO) != IDYES) return;
  if (CWnd* main = MainWindow()) main->PostMessage(WM_SELECT_SITE, 0, 0);
}

void CQuoteView::OnReconnectQuotes() {
  KillTimer(kReconnectTimer);
  SetTimer(kReconnectTimer, static_cast<UINT>(ReconnectDelayMs(tryCount_)));
  ++tryCount_;
}

void CQuoteView::SetDisconnectedText() {
  if (!statusBar_) return;
  statusBar_->SetStatusText(u"连接断开", kSiteTextColor);
  statusBar_->Invalidate(FALSE);
}

// ---------------------------------------------------------------------------
// Push subscription and the tickers.

void CQuoteView::RenewPush() {
  if (!engine_) return;
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  requests_.Cancel(kPushRole);
  ResendPendingRequests(engine_);
  RequestDictionaryUpdate(engine_, nullptr, nullptr);
  requests_.Set(kPushRole, RequestStockListQuotes(engine_, &CQuoteView::QuoteReplyCallback, this, nullptr, 0, 0, 1, 1));
}

void CQuoteView::QuoteReplyCallback(void* owner, PendingRequest* entry) {
  if (owner && entry) static_cast<CQuoteView*>(owner)->OnReply(entry);
}

// Runs on the connection's thread: copies, cancels one-shots and posts.
void CQuoteView::OnReply(PendingRequest* entry) {
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  const int role = requests_.RoleOf(entry->sequence);
  if (role == kPushRole) {
    // The records are taken by their keys, not their places: another page's
    // reply in the same slot may have replaced what the area holds, and an
    // update of ours then finds nothing to merge into.
    const auto* area = static_cast<const QuoteListArea*>(entry->area);
    if (!area || area->recordCount < 1 || !area->list.records) return;
    TickerCopy copy;
    const int held = area->recordsHeld;
    for (int i = 0; i < held; ++i) {
      const QuoteRecord& record = area->list.records[i];
      const int which = IsTickerStock(record.key, 0) ? 0 : IsTickerStock(record.key, 1) ? 1 : -1;
      if (which < 0 || copy.has[which]) continue;
      copy.has[which] = true;
      copy.quotes[which] = TickerQuoteOf(record);
    }
    if (!copy.has[0] && !copy.has[1]) return;
    tickerCopy_.Put(copy);
    tickerPost_.Post(replyWindow_.load(), WM_QUOTE_TICKERS);
    return;
  }
  if (role == kIndexTableRole) {
    const auto* area = static_cast<const FieldTableArea*>(entry->area);
    std::vector<StockKey> keys;
    const int count = area ? std::clamp<int>(area->recordCount, 0, kFieldTableRows) : 0;
    for (int i = 0; i < count; ++i) keys.push_back(area->records[i].key);
    indexCopy_.Put(std::move(keys));
    requests_.Cancel(kIndexTableRole);
    indexPost_.Post(replyWindow_.load(), WM_INDEX_TABLE);
    return;
  }
  if (role == kReRequestRole) {
    const auto* area = static_cast<const SortedQuoteListArea*>(entry->area);
    std::vector<StockKey> keys;
    if (area && area->codes) {
      for (int i = 0; i < area->recordsHeld; ++i) {
        const unsigned char* at = area->codes + static_cast<size_t>(i) * kCompactEntrySize;
        StockKey key{};
        std::memcpy(key.code, at, 6);
        key.market = at[6];
        keys.push_back(key);
      }
    }
    reRequestCopy_.Put(std::move(keys));
    requests_.Cancel(kReRequestRole);
    reRequestPost_.Post(replyWindow_.load(), WM_REREQUEST_LIST);
  }
}

void CQuoteView::ShowTickers() {
  AssertUiThread("CQuoteView::ShowTickers");
  tickerPost_.Taken();
  TickerCopy copy;
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    if (!tickerCopy_.Take(&copy)) return;
  }
  if (!statusBar_) return;
  statusBar_->SetStatusText(SiteStatusText().c_str(), kSiteTextColor);
  statusBar_->Invalidate(FALSE);
  if (copy.has[0]) {
    const TickerTexts shanghai = FormatTicker(copy.quotes[0]);
    statusBar_->SetShanghaiTexts(shanghai.texts[0].c_str(), shanghai.texts[1].c_str(), shanghai.texts[2].c_str(),
                                 shanghai.texts[3].c_str());
    statusBar_->SetShanghaiColors(shanghai.colors[0], shanghai.colors[1], shanghai.colors[2]);
  }
  if (copy.has[1]) {
    const TickerTexts shenzhen = FormatTicker(copy.quotes[1]);
    statusBar_->SetShenzhenTexts(shenzhen.texts[0].c_str(), shenzhen.texts[1].c_str(), shenzhen.texts[2].c_str(),
                                 shenzhen.texts[3].c_str());
    statusBar_->SetShenzhenColors(shenzhen.colors[0], shenzhen.colors[1], shenzhen.colors[2]);
  }
  statusBar_->Invalidate(FALSE);
}

// ---------------------------------------------------------------------------
// Keys.

void CQuoteView::SelectMainTab(int item) {
  CWnd* stock = pages_.stock->Window();
  if (stock->m_hWnd)
    stock->PostMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(pages_.stock->MainTabBar()), item);
  pages_.stock->SetMainTabItem(item);
}

void CQuoteView::OnEscape() {
  if (IsShown(kStockPage)) {
    pages_.stock->CancelPageRequests(0);
    switch (returnPage_) {
      case kRankPage: ShowRankPage(-1, -1); break;
      case kBlockPage: ShowBlockMonitor(1); break;
      case kTacticalPage: ShowTacticalBoard(1); break;
      case kShortTermPage: ShowShortTermBoard(1); break;
      case kPoolPage: ShowPoolPage(1); break;
      case kTablePage:
        ShowQuoteTable();
        pages_.table->Reload();
        break;
      default: break;
    }
    return;
  }
  if (!IsShown(kRankPage)) return;
  pages_.rank->CancelRequests();
  ShowQuoteTable();
  pages_.table->Reload();
}

void CQuoteView::ShowIndexOfKey(const char* code, int market) {
  ShowStockPage(MakeStockKey(code, market, kIndexKind), 1);
  std::memset(pendingIndexCode_, 0, sizeof pendingIndexCode_);
  std::strncpy(pendingIndexCode_, code, 7);
  PostShowIndexList(m_hWnd, nullptr);
}

void CQuoteView::NextKLinePeriod() {
  if (pages_.stock->GetCurrentTab() != 0) return;
  ShowKLinePeriod(NextPeriod(pages_.stock->GetKLinePeriod()));
}

LRESULT CQuoteView::OnKeyCommand(WPARAM wParam, LPARAM lParam) {
  AssertUiThread("CQuoteView::OnKeyCommand");
  switch (static_cast<int>(lParam)) {
    case kKeyEscape: OnEscape(); break;
    case kKeyPageUp: StepBrowse(-1); break;
    case kKeyPageDown: StepBrowse(+1); break;
    case kKeyF1: SelectMainTab(4); break;
    case kKeyF3: ShowIndexOfKey("1A0001", 1); break;
    case kKeyF4: ShowIndexOfKey("399001", 2); break;
    case kKeyF5: {
      const int tab = pages_.stock->GetCurrentTab();
      if (tab == 0) SelectMainTab(1);
      else if (tab == 1) SelectMainTab(0);
      break;
    }
    case kKeyF6: {
      returnPage_ = kNoPage;
      pages_.stock->CancelPageRequests(0);
      pages_.table->ClearTable();
      ShowQuoteTable();
      CWnd* table = pages_.table->Window();
      if (table->m_hWnd)
        table->PostMessage(WM_TABLEBAR_SELECT, reinterpret_cast<WPARAM>(pages_.table->BoardBar()), 1);
      pages_.table->SetBoardBarItem(1);
      break;
    }
    case kKeyF8: NextKLinePeriod(); break;
    case kKeyF9: SelectMainTab(3); break;
    case kKeyF10: SelectMainTab(2); break;
    case kKeyF12: returnPage_ = kNoPage; break;
    case kKeyTabToggle: SelectMainTab(pages_.stock->GetCurrentTab() == 1 ? 0 : 1); break;
    case kKeyF2:
    case kKeyF7:
    case kKeyF11:
      break;
    default:
      if (CWnd* main = MainWindow()) main->PostMessage(WM_KEY_COMMAND, wParam, lParam);
      break;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// The browsed list.

LRESULT CQuoteView::OnSetStockList(WPARAM wParam, LPARAM lParam) {
  AssertUiThread("CQuoteView::OnSetStockList");
  std::unique_ptr<StockListPayload> payload = TakeStockListPayload(lParam);
  auto* info = reinterpret_cast<StockListInfo*>(wParam);
  if (!info) {
    DebugPrintf("\nCQuoteView::OnSetStockList: no list record");
    return 0;
  }
  const int kind = info->kind;
  const bool keyKinds = kind == 2 || kind == 12 || kind == 16;
  const bool recordKinds = kind == 3 || kind == 4 || kind == 5 || kind == 13;
  const bool shortKinds = kind == kListPoolCells || kind == kListMultiStock;
  if ((keyKinds || recordKinds || shortKinds) && !payload) {
    DebugPrintf("\nCQuoteView::OnSetStockList: kind %d without its list", kind);
    return 0;
  }
  currentIndex_ = info->currentIndex;
  entryForm_ = 8;
  if (keyKinds || recordKinds || shortKinds) {
    const int size = static_cast<int>(payload->keys.size());
    int count = size;
    if (recordKinds || kind == kListPoolCells) count = std::clamp(info->count, 0, size);
    entries_.assign(payload->keys.begin(), payload->keys.begin() + count);
    if (kind == 12 || kind == 16) std::reverse(entries_.begin(), entries_.end());
    if (shortKinds) {
      entryForm_ = 7;
      for (StockKey& key : entries_) key.kind = 0;
    }
    return 0;
  }
  entries_.clear();
  entryForm_ = 7;
  if (!engine_) return 0;
  std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
  requests_.Cancel(kReRequestRole);
  const auto listLow = static_cast<int32_t>(static_cast<uint64_t>(info->listId) & 0xFFFFFFFFu);
  const auto listHigh = static_cast<int32_t>(static_cast<uint64_t>(info->listId) >> 32);
  requests_.Set(kReRequestRole,
                RequestViewQuoteList(engine_, &CQuoteView::QuoteReplyCallback, this, info->requestType, listLow,
                                     listHigh, 0, info->sortField, info->direction, 0, 0, reRequestRows_, 0));
  return 0;
}

void CQuoteView::OnReRequestedList() {
  AssertUiThread("CQuoteView::OnReRequestedList");
  reRequestPost_.Taken();
  std::vector<StockKey> keys;
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    if (!reRequestCopy_.Take(&keys)) return;
  }
  StockListInfo* info = EngineStockListInfo(engine_);
  if (!info) return;
  entries_ = std::move(keys);
  entryForm_ = 7;
  info->kind = kListRequested;
  char code[8] = {};
  std::memcpy(code, info->code, 7);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!SameCode(entries_[i], code)) continue;
    info->currentIndex = static_cast<int32_t>(i);
    currentIndex_ = static_cast<int>(i);
    break;
  }
}

void CQuoteView::PositionOnCode(const char* code, StockListInfo* info) {
  if (!code[0]) return;
  for (size_t i = 0; i < indexTable_.size(); ++i) {
    if (!SameCode(indexTable_[i], code)) continue;
    info->currentIndex = static_cast<int32_t>(i);
    currentIndex_ = static_cast<int>(i);
    std::memset(pendingIndexCode_, 0, sizeof pendingIndexCode_);
    return;
  }
}

LRESULT CQuoteView::OnShowIndexList(WPARAM wParam) {
  AssertUiThread("CQuoteView::OnShowIndexList");
  std::unique_ptr<char[]> code = TakeIndexListCode(wParam);
  if (code) {
    std::memset(pendingIndexCode_, 0, sizeof pendingIndexCode_);
    std::strncpy(pendingIndexCode_, code.get(), 7);
  }
  StockListInfo* info = EngineStockListInfo(engine_);
  if (!info) return 1;
  info->count = static_cast<int32_t>(indexTable_.size());
  info->kind = kListRecords;
  if (indexTable_.empty()) {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    requests_.Cancel(kIndexTableRole);
    requests_.Set(kIndexTableRole, RequestFieldTable(engine_, &CQuoteView::QuoteReplyCallback, this, kTableFieldType,
                                                     0, 1, 0));
  } else {
    PositionOnCode(pendingIndexCode_, info);
  }
  PostStockList(m_hWnd, info, MakeListPayload(indexTable_.data(), static_cast<int>(indexTable_.size())));
  return 1;
}

void CQuoteView::OnIndexTable() {
  AssertUiThread("CQuoteView::OnIndexTable");
  indexPost_.Taken();
  std::vector<StockKey> keys;
  {
    std::lock_guard<std::recursive_mutex> hold(requests_.Lock());
    if (!indexCopy_.Take(&keys)) return;
  }
  indexTable_ = std::move(keys);
  StockListInfo* info = EngineStockListInfo(engine_);
  if (!info) return;
  info->count = static_cast<int32_t>(indexTable_.size());
  info->kind = kListRecords;
  PositionOnCode(pendingIndexCode_, info);
  PostStockList(m_hWnd, info, MakeListPayload(indexTable_.data(), static_cast<int>(indexTable_.size())));
}

void CQuoteView::ShowCurrentEntry() {
  if (currentIndex_ < 0) return;
  scratchKey_ = StockKey{};
  if (currentIndex_ >= static_cast<int>(entries_.size())) return;
  const StockKey& entry = entries_[static_cast<size_t>(currentIndex_)];
  std::memcpy(scratchKey_.code, entry.code, 6);
  scratchKey_.market = entry.market;
  if (entryForm_ == 8) {
    scratchKey_.kind = entry.kind;
    if (scratchKey_.market != 0) PostShowStock(m_hWnd, 0, scratchKey_);
    return;
  }
  CWnd* main = MainWindow();
  if (scratchKey_.market != 0 && main) PostFindStockCode(main->m_hWnd, scratchKey_);
}

void CQuoteView::StepBrowse(int step) {
  const int count = static_cast<int>(entries_.size());
  if (count == 0 || currentIndex_ < 0) return;
  currentIndex_ += step;
  if (currentIndex_ < 0) currentIndex_ = count - 1;
  if (currentIndex_ >= count) currentIndex_ = 0;
  ShowCurrentEntry();
}
