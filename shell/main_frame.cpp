// The main frame: construction, creation, layout, window behaviour, timers
// and the rolling texts, tabs and pages.
#include "shell/main_frame.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/config_store.h"
#include "foundation/debug_trace.h"
#include "foundation/http_request.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "marketdata/code_dictionary.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_utf.h"
#include "shell/frame_files.h"
#include "shell/frame_messages.h"

const WCHAR* const kMainFrameTitle = u"Orvenna证券VIP终端";

namespace {

constexpr int kNavHeight = 40;
constexpr int kTabBarTop = 40;
constexpr int kTabBarHeight = 32;
constexpr int kPageTop = 71;
constexpr int kStatusHeight = 20;
constexpr int kWizardSize = 240;
constexpr UINT_PTR kMarqueeTimer = 1;
constexpr UINT kMarqueeInterval = 300000;
constexpr UINT_PTR kHomeTimer = 6000;
constexpr UINT kMainViewId = 0xE900;
constexpr COLORREF kBorderColor = RGB(32, 71, 139);

// The seven built-in titles in the frame's order.
const char* const kBuiltInTitles[] = {"行情", "战术看盘", "板块监测", "首页", "大盘分析", "股票池", "短线阻击"};

std::u16string Wide(const std::string& text) { return Utf8ToWide(text); }

}  // namespace

std::string CutTabTitle(const char* title) {
  if (title == nullptr) return std::string();
  size_t length = strnlen(title, 64);
  if (length <= 63) return std::string(title, length);
  length = 63;
  // Back off to the start of a character.
  while (length > 0 && (static_cast<unsigned char>(title[length]) & 0xC0) == 0x80) --length;
  return std::string(title, length);
}

bool IsMarketTitle(const char* title) {
  if (title == nullptr) return false;
  for (const char* t : kBuiltInTitles) {
    if (std::strcmp(t, "首页") != 0 && std::strcmp(t, title) == 0) return true;
  }
  return false;
}

bool IsBuiltInTitle(const char* title) {
  if (title == nullptr) return false;
  return std::any_of(std::begin(kBuiltInTitles), std::end(kBuiltInTitles),
                     [&](const char* t) { return std::strcmp(t, title) == 0; });
}

// ---------------------------------------------------------------------------
// Construction.

CMainFrame::CMainFrame(FrameFactories factories) : factories_(std::move(factories)) {
  OpenDatabase();
  if (db_ == nullptr) return;
  tradeView_ = factories_.tradeView();
  quoteView_ = factories_.quoteView();
  notice_ = factories_.popMsgDialog();
  LoadIndexHelp();
  tabTitlesMade_ = true;
  popupSize_ = RECT{0, 0, 800, 600};
}

CMainFrame::~CMainFrame() {
  std::vector<int> running;
  {
    std::lock_guard<std::mutex> guard(requestLock_);
    running.swap(requests_);
  }
  for (int id : running) AbandonHttpRequest(id);
  if (GetSafeHwnd() != nullptr) DestroyWindow();
  if (tabTitlesMade_) FreeIndexHelp();
  if (db_ != nullptr) {
    if (GetDictionaryDatabase() == db_) SetDictionaryDatabase(nullptr);
    sqlite3_close(db_);
  }
}

// The database of the data root, copied from the program folder's res\ when
// it is missing there (the start-up's version check deletes it).
void CMainFrame::OpenDatabase() {
  const std::string path = DataRoot() + "res/pellune.db";
  CopyFileIfMissing((InstallRoot() + "res/pellune.db").c_str(), path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    dbError_ = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    DebugPrintf("open sql error:%s", dbError_.c_str());
    sqlite3_close(db);
    return;
  }
  db_ = db;
  SetDictionaryDatabase(db_);
}

void CMainFrame::SetCredentials(const char* userId, const char* sessionId) {
  if (quoteView_) quoteView_->SetCredentials(userId, sessionId);
}

void CMainFrame::SetAccount(const char* account, const char* password) {
  std::snprintf(account_, sizeof account_, "%s", account ? account : "");
  std::snprintf(password_, sizeof password_, "%s", password ? password : "");
}

