// The stock page's information side: the F10 and F9 pages in the F10
// browser, the browsers' start-up and default pages, the information tabs
// (news and research grids, related quotes, adviser pages) and the news-list
// replies.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controls/control_messages.h"
#include "controls/grid_messages.h"
#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/gzip_inflate.h"
#include "foundation/http_request.h"
#include "foundation/json_reader.h"
#include "foundation/proxy_setting.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "marketdata/quote_requests.h"
#include "marketdata/request_builders.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "stockpage/quote_details_view.h"

namespace {

void Show(CWnd* wnd, bool show) {
  if (wnd && wnd->m_hWnd) wnd->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

// Percent-encoding of a UTF-8 text (unreserved characters kept).
std::string PercentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The value of an object's member, or null.
const JsonNode* Member(const JsonNode* object, const char* name) {
  const JsonNode* label = FindJsonLabel(object, name);
  return label ? label->firstChild : nullptr;
}

// A member's string, unescaped (empty when missing or not a string).
std::string MemberText(const JsonNode* object, const char* name) {
  const JsonNode* value = Member(object, name);
  if (!value || value->type != kJsonString || !value->text) return std::string();
  char* text = UnescapeJsonString(value->text);
  std::string out = text ? text : "";
  std::free(text);
  return out;
}

std::string Service(const char* name) {
  char* address = ChooseServer(name, 0);
  std::string text = address ? address : "";
  std::free(address);
  return text;
}

}  // namespace

std::u16string CQuoteDetailsView::ServiceAddress(const char* service) { return Utf8ToWide(Service(service)); }

// ---------------------------------------------------------------------------
// The F10 and F9 pages.

void CQuoteDetailsView::SelectF10Tab(int item) {
  CRect client;
  GetClientRect(&client);
  const int W = client.Width(), H = client.Height();
  const StockKey key = GetStockKey();
  if (item == 0) {
    Show(F10View(), false);
    if (f10Browser_) {
      f10Browser_->BackToFirstPage();
      f10Browser_->MoveBrowser(RECT{22, 0, W, H - 22});
      char address[1200];
      std::snprintf(address, sizeof address, key.market == 1 ? "%ssh/%s/" : "%ssz/%s/", Service("PCF10").c_str(),
                    key.code);
      f10Browser_->Navigate(Utf8ToWide(address).c_str());
      f10Browser_->ShowBrowser(SW_SHOW);
    }
  }
  Show(&minView_, false);
  Show(&klineView_, false);
  Show(&detailView_, false);
  ShowInfoArea(false);
  Show(&f10Bar_, true);
  ShowRightPanels(false);
  Show(CycleView(), false);
  f10Bar_.SetCurSel(item);
  Invalidate();
}

void CQuoteDetailsView::ShowF9Page() {
  CRect client;
  GetClientRect(&client);
  const StockKey key = GetStockKey();
  if (f10Browser_) {
    f10Browser_->BackToFirstPage();
    char address[1200];
    std::snprintf(address, sizeof address, key.kind == 3 ? "%sfund/%s/fundmain.htm" : "%sstock/%s/stockmain.htm",
                  Service("PCF9").c_str(), key.code);
    f10Browser_->MoveBrowser(RECT{22, 0, client.Width(), client.Height() - 3});
    f10Browser_->Navigate(Utf8ToWide(address).c_str());
    f10Browser_->ShowBrowser(SW_SHOW);
  }
  Show(&minView_, false);
  Show(&klineView_, false);
  Show(&detailView_, false);
  ShowInfoArea(false);
  ShowRightPanels(false);
  Show(CycleView(), false);
  Show(F10View(), false);
  Show(&f10Bar_, false);
}

// ---------------------------------------------------------------------------
// Browsers.

IBriselHelper* CQuoteDetailsView::HelperOf(WPARAM w) {
  for (IBriselHelper* b : {f10Browser_.get(), newsBrowser_.get(), researchBrowser_.get()})
    if (b && reinterpret_cast<WPARAM>(b) == w) return b;
  return nullptr;
}

LRESULT CQuoteDetailsView::OnBrowserReady(WPARAM helper) {
  IBriselHelper* b = HelperOf(helper);
  if (!b) return 0;
  CRect client;
  GetClientRect(&client);
  const int W = client.Width(), H = client.Height();
  const int R = RightWidth();
  const int M = (W - R - 22) / 2 + 22;
  if (b == f10Browser_.get()) {
    b->MoveBrowser(RECT{22, 0, W, mainBar_.GetCurSel() == 1 ? H - 20 : H});
  } else {
    // On the grid rectangles, as the next size change would place them.
    if (b == newsBrowser_.get())
      b->MoveBrowser(RECT{22, H - 160, M, H});
    else
      b->MoveBrowser(RECT{M, H - 160, W - R, H});
    b->SetHostFlag(0);
  }
  b->ShowBrowser(SW_HIDE);
  PostMessage(WM_BROWSER_DEFAULT_PAGE, helper, 0);
  return 0;
}

LRESULT CQuoteDetailsView::OnBrowserDefaultPage(WPARAM helper) {
  IBriselHelper* b = HelperOf(helper);
  if (!b) return 0;
  char root[1024] = {};
  GetInstallRoot(root, sizeof root);
  const char* file = b == f10Browser_.get()    ? "f10.html"
                     : b == newsBrowser_.get() ? "newslist.html"
                                               : "researchreportlist.html";
  const std::string address = std::string(root) + "res\\default_html\\" + file;
  b->Navigate(Utf8ToWide(address).c_str());
  return 0;
}

// ---------------------------------------------------------------------------
// Information tabs.

void CQuoteDetailsView::SelectInfoTab(int index) {
  for (IBriselHelper* b : {newsBrowser_.get(), researchBrowser_.get()})
    if (b) b->ShowBrowser(SW_HIDE);
  Show(newsGrid_.get(), false);
  Show(researchGrid_.get(), false);
  Show(&trustQueue_, false);
  Show(&trustCancel_, false);
  Show(&blockList1_, false);
  Show(&blockList2_, false);
  infoBar_.SetCurSel(index);
  int c = index;
  if (IsIndex() && index == 1) c = 2;
  switch (c) {
    case 0:
      AbandonNewsLists();
      EmptyGrid(newsGrid_.get());
      EmptyGrid(researchGrid_.get());
      StartNewsLists();
      Show(newsGrid_.get(), true);
      Show(researchGrid_.get(), true);
      break;
    case 1: {
      blockList2_.ResetList(1, 1);
      blockList1_.ResetList(1, 2);
      Show(&blockList2_, true);
      Show(&blockList1_, true);
      const StockKey key = GetStockKey();
      int length = 0;
      char* records = ListBoardMembers(key.code, key.market, &length);
      std::lock_guard<CriticalSection> hold(lock_);
      if (records && length >= 7 && h_.relatedBlocks == 0 && engine_) {
        h_.relatedBlocks = RequestStockListQuotes(engine_, &QuoteReplyCallback, this, records, length, 0, 1, 2);
        char code[7] = {};
        std::memcpy(code, records, 6);
        boardId_ = FindBoardIdByCode(code, static_cast<uint8_t>(records[6]));
        RequestRelatedMembers(1, 0);
      }
      std::free(records);
      break;
    }
    case 2: NavigateAdviserPages(); break;
    default: break;
  }
}

void CQuoteDetailsView::NavigateAdviserPages() {
  const StockKey key = GetStockKey();
  const std::string code = PercentEncode(key.code);
  const std::string user = PercentEncode(WideToUtf8(userName_));
  const char* services[] = {"PCStockEvaluate", "PCStockForecast"};
  IBriselHelper* browsers[] = {newsBrowser_.get(), researchBrowser_.get()};
  for (int i = 0; i < 2; ++i) {
    if (!browsers[i]) continue;
    const std::string address = Service(services[i]) + "tradingcode=" + code + "&username=" + user + "&userType=out";
    browsers[i]->Navigate(Utf8ToWide(address).c_str());
    browsers[i]->ShowBrowser(SW_SHOW);
  }
}

// Page lock held.
void CQuoteDetailsView::RequestRelatedMembers(int sortField, int order) {
  if (!engine_ || boardId_ == 0) return;
  const auto id = static_cast<uint64_t>(boardId_);
  h_.relatedMembers = RequestQuoteList(engine_, &QuoteReplyCallback, this, '(', static_cast<int32_t>(id & 0xFFFFFFFFu),
                                       static_cast<int32_t>(id >> 32), 0, sortField, order, 0, 1, 100, 2);
}

// Connection thread, page lock held.
void CQuoteDetailsView::OnRelatedReply(PendingRequest* pending, bool blocks) {
  if (blocks) {
    blockList2_.FillBlockRanking(engine_, static_cast<const QuoteListArea*>(pending->area));
    if (blockList2_.GetGrid()->GetCurRow() < 0) blockList2_.GetGrid()->SetCurRow(0);
  } else {
    blockList1_.FillRelatedQuotes(engine_, static_cast<const QuoteListParams*>(pending->params),
                                  static_cast<const SortedQuoteListArea*>(pending->area));
  }
}

LRESULT CQuoteDetailsView::OnBlockListPick(LPARAM row) {
  if (infoBar_.GetCurSel() != 1 || IsIndex() || row < 0) return 0;
  std::lock_guard<CriticalSection> hold(lock_);
  if (!engine_) return 0;
  const QuoteListArea* area = engine_->quoteListAreas[2];
  if (!area || h_.relatedBlocks == 0 || row >= area->recordsHeld || !area->list.records) return 0;
  if (h_.relatedMembers) CancelQuoteRequest(engine_, h_.relatedMembers);
  h_.relatedMembers = 0;
  blockList1_.ResetList(1, 2);
  char code[7] = {};
  std::memcpy(code, area->list.records[row].key.code, 6);
  boardId_ = FindBoardIdByCode(code, area->list.records[row].key.market);
  RequestRelatedMembers(1, 0);
  return 0;
}

LRESULT CQuoteDetailsView::OnGridSort(LPARAM lParam) {
  if (infoBar_.GetCurSel() != 1 || IsIndex()) return 0;
  static const int kField[16] = {0, 0, 8, 34, 33, 35, 9, 37, 10, 11, 13, 12, 4, 5, 6, 7};
  const int kind = LOWORD(lParam);
  const int field = kind >= 0 && kind < 16 ? kField[kind] : 0;
  const int order = HIWORD(lParam) == 0xFFFF ? 1 : 0;
  std::lock_guard<CriticalSection> hold(lock_);
  if (!engine_) return 0;
  if (h_.relatedMembers) CancelQuoteRequest(engine_, h_.relatedMembers);
  h_.relatedMembers = 0;
  RequestRelatedMembers(field, order);
  return 0;
}

// ---------------------------------------------------------------------------
// News and research lists.

void CQuoteDetailsView::EmptyGrid(CGridCtrl* grid) {
  if (!grid) return;
  grid->SetRowCount(1);
  grid->SetColumnCount(0);
}

void CQuoteDetailsView::AbandonNewsLists() {
  int news, research;
  {
    std::lock_guard<CriticalSection> hold(gridLock_);
    news = newsRequest_;
    research = researchRequest_;
    newsRequest_ = researchRequest_ = 0;
  }
  if (news) AbandonHttpRequest(news);
  if (research) AbandonHttpRequest(research);
}

void CQuoteDetailsView::StartNewsLists() {
  const StockKey key = GetStockKey();
  const char* services[] = {"JsonNewsList", "JsonResearchReportList"};
  int* ids[] = {&newsRequest_, &researchRequest_};
  for (int i = 0; i < 2; ++i) {
    const std::string base = Service(services[i]);
    if (base.empty()) continue;
    char address[1200];
    std::snprintf(address, sizeof address, "%s?stockcode=%s&marketid=%d", base.c_str(), key.code, key.market);
    // The id is stored under the grids' lock before a fast reply can look
    // for it.
    std::lock_guard<CriticalSection> hold(gridLock_);
    *ids[i] = StartHttpRequest(address, "", 0, MakeProxyString(), &NewsListReplyCallback, this);
  }
}

// HTTP worker thread: takes only the grids' lock, never the page lock.
void CQuoteDetailsView::NewsListReplyCallback(HttpRequest* request, void* user, const char* body, int length,
                                              int status) {
  if (status != 0 || !request || !user) return;
  auto* self = static_cast<CQuoteDetailsView*>(user);
  std::string text;
  const int unpacked = body && length > 0 ? GzipUnpackedSize(reinterpret_cast<const BYTE*>(body), length) : 0;
  if (unpacked > 0) {
    std::string buffer(static_cast<size_t>(unpacked) + 8, '\0');
    GzipInflate(reinterpret_cast<const BYTE*>(body), length, reinterpret_cast<BYTE*>(buffer.data()));
    text.assign(buffer.c_str());
  } else if (body && length > 0) {
    text.assign(body, static_cast<size_t>(length));
  }
  self->FillNewsGrid(text.c_str(), request->id);
}

void CQuoteDetailsView::FillNewsGrid(const char* body, int requestId) {
  std::lock_guard<CriticalSection> hold(gridLock_);
  CGridCtrl* grid = nullptr;
  const char16_t* header = nullptr;
  if (requestId != 0 && requestId == newsRequest_) {
    grid = newsGrid_.get();
    header = u"新闻";
  } else if (requestId != 0 && requestId == researchRequest_) {
    grid = researchGrid_.get();
    header = u"研报";
  }
  if (!grid) return;
  CRect client;
  grid->GetClientRect(&client);
  const int c = (client.Width() - 3) / 3;
  grid->SetRowCount(1);
  grid->SetColumnCount(0);
  JsonNode* root = nullptr;
  if (!body || ParseJsonText(&root, body) != 1 || !root) {
    grid->Invalidate();
    return;
  }
  const JsonNode* data = Member(root, "data");
  int count = 0;
  if (data && data->type == kJsonArray)
    for (const JsonNode* n = data->firstChild; n; n = n->next) ++count;
  if (count > 0) {
    const UINT headFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    grid->SetRowCount(count + 1);
    grid->SetColumnCount(3);
    grid->SetColumnWidth(0, 2 * c);
    grid->SetColumnWidth(1, c);
    grid->SetColumnWidth(2, 0);
    grid->SetCell(0, 0, header, 0xFFFFFF, headFormat, 0);
    grid->SetCell(0, 1, u"时间", 0xFFFFFF, headFormat, 0);
    grid->SetCell(0, 2, u"地址", 0xFFFFFF, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 0);
    int row = 1;
    for (const JsonNode* item = data->firstChild; item; item = item->next, ++row) {
      grid->SetCell(row, 0, Utf8ToWide(MemberText(item, "title")).c_str(), 0xFFFFFF,
                    DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 10);
      grid->SetCell(row, 1, Utf8ToWide(MemberText(item, "pubdate")).c_str(), 0xFFFFFF,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0);
      grid->SetCell(row, 2, Utf8ToWide(MemberText(item, "url")).c_str(), 0xFFFFFF,
                    DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 0);
    }
  }
  FreeJsonTree(&root);
  grid->Invalidate();
}

LRESULT CQuoteDetailsView::OnGridActivate(WPARAM grid, LPARAM row) {
  if (row < 0) return 0;
  CGridCtrl* from = reinterpret_cast<CGridCtrl*>(grid);
  if (from != newsGrid_.get() && from != researchGrid_.get()) return 0;
  WCHAR address[2048] = {};
  from->GetCellText(address, static_cast<int>(row), 2);
  if (address[0]) PostPopHtml(address);
  return 0;
}

void CQuoteDetailsView::PostPopHtml(const std::u16string& address) {
  CWnd* main = AfxGetMainWnd();
  if (!main || address.empty()) return;
  auto* copy = new WCHAR[address.size() + 1];
  std::memcpy(copy, address.c_str(), (address.size() + 1) * sizeof(WCHAR));
  if (!main->PostMessage(WM_POP_HTML, reinterpret_cast<WPARAM>(copy), 0)) delete[] copy;
}

LRESULT CQuoteDetailsView::OpenOrderPage() {
  const std::u16string address = ServiceAddress("PCOrder");
  ShellOpenWebAddress(address.c_str());
  return 1;
}

// ---------------------------------------------------------------------------
// Information-mine lists.

namespace {

// YYYYMMDD of a date text ("YYYY-MM-DD …" or "YYYYMMDD…"): its first eight
// digits, 0 when it has fewer.
int64_t DateOfText(const char* text, size_t size) {
  int64_t value = 0;
  int digits = 0;
  for (size_t i = 0; i < size && text[i] && digits < 8; ++i)
    if (text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + (text[i] - '0');
      ++digits;
    }
  return digits == 8 ? value : 0;
}

std::string DateTitle(int64_t date) {
  char title[16];
  std::snprintf(title, sizeof title, "%04d-%02d-%02d", static_cast<int>(date / 10000),
                static_cast<int>(date / 100 % 100), static_cast<int>(date % 100));
  return title;
}

std::string Bounded(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

}  // namespace

// width wide, flipped left of x near the chart's right edge; top y - 10,
// 20 pixels a row and 20 for the title, at most maxHeight when given.
void CQuoteDetailsView::PlaceMineList(CVexloPopListView& list, CWnd& chart, int x, int y, int width, int rows,
                                      int maxHeight, bool minute) {
  CRect client;
  chart.GetClientRect(&client);
  const int room = client.Width() - x;
  const bool flip = minute ? room < width + 1 : room <= width;
  const int left = flip ? x - width + 10 : x - 10;
  int height = 20 * rows + 20;
  if (maxHeight > 0 && height > maxHeight) height = maxHeight;
  list.MoveWindow(left, y - 10, width, height, FALSE);
  list.ShowWindow(SW_SHOW);
  list.Invalidate();
}

LRESULT CQuoteDetailsView::OnMinuteMinePick(WPARAM point, LPARAM index) {
  const int x = static_cast<int16_t>(LOWORD(point)), y = static_cast<int16_t>(HIWORD(point));
  if (x == 0 && y == 0 && index == 1) {
    mineList2_.ShowWindow(SW_HIDE);
    return 0;
  }
  const std::vector<NewsRecord> mines = minView_.CopyMineList();
  if (index < 0 || index >= static_cast<LPARAM>(mines.size())) return 0;
  const NewsRecord& picked = mines[index];
  std::vector<const NewsRecord*> same;
  for (const NewsRecord& item : mines)
    if (minView_.IsSameMinuteSlot(item.longTime, picked.longTime)) same.push_back(&item);
  if (same.empty()) return 0;
  mineUrls2_.clear();
  for (const NewsRecord* item : same) mineUrls2_.push_back(Bounded(item->url, sizeof item->url));
  mineList2_.SetGridSize(1, static_cast<int>(same.size()));
  for (size_t i = 0; i < same.size(); ++i)
    mineList2_.SetItem(static_cast<int>(i), 0, Bounded(same[i]->title, sizeof same[i]->title).c_str(), 0xDEDEDE,
                       DT_LEFT | DT_VCENTER | DT_SINGLELINE, reinterpret_cast<std::uintptr_t>(mineUrls2_[i].c_str()));
  mineList2_.SetTitle("信息地雷");
  PlaceMineList(mineList2_, minView_, x, y, 400, static_cast<int>(same.size()), 0, true);
  return 0;
}

LRESULT CQuoteDetailsView::OnNewsMarkPick(WPARAM point, LPARAM date) {
  const int x = static_cast<int16_t>(LOWORD(point)), y = static_cast<int16_t>(HIWORD(point));
  if (x == 0 && y == 0 && date == 1) {
    mineList1_.ShowWindow(SW_HIDE);
    return 0;
  }
  bool hit = false;
  {
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    const NewsMark* marks = klineView_.GetNewsMarks();
    for (int i = klineView_.GetNewsMarkCount() - 1; i >= 0 && marks && !hit; --i)
      hit = DateOfText(marks[i].date, sizeof marks[i].date) == date && klineView_.HitTestNewsMark(x, y, i);
  }
  if (!hit) return 0;
  const std::vector<NewsRecord> news = klineView_.CopyNewsList();
  std::vector<const NewsRecord*> rows;
  for (const NewsRecord& item : news)
    if (DateOfText(item.pubTime, sizeof item.pubTime) == date) rows.push_back(&item);
  if (rows.empty()) return 0;
  mineUrls1_.clear();
  for (const NewsRecord* item : rows) mineUrls1_.push_back(Bounded(item->url, sizeof item->url));
  const uint32_t color = rows.size() == 1 ? 0xDEDEDE : 0xFFFFFF;
  mineList1_.SetGridSize(1, static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i)
    mineList1_.SetItem(static_cast<int>(i), 0, Bounded(rows[i]->title, sizeof rows[i]->title).c_str(), color,
                       DT_LEFT | DT_VCENTER | DT_SINGLELINE, reinterpret_cast<std::uintptr_t>(mineUrls1_[i].c_str()));
  mineList1_.SetTitle(DateTitle(date).c_str());
  klineView_.SetMarkSource(1);
  PlaceMineList(mineList1_, klineView_, x, y, 400, static_cast<int>(rows.size()), 300, false);
  return 0;
}

LRESULT CQuoteDetailsView::OnRatingMarkPick(WPARAM point, LPARAM date) {
  const int x = static_cast<int16_t>(LOWORD(point)), y = static_cast<int16_t>(HIWORD(point));
  if (x == 0 && y == 0 && date == 1) {
    mineList1_.ShowWindow(SW_HIDE);
    return 0;
  }
  int kind = -1;
  {
    std::lock_guard<CriticalSection> view(klineView_.DataLock());
    const RatingMark* marks = klineView_.GetRatingMarks();
    const int count = klineView_.Chart()->ratingCount;
    for (int i = count - 1; i >= 0 && marks && kind < 0; --i)
      if (DateOfText(marks[i].date, sizeof marks[i].date) == date && klineView_.HitTestRatingMark(x, y, i))
        kind = marks[i].kind;
  }
  if (kind < 0 || !relData_.ratingRows) return 0;
  std::vector<const KLineRatingRow*> rows;
  for (int i = relData_.ratingCount - 1; i >= 0; --i) {
    const KLineRatingRow& r = relData_.ratingRows[i];
    if (DateOfText(r.pubDate, sizeof r.pubDate) == date && r.ratingSide == kind) rows.push_back(&r);
  }
  if (rows.empty()) return 0;
  const uint32_t color = rows.size() == 1 ? 0xDEDEDE : 0xFFFFFF;
  mineUrls1_.clear();
  for (const KLineRatingRow* r : rows) mineUrls1_.push_back(Bounded(r->url, sizeof r->url));
  mineList1_.SetGridSize(2, static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto user = reinterpret_cast<std::uintptr_t>(mineUrls1_[i].c_str());
    mineList1_.SetItem(static_cast<int>(i), 0, Bounded(rows[i]->comName, sizeof rows[i]->comName).c_str(), color,
                       DT_LEFT | DT_VCENTER | DT_SINGLELINE, user);
    mineList1_.SetItem(static_cast<int>(i), 1,
                       Bounded(rows[i]->invRatingOriginal, sizeof rows[i]->invRatingOriginal).c_str(), 0xFF0000,
                       DT_RIGHT | DT_VCENTER | DT_SINGLELINE, user);
  }
  mineList1_.SetTitle(DateTitle(date).c_str());
  klineView_.SetMarkSource(0);
  PlaceMineList(mineList1_, klineView_, x, y, 300, static_cast<int>(rows.size()), 0, false);
  return 0;
}

LRESULT CQuoteDetailsView::OnPopListDblClk(WPARAM list, LPARAM row) {
  if (row < 0 || list != reinterpret_cast<WPARAM>(&mineList2_) || !minView_.IsWindowVisible()) return 0;
  if (row >= static_cast<LPARAM>(mineUrls2_.size())) return 0;
  const char* address = mineList2_.GetItemData(static_cast<int>(row), 0);
  if (address && *address) PostPopHtml(Utf8ToWide(address));
  return 0;
}
