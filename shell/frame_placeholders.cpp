#include "shell/frame_placeholders.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "marketdata/history_client.h"
#include "marketdata/quote_connection.h"
#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_utf.h"

namespace {

std::string Narrow(const WCHAR* text) { return text == nullptr ? std::string() : WideToUtf8(text, std::u16string::npos); }

std::string KeyText(const StockKey& key) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6s,%d,%d", key.code, key.market, key.kind);
  return text;
}

std::string RectText(const RECT& rc) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", static_cast<long>(rc.left), static_cast<long>(rc.top),
                static_cast<long>(rc.right), static_cast<long>(rc.bottom));
  return text;
}

// The placeholder view's own "view ready" turn (the browser program's
// report, stood in for).
constexpr UINT WM_PLACEHOLDER_VIEW_READY = WM_USER + 0x501;

}  // namespace

// ---------------------------------------------------------------------------

PlaceholderWindow::~PlaceholderWindow() {
  if (font_ != nullptr) DeleteObject(font_);
}

void PlaceholderWindow::Note(const std::string& call) {
  calls.push_back(call);
  if (sharedLog != nullptr) sharedLog->push_back(WideToUtf8(name_) + "." + call);
}

void PlaceholderWindow::SetDetail(const std::u16string& detail) {
  if (detail == detail_) return;
  detail_ = detail;
  if (GetSafeHwnd() != nullptr) Invalidate(FALSE);
}

void PlaceholderWindow::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  dc.FillSolidRect(&rc, RGB(0, 0, 0));
  if (font_ == nullptr) font_ = CreateUiFont(GetUiFontFace(), ScaleFontHeight(16));
  HGDIOBJ old = SelectObject(dc.GetSafeHdc(), font_);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(200, 200, 200));
  CRect top = rc;
  top.bottom = rc.top + rc.Height() / 2;
  dc.DrawText(name_, &top, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  CRect bottom = rc;
  bottom.top = top.bottom + 4;
  dc.SetTextColor(RGB(120, 120, 120));
  dc.DrawText(detail_, &bottom, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS);
  SelectObject(dc.GetSafeHdc(), old);
}

// ---------------------------------------------------------------------------

PlaceholderQuoteView::PlaceholderQuoteView() : PlaceholderWindow(u"行情") {
  engine_ = CreateQuoteEngine();
  history_ = CreateHistoryClient();
}

PlaceholderQuoteView::~PlaceholderQuoteView() {
  FreeHistoryClient(history_);
  FreeQuoteEngine(engine_);
}

void PlaceholderQuoteView::SetStatusBar(FooStatus* statusBar) {
  statusBar_ = statusBar;
  Note("SetStatusBar");
}

void PlaceholderQuoteView::SetCredentials(const char* userNumber, const char* token) {
  SetQuoteCredentials(engine_, userNumber ? userNumber : "", token ? token : "");
  SetHistoryCredentials(history_, userNumber ? userNumber : "", token ? token : "");
  Note(std::string("SetCredentials(") + (userNumber ? userNumber : "") + "," + (token ? token : "") + ")");
}

void PlaceholderQuoteView::SetUserName(const WCHAR* userName) { Note("SetUserName(" + Narrow(userName) + ")"); }
void PlaceholderQuoteView::ConnectEngine() { Note("ConnectEngine"); }
void PlaceholderQuoteView::DisconnectEngine() { Note("DisconnectEngine"); }
void PlaceholderQuoteView::CancelAllRequests() { Note("CancelAllRequests"); }

void PlaceholderQuoteView::ShowPage(const char* call, const char16_t* page, int arg) {
  Note(std::string(call) + "(" + std::to_string(arg) + ")");
  stockPageVisible = false;
  quoteTableVisible = std::u16string_view(page) == u"主表";
  SetDetail(page);
}

void PlaceholderQuoteView::ShowQuoteTable() {
  Note("ShowQuoteTable");
  stockPageVisible = false;
  quoteTableVisible = true;
  SetDetail(u"主表");
}

void PlaceholderQuoteView::ShowQuoteTableReload(int reload) { ShowPage("ShowQuoteTableReload", u"主表", reload); }
void PlaceholderQuoteView::ShowPoolPage(int reload) { ShowPage("ShowPoolPage", u"股票池", reload); }

void PlaceholderQuoteView::ShowRankPage(int32_t boardLow, int32_t boardHigh) {
  Note("ShowRankPage(" + std::to_string(boardLow) + "," + std::to_string(boardHigh) + ")");
  stockPageVisible = false;
  quoteTableVisible = false;
  SetDetail(u"排名");
}

void PlaceholderQuoteView::ShowTacticalBoard(int reload) { ShowPage("ShowTacticalBoard", u"战术看盘", reload); }
void PlaceholderQuoteView::ShowBlockMonitor(int reload) { ShowPage("ShowBlockMonitor", u"板块监测", reload); }
void PlaceholderQuoteView::ShowShortTermBoard(int reload) { ShowPage("ShowShortTermBoard", u"短线阻击", reload); }