void CMainFrame::SetUserName(const WCHAR* userName) {
  userName_ = userName ? userName : u"";
  if (quoteView_) quoteView_->SetUserName(userName_.c_str());
  if (notice_) notice_->SetUserName(WideToUtf8(userName_).substr(0, 511).c_str());
}

BOOL CMainFrame::CreateFrame() {
  if (db_ == nullptr) {
    const std::u16string text = u"数据库打开失败：" + Wide(dbError_);
    MessageBoxW(nullptr, text.c_str(), kMainFrameTitle, MB_OK);
    return FALSE;
  }
  CREATESTRUCTW cs{};
  cs.style = WS_POPUP | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
  cs.cx = 1024;
  cs.cy = 768;
  if (!PreCreateWindow(cs)) return FALSE;
  return CreateEx(cs.dwExStyle, nullptr, kMainFrameTitle, cs.style, CRect(0, 0, cs.cx, cs.cy), nullptr, 0);
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!CWnd::PreCreateWindow(cs)) return FALSE;
  cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
  quoteView_->ConnectEngine();
  return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  CRect client;
  GetClientRect(&client);
  mainView_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(), this, kMainViewId);
  if (!status_.Create(CRect(), this, 0, u"res\\status.png", u"res\\statusgap.png")) return -1;
  quoteView_->SetStatusBar(&status_);
  quoteView_->Window()->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(), &mainView_, 0);
  tradeView_->Window()->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(), &mainView_, 0);

  home_ = factories_.briselHelper();
  home_->SetOwner(GetSafeHwnd());
  home_->SetHost(&mainView_);
  home_->Window()->Create(nullptr, u"", WS_CHILD, CRect(), this, 0);
  home_->StartBrowser(u"about:blank", &mainView_, CRect());

  nav_.Create(CRect(0, 0, client.Width(), kNavHeight), &mainView_, 0, u"res\\bar.png", u"res\\logo.png",
              u"res\\gap.png");
  nav_.SetMenuImages(u"res\\barbtn.png", u"res\\barbtn.png");
  nav_.SetNavNormalImages(u"res\\BackUp.png", u"res\\ForwordUp.png");
  nav_.SetNavHotImages(u"res\\BackDown.png", u"res\\ForwordDown.png");
  nav_.SetCaptionNormalImages(u"res\\MinUp.png", u"res\\MaxUp.png", u"res\\CloseUp.png");
  nav_.SetCaptionHotImages(u"res\\MinDown.png", u"res\\MaxDown.png", u"res\\CloseDown.png");
  nav_.SetMenuTextColor(0xFFFFFF);
  nav_.SetHandCursor(TRUE);

  tabBar_.LoadSkin("res\\theme.ini", "tabbar");
  if (!tabBar_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(), &mainView_, 0)) return -1;
  SetWindowText(kMainFrameTitle);
  quoteView_->Window()->ShowWindow(SW_HIDE);
  tradeView_->Window()->ShowWindow(SW_HIDE);
  BuildMenus();
  marqueeTimer_ = SetTimer(kMarqueeTimer, kMarqueeInterval, nullptr);
  OnTimer(marqueeTimer_);
  tabBar_.AddTab(reinterpret_cast<std::uintptr_t>(home_.get()), "首页");
  if (notice_->CreateNotice(this)) notice_->Window()->ShowWindow(SW_HIDE);
  notice_->CheckMessages();
  return 0;
}

// ---------------------------------------------------------------------------
// Layout and window behaviour.

void CMainFrame::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (cx == 0 || cy == 0) return;
  LayOut();
}

// Quote view and home browser for the page area of width x height (height:
// client height less the status bar), with or without the trade panel.
void CMainFrame::PlaceQuoteView(int width, int height, bool tradeShown, int tradeHeight) {
  if (tradeShown) {
    const int t = height - tradeHeight - 72;
    quoteView_->Window()->MoveWindow(0, kPageTop, width, t + 1, TRUE);
    home_->MoveBrowser(CRect(0, kPageTop, width, 72 + t));
    return;
  }
  quoteView_->Window()->MoveWindow(0, kPageTop, width, height - kPageTop, TRUE);
  home_->MoveBrowser(CRect(0, kPageTop, width, height));
}

