// The main frame: menus, "goto::" commands, keys, command codes, stocks and
// the watch-list synchronisation.
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "foundation/config_store.h"
#include "foundation/http_request.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "marketdata/own_stocks.h"
#include "marketdata/quote_engine.h"
#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_process.h"
#include "platform/kernel/kernel_utf.h"
#include "shell/frame_files.h"
#include "shell/frame_messages.h"
#include "shell/about_box.h"
#include "shell/goto_command.h"
#include "shell/main_frame.h"
#include "shell/own_stock_sync.h"

namespace {

constexpr int kAddressBytes = 1024;
constexpr int kPopQuoteWidth = 310;
constexpr int kPopQuoteHeight = 600;

// The built-in title of a quote form, for a menu entry whose name is not one.
const char* QuoteFormTitle(const std::string& form) {
  if (form == "main") return "行情";
  if (form == "tactic") return "战术看盘";
  if (form == "allmonitor") return "板块监测";
  if (form == "catchshort") return "短线阻击";
  if (form == "pzpick") return "股票池";
  if (form == "analyze") return "大盘分析";
  return nullptr;
}

bool AllDigits(const char* text) {
  if (text == nullptr || text[0] == 0) return false;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

void ShowNotice(HWND owner, const char16_t* text) { MessageBoxW(owner, text, u"提示", MB_OK); }

}  // namespace

// ---------------------------------------------------------------------------
// Menus.

LRESULT CMainFrame::BuildMenus() {
  bool changePassword = false;
  std::vector<MenuEntry> entries;
  if (LoadMenuFile(&entries)) {
    for (const MenuEntry& e : entries) {
      const std::u16string name = Utf8ToWide(e.name);
      if (e.name == "修改密码") {
        changePassword = true;
        continue;
      }
      if (e.code.size() == 6 && AllDigits(e.code.c_str())) {
        nav_.AddTopMenu(static_cast<UINT>(std::atoi(e.code.c_str())), name.c_str());
        const size_t at = e.url.find("goto::home::");
        if (at != std::string::npos && e.url.size() > 12) pendingHome_ = Utf8ToWide(e.url.substr(12));
      } else if (e.code.size() == 9 && AllDigits(e.code.c_str())) {
        nav_.AddMenuItem(static_cast<UINT>(std::atoi(e.code.substr(0, 6).c_str())),
                         static_cast<UINT>(std::atoi(e.code.c_str())), name.c_str(),
                         e.url.find("goto::quote::") != std::string::npos);
      }
    }
    nav_.Relayout(TRUE);
  }
  nav_.AddTopMenu(kCmdSystemMenu, u"系统设置");
  nav_.AddMenuItem(kCmdSystemMenu, kCmdRepairDictionary, u"数据修正", FALSE);
  nav_.AddMenuItem(kCmdSystemMenu, kCmdImportWatchList, u"自选股导入", FALSE);
  if (changePassword) nav_.AddMenuItem(kCmdSystemMenu, kCmdChangePassword, u"修改密码", FALSE);
  nav_.AddMenuItem(kCmdSystemMenu, kCmdVersion, u"版本信息", FALSE);
  nav_.AddMenuItem(kCmdSystemMenu, kCmdExit, u"退出", FALSE);
  return 1;
}

// ---------------------------------------------------------------------------
// Commands.

void CMainFrame::OnMenuCommand(UINT id) {
  switch (id) {
    case kCmdSelectSite:
      if (RunSelectSiteDialog() == IDOK) {
        // The dialog's issue hands the new credentials over here.
        quoteView_->DisconnectEngine();
        quoteView_->ConnectEngine();
      }
      return;
    case kCmdRepairDictionary:
      if (MessageBoxW(GetSafeHwnd(), u"是否修复数据字典?", u"提示信息", MB_OKCANCEL) == IDOK) RunDataRepairDialog();
      return;
    case kCmdImportWatchList: RunOwnImportDialog(); return;
    case kCmdDownloadDayBars: {
      bool deleted = false;
      RunDownloadDialog(&deleted);
      if (deleted) quoteView_->RefreshStockPage();
      return;
    }
    case kCmdOrder:
    case kCmdTutorials: {
      char* address = ChooseServer(id == kCmdOrder ? "PCOrder" : "PCTutorials", 0);
      OpenTab(reinterpret_cast<std::uintptr_t>(address ? address : ""), id == kCmdOrder ? "订购续费" : "产品教程");
      std::free(address);
      return;
    }
    case kCmdAbout: {
      char* service = ChooseServer("PCAbout", 0);
      const std::vector<std::string> parts = SplitGotoText(std::string("goto::") + (service ? service : ""));
      std::free(service);
      char address[kAddressBytes] = {};
      if (parts.size() > 1) std::snprintf(address, sizeof address, "%s", parts[1].c_str());
      if (parts.size() > 2) {
        std::string names = parts[2];
        AppendUrlParams(address, sizeof address, names.data());
      }
      OnPopHtml(Utf8ToWide(address).c_str(), nullptr);
      return;
    }
    case kCmdVersion: RunAboutDialog(); return;
    case kCmdExit:
      if (MessageBoxW(GetSafeHwnd(), u"是否退出系统？", u"提示", MB_OKCANCEL) == IDOK) SendMessage(WM_CLOSE);
      return;
    case kCmdChangePassword: {
      char* address = ChooseServer("PCChangePwd", 0);
      popupSize_ = RECT{0, 0, 350, 250};
      OnPopHtml(Utf8ToWide(address ? address : "").c_str(), nullptr);
      popupSize_ = RECT{0, 0, 800, 600};
      std::free(address);
      return;
    }
    default: break;
  }
  if (id >= kCmdFirstFixed && id <= kCmdLastFixed) return;
  std::vector<MenuEntry> entries;
  if (!LoadMenuFile(&entries)) return;
  for (const MenuEntry& e : entries) {
    if (!AllDigits(e.code.c_str()) || e.code.size() > 18 || std::strtoll(e.code.c_str(), nullptr, 10) != id) continue;
    RunMenuUrl(e.url, e.name);
    return;
  }
}

void CMainFrame::RunMenuUrl(const std::string& url, const std::string& name) {
  const std::vector<std::string> parts = SplitGotoText(url);
  if (parts.size() < 2) return;
  const std::string& area = parts[1];
  if (area == "home") return OpenTab(reinterpret_cast<std::uintptr_t>(home_.get()), name.c_str());
  if (area == "info") {
    char address[kAddressBytes] = {};
    if (parts.size() > 2) std::snprintf(address, sizeof address, "%s", parts[2].c_str());
    if (parts.size() > 3) {
      std::string names = parts[3];
      AppendUrlParams(address, sizeof address, names.data());
    }
    return OpenTab(reinterpret_cast<std::uintptr_t>(address), name.c_str());
  }
  if (area == "quote") {
    if (parts.size() < 3) return;
    const char* builtIn = QuoteFormTitle(parts[2]);
    if (builtIn == nullptr) return;
    const std::string cut = CutTabTitle(name.c_str());
    const char* title = IsMarketTitle(cut.c_str()) ? cut.c_str() : builtIn;
    if (parts[2] == "main") ShowQuoteMain(1);
    OpenQuoteTab(title);
    if (parts[2] == "analyze") {
      quoteView_->ClearPendingIndexCode();
      quoteView_->Window()->PostMessage(WM_SHOW_INDEX_LIST, 0, 0);
    }
    return;
  }
  if (area == "trade") {
    if (tradeView_->IsTradeShown())
      tradeView_->HideTrade();
    else
      StartTradeProgram();
  }
}

void CMainFrame::OnWebCommand(const char* text, HWND window) {
  if (text == nullptr) return;
  const std::vector<std::string> parts = SplitGotoText(text);
  if (parts.size() < 2) return;
  const std::string& area = parts[1];
  if (area == "quote" && parts.size() > 2) {
    GotoStock stock;
    if (!ParseGotoStock(parts[2], &stock)) return;
    webKey_ = StockKey{};
    std::memcpy(webKey_.code, stock.code.data(), stock.code.size());
    webKey_.market = static_cast<uint8_t>(stock.market);
    if (stock.verb == "min" || stock.verb == "kline") {
      if (!quoteView_->Window()->IsWindowVisible()) ShowQuoteMain(0);
      OnShowStock(stock.verb == "min" ? 1 : 2, webKey_);
      return;
    }
    if (stock.verb != "relation") return;
    CWnd* owner = window != nullptr ? CWnd::FromHandle(window) : nullptr;
    CRect rc;
    if (owner != nullptr) {
      CRect w;
      owner->GetWindowRect(&w);
      rc = CRect(w.right, w.top, w.right + kPopQuoteWidth, w.top + w.Height());
    } else {
      const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - kPopQuoteWidth) / 2;
      const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - kPopQuoteHeight) / 2;
      rc = CRect(x, y, x + kPopQuoteWidth, y + kPopQuoteHeight);
    }
    ShowPopQuote(webKey_, rc, owner);
    return;
  }
  if (area == "trade" && parts.size() > 2) {
    GotoStock stock;
    if (!ParseGotoStock(parts[2], &stock) || (stock.verb != "buy" && stock.verb != "sell")) return;
    const std::u16string notice = u"买卖没有与实际系统连接，真实环境会输入买卖数目然后会发送委托给柜台。\r\n股票代码：" +
                                  Utf8ToWide(stock.code);
    MessageBoxW(GetSafeHwnd(), notice.c_str(), u"提示", MB_OK);
    return;
  }
  if (area == "popwindow" && parts.size() > 4) OpenNamedPopup(parts[2].c_str(), parts[3].c_str(), parts[4].c_str());
}

