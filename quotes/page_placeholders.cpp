#include "quotes/page_placeholders.h"

#include "quotes/quote_grid_view.h"

#include <cstdio>

void PageCallLog::Note(const std::string& call) {
  std::lock_guard<std::mutex> hold(lock_);
  calls_.push_back(call);
}

std::vector<std::string> PageCallLog::Take() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<std::string> out;
  out.swap(calls_);
  return out;
}

std::vector<std::string> PageCallLog::Calls() {
  std::lock_guard<std::mutex> hold(lock_);
  return calls_;
}

void PageCallLog::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  calls_.clear();
}

PageCallLog& PlaceholderCalls() {
  static PageCallLog log;
  return log;
}

namespace {

std::string KeyText(const StockKey& key) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6s/%d/%d", key.code, key.market, key.kind);
  return text;
}

}  // namespace

PlaceholderPage::PlaceholderPage(const char* name, const char16_t* title, PageCallLog* log)
    : name_(name), title_(title), log_(log) {}

BOOL PlaceholderPage::CreateWindowOf(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(nullptr, title_.c_str(), style, rect, parent, id);
}

void PlaceholderPage::Note(const std::string& call) {
  if (log_) log_->Note(name_ + "." + call);
}

BOOL PlaceholderPage::OnEraseBkgnd(CDC*) { return TRUE; }

void PlaceholderPage::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  dc.FillSolidRect(&rc, RGB(0, 0, 0));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(128, 128, 128));
  dc.DrawText(title_, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

LRESULT PlaceholderPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TABLEBAR_SELECT) {
    Note("WM_TABLEBAR_SELECT(" + BarName(wParam) + "," + std::to_string(lParam) + ")");
    return 0;
  }
  if (msg == WM_COMMAND) {
    Note("WM_COMMAND(" + std::to_string(wParam) + "," + std::to_string(lParam) + ")");
    return 0;
  }
  return CWnd::WindowProc(msg, wParam, lParam);
}

void PlaceholderMultiStock::ReplaceSelectedStock(const StockKey& key) {
  if (log_) log_->Note("multi.ReplaceSelectedStock(" + KeyText(key) + ")");
}

PlaceholderQuoteTable::PlaceholderQuoteTable(PageCallLog* log)
    : PlaceholderPage("table", u"行情报价", log), multiStock(log) {}

BOOL PlaceholderQuoteTable::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateWindowOf(style, rect, parent, id);
}

void PlaceholderQuoteTable::SetEngine(QuoteEngine* e) {
  engine = e;
  Note("SetEngine");
}

bool PlaceholderQuoteTable::GetSelectedStock(StockKey* key) {
  if (!hasSelection || !key) return false;
  *key = selection;
  return true;
}

void PlaceholderQuoteTable::ShowBlockStocks(int64_t blockId, int blockKind) {
  Note("ShowBlockStocks(" + std::to_string(blockId) + "," + std::to_string(blockKind) + ")");
}

std::string PlaceholderQuoteTable::BarName(WPARAM bar) {
  return bar == reinterpret_cast<WPARAM>(&boardBar_) ? "board" : "?";
}

BOOL PlaceholderPool::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateWindowOf(style, rect, parent, id);
}

void PlaceholderPool::SetEngine(QuoteEngine*) { Note("SetEngine"); }

BOOL PlaceholderRankBoards::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateWindowOf(style, rect, parent, id);
}

void PlaceholderRankBoards::SetEngine(QuoteEngine*) { Note("SetEngine"); }

void PlaceholderRankBoards::RequestBoards(int32_t boardLow, int32_t boardHigh) {
  Note("RequestBoards(" + std::to_string(boardLow) + "," + std::to_string(boardHigh) + ")");
}

BOOL PlaceholderBoard::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateWindowOf(style, rect, parent, id);
}

void PlaceholderBoard::SetEngine(QuoteEngine*) { Note("SetEngine"); }

PlaceholderStockPage::PlaceholderStockPage(PageCallLog* log) : PlaceholderPage("stock", u"个股", log) {}

BOOL PlaceholderStockPage::CreatePage(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateWindowOf(style, rect, parent, id);
}

void PlaceholderStockPage::SetEngine(QuoteEngine*, HistoryClient*) { Note("SetEngine"); }

void PlaceholderStockPage::SetUserName(const WCHAR* userName) {
  std::string name;
  for (const WCHAR* p = userName; p && *p; ++p) name += *p < 128 ? static_cast<char>(*p) : '?';
  Note("SetUserName(" + name + ")");
}

void PlaceholderStockPage::ShowStock(const StockKey& key, int flag) {
  key_ = key;
  Note("ShowStock(" + KeyText(key) + "," + std::to_string(flag) + ")");
}

void PlaceholderStockPage::SetStockKey(const StockKey& key) {
  key_ = key;
  Note("SetStockKey(" + KeyText(key) + ")");
}

void PlaceholderStockPage::CancelPageRequests(int keepAlerts) {
  Note("CancelRequests(" + std::to_string(keepAlerts) + ")");
}

void PlaceholderStockPage::ShowKLineChart() {
  klineShown = true;
  Note("ShowKLineChart");
}

void PlaceholderStockPage::SetKLinePeriod(int p) {
  period = p;
  Note("SetKLinePeriod(" + std::to_string(p) + ")");
}

void PlaceholderStockPage::SetMainTabItem(int item) {
  mainTab = item;
  Note("SetMainTabItem(" + std::to_string(item) + ")");
}

void PlaceholderStockPage::SetInfoTabItem(int item) {
  infoTab = item;
  Note("SetInfoTabItem(" + std::to_string(item) + ")");
}

std::string PlaceholderStockPage::BarName(WPARAM bar) {
  if (bar == reinterpret_cast<WPARAM>(&mainBar_)) return "main";
  if (bar == reinterpret_cast<WPARAM>(&infoBar_)) return "info";
  return "?";
}

QuotePages MakePlaceholderPages(PageCallLog* log) {
  QuotePages pages;
  pages.table = std::make_unique<PlaceholderQuoteTable>(log);
  pages.pool = std::make_unique<PlaceholderPool>(log);
  pages.stock = std::make_unique<PlaceholderStockPage>(log);
  pages.rank = std::make_unique<PlaceholderRankBoards>(log);
  pages.tactical = std::make_unique<PlaceholderBoard>("tactical", u"战术看盘", log);
  pages.blockMonitor = std::make_unique<PlaceholderBoard>("block", u"板块监测", log);
  pages.shortTerm = std::make_unique<PlaceholderBoard>("shortterm", u"短线阻击", log);
  return pages;
}

QuotePages MakeQuotePages() {
  QuotePages pages = MakePlaceholderPages(&PlaceholderCalls());
  pages.table = std::make_unique<CQuoteGridView>();
  return pages;
}