void CMainFrame::LayOut() {
  if (mainView_.GetSafeHwnd() == nullptr || tabBar_.GetSafeHwnd() == nullptr) return;
  CRect client;
  GetClientRect(&client);
  const int w = client.Width();
  const int h = client.Height() - kStatusHeight;
  mainView_.MoveWindow(0, 0, w, h, TRUE);
  nav_.MoveWindow(0, 0, w, kNavHeight, TRUE);
  tabBar_.MoveWindow(0, kTabBarTop, w, kTabBarHeight, TRUE);

  const bool tradeShown = tradeView_->IsTradeShown();
  int tradeHeight = 0;
  if (tradeShown) {
    tradeHeight = std::min(tradeView_->GetPanelHeight(), h - 72);
    tradeView_->SetPanelHeight(tradeHeight);
    const int t = h - 72 - tradeHeight;
    tradeView_->Window()->MoveWindow(0, kPageTop + t, w, tradeHeight, TRUE);
  }
  PlaceQuoteView(w, h, tradeShown, tradeHeight);
  for (const auto& record : tabs_) {
    switch (record->kind) {
      case PageKind::kMarket:
      case PageKind::kHome: PlaceQuoteView(w, h, tradeShown, tradeHeight); break;
      case PageKind::kWeb: record->web->MoveBrowser(CRect(0, kPageTop, w, h)); break;
    }
  }
  status_.MoveWindow(0, client.Height() - kStatusHeight, w, kStatusHeight, TRUE);
  if (wizard_ && wizard_->Window()->GetSafeHwnd() != nullptr)
    wizard_->Window()->MoveWindow(w - kWizardSize, h - kWizardSize, kWizardSize, kWizardSize, TRUE);
  if (IsZoomed())
    nav_.SetCaptionNormalImages(u"res\\MinUp.png", u"res\\RestoreUp.png", u"res\\CloseUp.png");
  else
    nav_.SetCaptionNormalImages(u"res\\MinUp.png", u"res\\MaxUp.png", u"res\\CloseUp.png");
  if (IsZoomed())
    nav_.SetCaptionHotImages(u"res\\MinDown.png", u"res\\RestoreDown.png", u"res\\CloseDown.png");
  else
    nav_.SetCaptionHotImages(u"res\\MinDown.png", u"res\\MaxDown.png", u"res\\CloseDown.png");
}

void CMainFrame::OnRelayout() {
  CRect client;
  GetClientRect(&client);
  const int h = client.Height() - kStatusHeight;
  PlaceQuoteView(client.Width(), h, tradeView_->IsTradeShown(), tradeView_->GetPanelHeight());
}

LRESULT CMainFrame::OnBrowserReady(IBriselHelper* helper) {
  if (helper == nullptr) return 1;
  CRect client;
  GetClientRect(&client);
  helper->MoveBrowser(CRect(0, kPageTop, client.Width(), client.Height() - kStatusHeight));
  return 1;
}

void CMainFrame::OnGetMinMaxInfo(MINMAXINFO* info) {
  CWnd::OnGetMinMaxInfo(info);
  RECT work{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    info->ptMaxPosition = POINT{work.left, work.top};
    info->ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
  }
  info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, 640);
  info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, 480);
}

void CMainFrame::OnNcPaint() {
  CRect client;
  GetClientRect(&client);
  CDC* dc = GetWindowDC();
  if (dc == nullptr) return;
  HPEN pen = CreatePen(PS_SOLID, 5, kBorderColor);
  HGDIOBJ oldPen = SelectObject(dc->GetSafeHdc(), pen);
  HGDIOBJ oldBrush = SelectObject(dc->GetSafeHdc(), GetStockObject(HOLLOW_BRUSH));
  Rectangle(dc->GetSafeHdc(), 0, 0, client.Width() + 6, client.Height() + 6);
  SelectObject(dc->GetSafeHdc(), oldBrush);
  SelectObject(dc->GetSafeHdc(), oldPen);
  DeleteObject(pen);
  ReleaseDC(dc);
}

void CMainFrame::OnClose() { PostQuitMessage(0); }

void CMainFrame::OnSetFocus(CWnd*) {
  if (quoteView_ && quoteView_->Window()->GetSafeHwnd() != nullptr) quoteView_->Window()->SetFocus();
}