void CMainFrame::StartTradeProgram() {
  const std::string path = InstallRoot() + "qarn_tmrq/Qarn";
  const std::u16string file = Utf8ToWide(path);
  SHELLEXECUTEINFOW info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = file.c_str();
  info.lpParameters = u"";
  info.nShow = SW_SHOW;
  if (FileExists(path.c_str()) && ShellExecuteExW(&info)) return;
  MessageBoxW(nullptr, u"未找到交易模块！", u"调用交易程序失败", MB_OK);
}

void CMainFrame::ShowPopQuote(const StockKey& key, const RECT& rect, CWnd* window) {
  popQuote_.reset();
  popQuote_ = factories_.popQuote();
  popQuote_->SetEngine(quoteView_->Engine());
  popQuote_->CreatePopQuote(this);
  popQuote_->Window()->MoveWindow(&rect, TRUE);
  if (window != nullptr && window->GetSafeHwnd() != nullptr) {
    // The page and the quote beside it stay centred together.
    CRect page;
    window->GetWindowRect(&page);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - page.Width()) / 2 - kPopQuoteWidth / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - page.Height()) / 2;
    window->MoveWindow(x, y, page.Width(), page.Height(), TRUE);
    popQuote_->Window()->MoveWindow(x + page.Width(), y, kPopQuoteWidth, page.Height(), TRUE);
  }
  popQuote_->Window()->ShowWindow(SW_SHOW);
  popQuote_->ShowStock(key);
}