void PlaceholderQuoteView::ShowMarketAnalysis() {
  Note("ShowMarketAnalysis");
  stockPageVisible = true;
  quoteTableVisible = false;
  SetDetail(u"大盘分析");
}

void PlaceholderQuoteView::ShowKLinePeriod(int period) { Note("ShowKLinePeriod(" + std::to_string(period) + ")"); }
void PlaceholderQuoteView::RefreshStockPage() { Note("RefreshStockPage"); }

void PlaceholderQuoteView::PostTableCommand(WPARAM command, LPARAM param) {
  Note("PostTableCommand(" + std::to_string(command) + "," + std::to_string(param) + ")");
}

void PlaceholderQuoteView::ShowBlockStocks(int64_t blockId, int blockKind) {
  Note("ShowBlockStocks(" + std::to_string(blockId) + "," + std::to_string(blockKind) + ")");
}

void PlaceholderQuoteView::ClearPendingIndexCode() { Note("ClearPendingIndexCode"); }

LRESULT PlaceholderQuoteView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SHOW_STOCK: {
      // The final handler of the posted key: it is the message's copy.
      auto* key = reinterpret_cast<StockKey*>(lParam);
      Received r{msg, wParam, lParam, "", 0, 0};
      if (key != nullptr) {
        r.code.assign(key->code, strnlen(key->code, sizeof key->code));
        r.market = key->market;
        r.kind = key->kind;
      }
      received.push_back(r);
      Note("WM_SHOW_STOCK(" + std::to_string(wParam) + "," + (key ? KeyText(*key) : std::string("null")) + ")");
      delete key;
      return 0;
    }
    case WM_SET_STOCK_LIST:
    case WM_SHOW_INDEX_LIST:
    case WM_KEY_COMMAND:
      received.push_back({msg, wParam, lParam, "", 0, 0});
      Note("message(" + std::to_string(msg) + "," + std::to_string(wParam) + "," + std::to_string(lParam) + ")");
      return msg == WM_KEY_COMMAND || msg == WM_SHOW_INDEX_LIST ? 1 : 0;
    default:
      return PlaceholderWindow::WindowProc(msg, wParam, lParam);
  }
}

// ---------------------------------------------------------------------------

void PlaceholderTradeView::SetShown(bool shown) {
  shown_ = shown;
  if (GetSafeHwnd() == nullptr) return;
  ShowWindow(shown ? SW_SHOW : SW_HIDE);
  CWnd* main = AfxGetMainWnd();
  if (main != nullptr) main->PostMessage(WM_RELAYOUT_MAIN, 0, 0);
}

void PlaceholderTradeView::HideTrade() {
  Note("HideTrade");
  SetShown(false);
}

void PlaceholderTradeView::ShowTrade(const StockKey& key, int side) {
  Note("ShowTrade(" + KeyText(key) + "," + std::to_string(side) + ")");
  SetDetail(Utf8ToWide(KeyText(key)));
  SetShown(true);
}

void PlaceholderTradeView::QuickBuySell(int side, const StockKey& key) {
  Note("QuickBuySell(" + std::to_string(side) + "," + KeyText(key) + ")");
}

// ---------------------------------------------------------------------------

BOOL PlaceholderFindStockView::CreateWizard(CWnd* parent) {
  Note("CreateWizard");
  return CreateEx(WS_EX_TOOLWINDOW, nullptr, u"键盘精灵", WS_POPUP | WS_BORDER, CRect(0, 0, 240, 240), parent, 0);
}

void PlaceholderFindStockView::SetOwnerFrame(CWnd* frame) {
  ownerFrame = frame;
  Note("SetOwnerFrame");
}

void PlaceholderFindStockView::SetEngine(QuoteEngine* e) {
  engine = e;
  Note("SetEngine");
}

void PlaceholderFindStockView::SetDatabase(sqlite3* db) {
  database = db;
  Note("SetDatabase");
}

void PlaceholderFindStockView::SetSearchText(const WCHAR* text) {
  searchText = text == nullptr ? u"" : text;
  Note("SetSearchText(" + Narrow(text) + ")");
  SetDetail(searchText);
}

// ---------------------------------------------------------------------------

BOOL PlaceholderPopQuote::CreatePopQuote(CWnd* parent) {
  Note("CreatePopQuote");
  return CreateEx(WS_EX_TOOLWINDOW, nullptr, u"弹出报价", WS_POPUP | WS_BORDER, CRect(0, 0, 310, 600), parent, 0);
}

void PlaceholderPopQuote::SetEngine(QuoteEngine* e) {
  engine = e;
  Note("SetEngine");
}

void PlaceholderPopQuote::ShowStock(const StockKey& key) {
  stock = key;
  Note("ShowStock(" + KeyText(key) + ")");
  SetDetail(Utf8ToWide(KeyText(key)));
}

// ---------------------------------------------------------------------------

void PlaceholderPopMsgDialog::SetUserName(const char* name) {
  userName = name == nullptr ? "" : std::string(name).substr(0, 511);
  Note("SetUserName(" + userName + ")");
}