BOOL CMainFrame::OnCmdMsg(UINT id, int code) {
  if (quoteView_ && quoteView_->Window()->OnCmdMsg(id, code)) return TRUE;
  if (tradeView_ && tradeView_->Window()->OnCmdMsg(id, code)) return TRUE;
  return CWnd::OnCmdMsg(id, code);
}

// ---------------------------------------------------------------------------
// Timers and the rolling texts.

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id == kHomeTimer) {
    KillTimer(kHomeTimer);
    ShowHomePage();
    return;
  }
  if (id != marqueeTimer_ || id == 0) return CWnd::OnTimer(id);
  StartRequest("PCMarquee", 1, std::string(), &CMainFrame::OnMarqueeReply);
}

void CMainFrame::StartRequest(const char* service, int level2, const std::string& body,
                              void (*callback)(HttpRequest*, void*, const char*, int, int)) {
  char* address = ChooseServer(service, level2);
  const int id = StartHttpRequest(address ? address : "", body.empty() ? nullptr : body.data(),
                                  static_cast<int>(body.size()), MakeProxyString(), callback, this);
  std::free(address);
  if (id <= 0) return;
  std::lock_guard<std::mutex> guard(requestLock_);
  requests_.push_back(id);
}

void CMainFrame::OnMarqueeReply(HttpRequest*, void* user, const char* body, int length, int status) {
  if (status != kHttpCompleted) return;
  static_cast<CMainFrame*>(user)->ApplyMarqueeReply(body, length);
}

void CMainFrame::ApplyMarqueeReply(const char* body, int length) {
  if (body == nullptr || length <= 0) return;
  const std::string text(body, static_cast<size_t>(length));
  std::vector<MarqueeItem> items;
  bool hasMarquee = false;
  if (!ReadMarqueeReply(text.c_str(), &items, &hasMarquee)) return;
  WriteDataFile("res\\rolling.json", text.data(), static_cast<int>(text.size()));
  if (!hasMarquee) return;
  status_.ClearMarquee();
  for (const MarqueeItem& item : items) status_.AddMarqueeText(Wide(item.title).c_str());
}

void CMainFrame::OnStatusDblClk(WPARAM part, LPARAM index) {
  if (part == 0) return RunCodeCommand("03");
  if (part == 1) return RunCodeCommand("04");
  if (part != 2) return;
  FileBlob* blob = ReadDataFile("res\\rolling.json");
  if (blob == nullptr) return;
  std::vector<MarqueeItem> items;
  bool hasMarquee = false;
  const bool accepted = ReadMarqueeReply(blob->data, &items, &hasMarquee);
  FreeFileBlob(blob);
  if (!accepted || index < 0 || static_cast<size_t>(index) >= items.size()) return;
  const MarqueeItem& item = items[static_cast<size_t>(index)];
  const std::string info = std::string("撰写作者") + ":" + item.author + "&nbsp;&nbsp;&nbsp;&nbsp;" + "发布日期" + ":" +
                           item.date;
  ShowMarqueeItem(item.url, item.title, info, item.content);
}

void CMainFrame::ShowMarqueeItem(const std::string& url, const std::string& title, const std::string& info,
                                 const std::string& content) {
  if (!url.empty()) return OnPopHtml(Wide(url).c_str(), nullptr);
  const std::string page = InstallRoot() + "res\\default_html\\pop.html";
  const std::string news = "<h1>" + title + "</h1><h2>" + info + "</h2><h3>" + content + "</h3>";
  OnPopHtml(Wide(page).c_str(), Wide(news).c_str());
}

// ---------------------------------------------------------------------------
// Tabs and pages.

std::u16string CMainFrame::CookieList() const { return u"username=" + userName_ + u"|"; }

CMainFrame::TabRecord* CMainFrame::FindTab(const char* title) const {
  const std::string cut = CutTabTitle(title);
  for (const auto& record : tabs_) {
    if (cut == record->title) return record.get();
  }
  return nullptr;
}

void CMainFrame::OpenTab(std::uintptr_t page, const char* title) { tabBar_.AddTab(page, title); }

void CMainFrame::OpenQuoteTab(const char* title) {
  OpenTab(reinterpret_cast<std::uintptr_t>(quoteView_.get()), title);
}