// ---------------------------------------------------------------------------
// Keys and command codes.

void CMainFrame::OnKeyCommand(int key) {
  if (key >= 96 && key <= 105) key -= 48;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z')) {
    wizard_.reset();
    wizard_ = factories_.findStockView();
    wizard_->CreateWizard(quoteView_->Window());
    wizard_->SetOwnerFrame(this);
    wizard_->SetEngine(quoteView_->Engine());
    CRect frame;
    GetWindowRect(&frame);
    wizard_->Window()->MoveWindow(frame.right - 240, frame.bottom - 240, 240, 240, TRUE);
    wizard_->Window()->ShowWindow(SW_SHOW);
    wizard_->Window()->SetFocus();
    wizard_->SetDatabase(db_);
    const char16_t typed[2] = {static_cast<char16_t>(key), 0};
    wizard_->SetSearchText(typed);
    return;
  }
  CWnd* view = quoteView_->Window();
  if (key == VK_ESCAPE && view->IsWindowVisible()) {
    view->PostMessage(WM_KEY_COMMAND, 0, key);
  } else if (key >= 40112 && key <= kKeyCode05 && quoteView_->IsStockPageVisible()) {
    view->PostMessage(WM_KEY_COMMAND, 0, key);
  } else if (key == kKeyF6) {
    OpenQuoteTab();
    view->PostMessage(WM_KEY_COMMAND, 0, key);
  } else if (key == kKeyF3 || key == kKeyF4) {
    view->PostMessage(WM_KEY_COMMAND, 0, key);
  } else if (key == kKeyF12 || key == kKeyTrading) {
    StartTradeProgram();
  }
}

void CMainFrame::ShowMainTable(int tableCode, int flag) {
  OpenQuoteTab();
  quoteView_->ShowQuoteTable();
  quoteView_->PostTableCommand(tableCode, flag);
  if (!quoteView_->Window()->IsWindowVisible()) ShowQuoteMain(0);
}

void CMainFrame::ShowRankBoard(int board) {
  OpenQuoteTab();
  quoteView_->ShowRankPage(board, 0);
  if (!quoteView_->Window()->IsWindowVisible()) ShowQuoteMain(0);
}

void CMainFrame::ShowKLinePeriodCode(int period) {
  OpenQuoteTab();
  if (quoteView_->Window()->IsWindowVisible()) quoteView_->ShowKLinePeriod(period);
}