BOOL PlaceholderPopMsgDialog::CreateNotice(CWnd* parent) {
  Note("CreateNotice");
  return CreateEx(WS_EX_TOOLWINDOW, nullptr, u"新消息", WS_POPUP | WS_BORDER, CRect(0, 0, 300, 200), parent, 0);
}

void PlaceholderPopMsgDialog::CheckMessages() { Note("CheckMessages"); }

// ---------------------------------------------------------------------------

PlaceholderBriselHelper::~PlaceholderBriselHelper() {
  if (view_.GetSafeHwnd() != nullptr) view_.DestroyWindow();
}

void PlaceholderBriselHelper::StartBrowser(const WCHAR* address, CWnd* host, const RECT& rect) {
  Note("StartBrowser(" + Narrow(address) + "," + RectText(rect) + ")");
  if (running_) TerminateBrowser();
  if (host != nullptr) host_ = host;
  running_ = true;
  ready_ = false;
  address_ = address == nullptr ? u"" : address;
  if (host_ == nullptr || host_->GetSafeHwnd() == nullptr) return;
  view_.CreateEx(0, nullptr, u"", WS_CHILD | WS_CLIPSIBLINGS, rect, host_, 0);
  view_.SetDetail(address_);
  PostMessage(WM_PLACEHOLDER_VIEW_READY, 0, 0);
}

void PlaceholderBriselHelper::StartBrowserSized(const WCHAR* address, CWnd* host, int width, int height) {
  StartBrowser(address, host, CRect(0, 0, width, height));
}

BOOL PlaceholderBriselHelper::TerminateBrowser() {
  Note("TerminateBrowser");
  const BOOL result = running_ ? TRUE : FALSE;
  running_ = false;
  ready_ = false;
  if (view_.GetSafeHwnd() != nullptr) view_.DestroyWindow();
  return result;
}

void PlaceholderBriselHelper::Send(const std::string& record) { sent.push_back(record); }

void PlaceholderBriselHelper::Navigate(const WCHAR* address) {
  Note("Navigate(" + Narrow(address) + ")");
  const std::u16string text = address == nullptr ? u"" : address;
  if (!IsReady()) {
    keptAddress_ = text;
    return;
  }
  Send("navigate:" + WideToUtf8(text));
  address_ = text;
  view_.SetDetail(address_);
}

void PlaceholderBriselHelper::SetCookies(const WCHAR* cookies) {
  Note("SetCookies(" + Narrow(cookies) + ")");
  const std::u16string text = cookies == nullptr ? u"" : cookies;
  if (!IsReady()) {
    keptCookies_ = text;
    return;
  }
  Send("cookies:" + WideToUtf8(text));
}

void PlaceholderBriselHelper::SetNewsHtml(const WCHAR* html) {
  Note("SetNewsHtml(" + Narrow(html) + ")");
  const std::u16string text = html == nullptr ? u"" : html;
  if (!IsReady()) {
    keptNews_ = text;
    return;
  }
  Send("news:" + WideToUtf8(text));
}

void PlaceholderBriselHelper::MoveBrowser(const RECT& rect) {
  Note("MoveBrowser(" + RectText(rect) + ")");
  if (!IsReady()) {
    keptRect_ = rect;
    rectKept_ = true;
    return;
  }
  Send("move:" + RectText(rect));
  view_.MoveWindow(&rect, TRUE);
}

int PlaceholderBriselHelper::CallScript(const WCHAR* function) {
  Note("CallScript(" + Narrow(function) + ")");
  return 0;
}

void PlaceholderBriselHelper::BackToFirstPage() { Note("BackToFirstPage"); }
void PlaceholderBriselHelper::SetHostFlag(int flag) { Note("SetHostFlag(" + std::to_string(flag) + ")"); }

void PlaceholderBriselHelper::ShowBrowser(int showCommand) {
  Note("ShowBrowser(" + std::to_string(showCommand) + ")");
  if (view_.GetSafeHwnd() != nullptr) view_.ShowWindow(showCommand);
  if (GetSafeHwnd() != nullptr) ShowWindow(showCommand);
}

void PlaceholderBriselHelper::OnViewReady() {
  if (!running_ || view_.GetSafeHwnd() == nullptr) return;
  ready_ = true;
  if (!keptNews_.empty()) Send("news:" + WideToUtf8(std::exchange(keptNews_, u"")));
  if (rectKept_) {
    rectKept_ = false;
    Send("move:" + RectText(keptRect_));
    view_.MoveWindow(&keptRect_, TRUE);
  }
  if (!keptCookies_.empty()) Send("cookies:" + WideToUtf8(std::exchange(keptCookies_, u"")));
  if (!keptAddress_.empty()) {
    address_ = std::exchange(keptAddress_, u"");
    Send("navigate:" + WideToUtf8(address_));
    view_.SetDetail(address_);
  }
  if (owner_ != nullptr)
    ::PostMessageW(owner_, WM_BROWSER_READY, reinterpret_cast<WPARAM>(static_cast<IBriselHelper*>(this)), 0);
}

LRESULT PlaceholderBriselHelper::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PLACEHOLDER_VIEW_READY) {
    OnViewReady();
    return 1;
  }
  return PlaceholderWindow::WindowProc(msg, wParam, lParam);
}