LRESULT CMainFrame::OnOpenTab(const char* address, const char* title) {
  const std::string cut = CutTabTitle(title);
  TabRecord* record = FindTab(cut.c_str());
  if (record == nullptr) {
    auto made = std::make_unique<TabRecord>();
    if (IsMarketTitle(cut.c_str())) {
      made->kind = PageKind::kMarket;
    } else if (cut == "首页") {
      made->kind = PageKind::kHome;
    } else {
      made->kind = PageKind::kWeb;
      made->web = factories_.briselHelper();
      made->web->SetHost(&mainView_);
      made->web->SetOwner(GetSafeHwnd());
      made->web->Window()->Create(nullptr, u"", WS_CHILD, CRect(), this, 0);
      if (address != nullptr && address[0] != 0) {
        CRect client;
        GetClientRect(&client);
        made->web->StartBrowserSized(u"about:blank", &mainView_, client.Width(), client.Height());
        made->web->SetCookies(CookieList().c_str());
        made->web->Navigate(Utf8ToWide(address).c_str());
      }
    }
    std::memcpy(made->title, cut.data(), cut.size());
    record = made.get();
    tabs_.push_back(std::move(made));
  }
  HideAllPages();
  record->selected = true;
  ShowTabPage(*record);
  return 0;
}

void CMainFrame::HideAllPages() {
  for (const auto& record : tabs_) {
    record->selected = false;
    switch (record->kind) {
      case PageKind::kMarket:
        quoteView_->Window()->ShowWindow(SW_HIDE);
        quoteView_->CancelAllRequests();
        break;
      case PageKind::kHome: home_->ShowBrowser(SW_HIDE); break;
      case PageKind::kWeb: record->web->ShowBrowser(SW_HIDE); break;
    }
  }
}

void CMainFrame::ShowTabPage(TabRecord& record) {
  const std::string title = record.title;
  if (title == "行情") {
    quoteView_->ShowQuoteTableReload(1);
  } else if (title == "战术看盘") {
    quoteView_->ShowTacticalBoard(1);
  } else if (title == "短线阻击") {
    quoteView_->ShowShortTermBoard(1);
  } else if (title == "板块监测") {
    quoteView_->ShowBlockMonitor(1);
  } else if (title == "首页") {
    return ShowHomePage();
  } else if (title == "大盘分析") {
    quoteView_->ShowMarketAnalysis();
  } else if (title == "股票池") {
    quoteView_->ShowPoolPage(1);
  } else {
    record.web->ShowBrowser(SW_SHOW);
    record.web->Window()->SetFocus();
    return;
  }
  ShowQuoteMain(0);
}

void CMainFrame::ShowQuoteMain(int reload) {
  home_->ShowBrowser(SW_HIDE);
  quoteView_->Window()->ShowWindow(SW_SHOW);
  tabBar_.Invalidate(FALSE);
  if (reload) quoteView_->ShowQuoteTableReload(1);
}

void CMainFrame::ShowHomePage() {
  home_->ShowBrowser(SW_SHOW);
  home_->SetCookies(CookieList().c_str());
  if (!pendingHome_.empty()) {
    home_->Navigate(pendingHome_.c_str());
    pendingHome_.clear();
  }
  quoteView_->CancelAllRequests();
  quoteView_->Window()->ShowWindow(SW_HIDE);
  tabBar_.Invalidate(FALSE);
}

LRESULT CMainFrame::OnCloseTab(const char* title) {
  const std::string cut = CutTabTitle(title);
  auto it = std::find_if(tabs_.begin(), tabs_.end(), [&](const auto& r) { return cut == r->title; });
  if (it == tabs_.end()) return 0;
  TabRecord& record = **it;
  switch (record.kind) {
    case PageKind::kMarket:
      quoteView_->Window()->ShowWindow(SW_HIDE);
      quoteView_->CancelAllRequests();
      break;
    case PageKind::kHome: home_->ShowBrowser(SW_HIDE); break;
    case PageKind::kWeb:
      record.web->TerminateBrowser();
      record.web->Window()->PostMessage(WM_CLOSE);
      closedHelpers_.push_back(std::move(record.web));
      break;
  }
  tabs_.erase(it);
  return 0;
}