void CMainFrame::FlashTrade(int side) {
  if (!quoteView_->IsStockPageVisible())
    return ShowNotice(GetSafeHwnd(), side == 0 ? u"当前界面不能操作闪电买入！" : u"当前界面不能操作闪电卖出！");
  const StockKey key = quoteView_->GetStockPageKey();
  if (key.kind != 2 || (key.market != 1 && key.market != 2))
    return ShowNotice(GetSafeHwnd(), side == 0 ? u"暂时不支持此类闪电买入！" : u"暂时不支持此类闪电卖出！");
  tradeView_->QuickBuySell(side, key);
}

void CMainFrame::RunCodeCommand(const char* text) {
  if (text == nullptr) return;
  struct Exact {
    const char* code;
    int key;
  };
  static const Exact exact[] = {{"09", kKeyF9}, {"03", kKeyF3}, {"04", kKeyF4}, {"06", kKeyF6}, {"05", kKeyCode05}};
  for (const Exact& e : exact) {
    if (std::strcmp(text, e.code) != 0) continue;
    PostMessage(WM_KEY_COMMAND, 0, e.key);
    return;
  }
  if (!AllDigits(text) || std::strlen(text) > 9) return;
  const int code = std::atoi(text);
  struct Table {
    int code, tableCode, flag;
  };
  static const Table tables[] = {{0, 1003, 0},  {1, 1001, 0},  {2, 2001, 0},    {3, 1002, 0},    {4, 2002, 0},
                                 {9, 1004, 0},  {60, 1000, 1}, {61, 1001, 1},   {62, 2001, 1},   {63, 1002, 1},
                                 {64, 2002, 1}, {611, 1003, 1}, {612, 1004, 1}};
  static const int boards[] = {1101, 1102, 1108, 1103, 1109, 160103, 160104, 3105, 3106, 1105, 1106};
  static const int periods[] = {34, 35, 36, 37, 38, 33, 39, 40};
  if (code == 21) return FlashTrade(0);
  if (code == 23) return FlashTrade(1);
  for (const Table& t : tables) {
    if (t.code == code) return ShowMainTable(t.tableCode, t.flag);
  }
  if (code >= 80 && code <= 90) return ShowRankBoard(boards[code - 80]);
  if (code >= 91 && code <= 98) return ShowKLinePeriodCode(periods[code - 91]);
}

// ---------------------------------------------------------------------------
// Stocks and quick trading.

void CMainFrame::OnShowStock(WPARAM origin, const StockKey& key) {
  if (key.market == 0 && key.kind == 0) {
    char code[8] = {};
    std::memcpy(code, key.code, strnlen(key.code, sizeof key.code));
    return RunCodeCommand(code);
  }
  static const char* const boardTitles[] = {"行情", "战术看盘", "板块监测", "股票池", "短线阻击"};
  bool boardOpen = false;
  for (const char* title : boardTitles) boardOpen = boardOpen || FindTab(title) != nullptr;
  if (!boardOpen && key.kind != 1) {
    OpenQuoteTab();
  } else if (tabBar_.GetCurSel() == 0) {
    OpenQuoteTab();
  } else if (boardOpen) {
    for (const auto& record : tabs_) {
      if (!record->selected || IsBuiltInTitle(record->title)) continue;
      if (key.kind != 1) OpenQuoteTab();
      break;
    }
  }
  quoteView_->Window()->PostMessage(WM_SHOW_STOCK, origin, reinterpret_cast<LPARAM>(new StockKey(key)));
}

void CMainFrame::OnQuickTrade(WPARAM request) {
  struct Refusal {
    WPARAM request;
    const char16_t* hidden;
    const char16_t* unsupported;
  };
  static const Refusal refusals[] = {
      {kQuickFlashBuy, u"当前界面不能操作闪电买入！", u"暂时不支持此类闪电买入！"},
      {kQuickFlashSell, u"当前界面不能操作闪电卖出！", u"暂时不支持此类闪电卖出！"},
      {kQuickNormalBuy, u"当前界面不能操作普通买入！", u"暂时不支持此类普通买入！"},
      {kQuickNormalSell, u"当前界面不能操作普通卖出！", u"暂时不支持此类普通卖出！"}};
  const Refusal* r = nullptr;
  for (const Refusal& each : refusals) {
    if (each.request == request) r = &each;
  }
  if (r == nullptr) return;
  if (!quoteView_->IsStockPageVisible()) return ShowNotice(GetSafeHwnd(), r->hidden);
  const StockKey key = quoteView_->GetStockPageKey();
  if ((key.kind != 2 && key.kind != 3) || (key.market != 1 && key.market != 2))
    return ShowNotice(GetSafeHwnd(), r->unsupported);
  switch (request) {
    case kQuickFlashBuy: tradeView_->QuickBuySell(0, key); break;
    case kQuickFlashSell: tradeView_->QuickBuySell(1, key); break;
    case kQuickNormalBuy: tradeView_->ShowTrade(key, 0); break;
    case kQuickNormalSell: tradeView_->ShowTrade(key, 1); break;
    default: break;
  }
}

int LookupStockKind(sqlite3* db, char* code, int market) {
  if (db == nullptr || code == nullptr) return 0;
  for (char* p = code; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  sqlite3_stmt* statement = nullptr;
  const char* sql = "select * from qdic where code like ?1 || '%' or abb like ?1 || '%' order by type,marketid,code";
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return 0;
  sqlite3_bind_text(statement, 1, code, -1, SQLITE_TRANSIENT);
  int kind = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    if (sqlite3_column_int(statement, 0) == market) kind = sqlite3_column_int(statement, 1);
  }
  sqlite3_finalize(statement);
  return kind;
}

void CMainFrame::OnFindStockCode(StockKey& key) {
  char code[8] = {};
  std::memcpy(code, key.code, strnlen(key.code, sizeof key.code));
  key.kind = static_cast<uint8_t>(LookupStockKind(db_, code, key.market));
  std::memcpy(key.code, code, sizeof key.code - 1);
  quoteView_->Window()->PostMessage(WM_SHOW_STOCK, 0, reinterpret_cast<LPARAM>(new StockKey(key)));
}

// ---------------------------------------------------------------------------
// Watch list.

void CMainFrame::SaveOwnStocks(WPARAM operation, const StockKey* key) {
  QuoteEngine* engine = quoteView_->Engine();
  if ((operation == 1 || operation == 2) && key != nullptr) {
    StartRequest("PCMystocks", 0,
                 BuildSaveOwnStockBody(static_cast<int>(operation), engine->userNumber, key->code, key->market),
                 &CMainFrame::OnSaveOwnStocksReply);
    return;
  }
  if (operation != 3) return;
  if (GetOwnStockCount(engine) < 0) return;
  const std::shared_ptr<const OwnStockList> list = LoadOwnStockList(engine);
  StartRequest("PCMystocks", 0, BuildSaveWholeListBody(engine->userNumber, list.get()),
               &CMainFrame::OnSaveOwnStocksReply);
}

void CMainFrame::GetOwnStocks() {
  StartRequest("PCMystocks", 0, BuildGetOwnStocksBody(quoteView_->Engine()->userNumber),
               &CMainFrame::OnGetOwnStocksReply);
}

void CMainFrame::OnSaveOwnStocksReply(HttpRequest*, void*, const char*, int, int) {}

void CMainFrame::OnGetOwnStocksReply(HttpRequest*, void* user, const char* body, int length, int status) {
  if (status != kHttpCompleted) return;
  ApplyOwnStocksReply(static_cast<CMainFrame*>(user)->quoteView_->Engine(), body, length);
}

// ---------------------------------------------------------------------------
// Session dialogs and pop-up pages, until their windows are built.

INT_PTR CMainFrame::RunSelectSiteDialog() {
  sessionCalls_.push_back(std::string("SelectSite(") + account_ + ")");
  return IDCANCEL;
}

INT_PTR CMainFrame::RunDataRepairDialog() {
  sessionCalls_.push_back("DataRepair");
  return IDCANCEL;
}

INT_PTR CMainFrame::RunOwnImportDialog() {
  sessionCalls_.push_back("OwnImport");
  return IDCANCEL;
}

INT_PTR CMainFrame::RunDownloadDialog(bool* dayStoreDeleted) {
  sessionCalls_.push_back("DownLoad");
  *dayStoreDeleted = false;
  return IDCANCEL;
}

INT_PTR CMainFrame::RunAboutDialog() {
  sessionCalls_.push_back("About");
  ShowAboutBox(this);
  return IDOK;
}

void CMainFrame::OnPopHtml(const WCHAR* address, const WCHAR* newsHtml) {
  sessionCalls_.push_back("PopHtml(" + WideToUtf8(address ? address : u"") + "|" +
                          (newsHtml ? WideToUtf8(newsHtml) : std::string("none")) + "|" +
                          std::to_string(popupSize_.right) + "x" + std::to_string(popupSize_.bottom) + ")");
}

void CMainFrame::OpenNamedPopup(const char* name, const char* title, const char* address) {
  sessionCalls_.push_back(std::string("Popup(") + name + "|" + title + "|" + address + ")");
}