// ---------------------------------------------------------------------------
// Messages.

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wParam) == ID_CONNECT_ENGINE && lParam == 0) {
        quoteView_->ConnectEngine();
        return 0;
      }
      break;
    case WM_MENU_COMMAND: OnMenuCommand(static_cast<UINT>(wParam)); return 1;
    case WM_NAV_BACK:
    case WM_NAV_FORWARD:
    case WM_LIST_COMMAND_NOTICE: return 1;
    case WM_STATUS_DBLCLK: OnStatusDblClk(wParam, lParam); return 1;
    case WM_VIEW_SWITCH:
      if (lParam == 0) ShowHomePage();
      if (lParam == 1) ShowQuoteMain(1);
      return 1;
    case WM_KEY_COMMAND: OnKeyCommand(static_cast<int>(lParam)); return 0;
    case WM_FOCUS_MAIN_VIEW: mainView_.SetFocus(); return 1;
    case WM_RELAYOUT_MAIN: OnRelayout(); return 0;
    case WM_QUICK_TRADE: OnQuickTrade(wParam); return 0;
    case WM_BROWSER_READY: return OnBrowserReady(reinterpret_cast<IBriselHelper*>(wParam));
    case WM_SELECT_SITE: OnMenuCommand(kCmdSelectSite); return 1;
    case WM_SHOW_BLOCK_STOCKS:
      OpenQuoteTab();
      quoteView_->ShowBlockStocks(static_cast<int64_t>(lParam), static_cast<int>(wParam));
      return 1;
    case WM_SAVE_OWN_STOCKS: {
      // Operations 1 and 2 carry the message's copy of the key; others no key.
      std::unique_ptr<StockKey> key(wParam == 1 || wParam == 2 ? reinterpret_cast<StockKey*>(lParam) : nullptr);
      SaveOwnStocks(wParam, key.get());
      return 1;
    }
    case WM_GET_OWN_STOCKS: GetOwnStocks(); return 1;
    case WM_RELOAD_QUOTE_TABLE:
      if (!home_->Window()->IsWindowVisible() && quoteView_->IsQuoteTableVisible())
        quoteView_->ShowQuoteTableReload(1);
      return 1;
    case WM_OPEN_ANALYSIS_TAB: OpenQuoteTab("大盘分析"); return 1;
    case WM_FIND_STOCK_CODE: {
      std::unique_ptr<StockKey> key(reinterpret_cast<StockKey*>(wParam));  // the message's copy
      if (key) OnFindStockCode(*key);
      return 1;
    }
    case WM_BUILD_MENUS: return BuildMenus();
    case WM_OPEN_HOME: {
      std::vector<MenuEntry> entries;
      LoadMenuFile(&entries);
      for (const MenuEntry& e : entries) {
        if (e.url.find("goto::home") == std::string::npos) continue;
        ShowHomePage();
        break;
      }
      return 1;
    }
    case WM_POP_HTML:
      // Sent by the pages with texts lent for the call.
      OnPopHtml(reinterpret_cast<const WCHAR*>(wParam), reinterpret_cast<const WCHAR*>(lParam));
      return 1;
    case WM_OPEN_TAB: return OnOpenTab(reinterpret_cast<const char*>(wParam), reinterpret_cast<const char*>(lParam));
    case WM_CLOSE_TAB: return OnCloseTab(reinterpret_cast<const char*>(lParam));
    case WM_WEB_COMMAND: {
      std::unique_ptr<char[]> text(reinterpret_cast<char*>(wParam));  // the message's copy
      OnWebCommand(text.get(), reinterpret_cast<HWND>(lParam));
      return 1;
    }
    case WM_SHOW_STOCK: {
      std::unique_ptr<StockKey> key(reinterpret_cast<StockKey*>(lParam));  // the message's copy
      if (key) OnShowStock(wParam, *key);
      return 0;
    }
    case WM_SET_STOCK_LIST:
    case WM_SHOW_INDEX_LIST: quoteView_->Window()->PostMessage(msg, wParam, lParam); return 0;
    default: break;
  }
  return CWnd::WindowProc(msg, wParam, lParam);
}
