// The trading windows' fixture: temporary user folders whose server
// directory names the simulated trade service started on a free loopback
// port, the build's pictures, the test desktop with the program fonts, a
// short HTTP time-out, and a harness main window that lays the trade window
// out along its bottom as the main frame does.
#pragma once

#include "platform/kernel/kernel_utf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/control_messages.h"
#include "controls/tests/resource_fixture.h"
#include "foundation/server_directory.h"
#include "foundation/tests/temp_user_folders.h"
#include "foundation/transport_timing.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "tools/simbroker/trade/trade_service.h"
#include "trading/trade_session.h"
#include "trading/ui/trade_messages.h"
#include "trading/ui/tests/recording_trade_pages.h"
#include "trading/ui/trade_info_view.h"
#include "trading/ui/trade_login.h"
#include "trading/ui/trade_view.h"

namespace trade_ui_test {

// The main window stand-in: records what the trade window tells it and, on
// WM_SIZE, puts the shown trade window along its bottom at its panel height
// (kept within the client height minus 72).
class HarnessMain : public CWnd {
 public:
  CTradeView* trade = nullptr;
  std::vector<std::pair<int, int>> relayouts;  // (width, height) of WM_TRADE_RELAYOUT_MAIN
  std::vector<LPARAM> keys;                    // WM_KEY_COMMAND lParam
  int emptySizes = 0;                          // WM_SIZE (0, 0)

  void Layout() {
    if (!trade || !trade->m_hWnd) return;
    CRect rc;
    GetClientRect(&rc);
    int height = std::min(trade->GetPanelHeight(), rc.Height() - CTradeView::kTopMargin);
    if (trade->IsTradeShown()) trade->MoveWindow(0, rc.Height() - height, rc.Width(), height);
  }

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(0, 0, 0));
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TRADE_RELAYOUT_MAIN) {
      relayouts.emplace_back(static_cast<int>(wParam), static_cast<int>(lParam));
      return 0;
    }
    if (message == WM_KEY_COMMAND) {
      keys.push_back(lParam);
      return 0;
    }
    if (message == WM_SIZE && wParam == 0 && lParam == 0) {
      ++emptySizes;
      Layout();
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class TradeUiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("tradeui");
    ASSERT_TRUE(folders_->Ok());
    InitAppFolders();
    working_ = std::make_unique<orvtest::ScopedWorkingFolder>(orvtest::BuildProgramFolder());
    ASSERT_TRUE(working_->Ok());
    resources_ = std::make_unique<orvtest::ScopedResourceFolder>(orvtest::BuildProgramFolder() + "res/");
    savedTimings_ = GetTransportTimings();
    TransportTimings timings = savedTimings_;
    timings.httpTimeoutMs = 800;
    SetTransportTimings(timings);
    desk = std::make_unique<TestDesktop>();
    orvtest::UseProgramFonts();
    simtrade::TradeServiceOptions options;
    service = simtrade::RunTradeService(options);
    ASSERT_NE(service, nullptr);
    WriteServerList(simtrade::TradeServiceServerDataLine(options, simtrade::TradeServicePort(service)));
    TradePageJournal().clear();
  }
  void TearDown() override {
    desk.reset();
    if (service) simtrade::StopTradeService(service);
    FreeServerList();
    SetTransportTimings(savedTimings_);
    resources_.reset();
    working_.reset();
    folders_.reset();
  }

  std::string DataFolder() const { return folders_->Top() + "/appdata/pellune/Tamsel/"; }
  void WriteServerList(const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(DataFolder() + "res/server.data", text.data(), text.size()));
    LoadServerList();
  }
  std::string AccountFile() const {
    std::string text;
    if (!ReadWholeFile(DataFolder() + "TradeUser.data", &text)) return "<missing>";
    return text;
  }
  void WriteAccountFile(const std::string& text) {
    ASSERT_TRUE(WriteWholeFile(DataFolder() + "TradeUser.data", text.data(), text.size()));
  }
  std::vector<std::string> LoggedCodes() {
    std::vector<std::string> codes;
    for (const auto& entry : simtrade::TradeServiceLog(service)) codes.push_back(entry.code);
    return codes;
  }
  std::vector<std::u16string> BoxTexts() const {
    std::vector<std::u16string> out;
    for (const auto& box : desk->Boxes()) out.push_back(box.text);
    return out;
  }

  std::unique_ptr<TestDesktop> desk;
  simtrade::TradeService* service = nullptr;

 private:
  std::unique_ptr<TempUserFolders> folders_;
  std::unique_ptr<orvtest::ScopedWorkingFolder> working_;
  std::unique_ptr<orvtest::ScopedResourceFolder> resources_;
  TransportTimings savedTimings_;
};

inline bool IsLoggedIn(TradeSession* session) {
  std::lock_guard<std::mutex> hold(session->lock);
  return session->loggedIn;
}

inline std::string Utf8(const std::u16string& s) { return WideToUtf8(s); }

inline std::string SnapshotFolder() {
  std::string folder = std::string(ORV_BINARY_DIR) + "/trade_window_snapshots/";
  CreateFolderTree(folder);
  return folder;
}

class TradeWindowFixture : public TradeUiFixture {
 protected:
  // The panel's calls checked on recording pages in place of the real ones.
  virtual bool UseRecordingPages() const { return false; }
  void SetUp() override {
    TradeUiFixture::SetUp();
    // The panel's calls are checked on recording pages.
    if (UseRecordingPages()) {
      SetTradePagesMakerForTesting(MakePlaceholderTradePages);
      SetQuickTradeRunnerForTesting(RunPlaceholderQuickTrade);
    }
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1000, 700), nullptr, 0));
    view = std::make_unique<CTradeView>();
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_CLIPCHILDREN, CRect(0, 420, 1000, 700), &main, 0));
    main.trade = view.get();
    desk->RunUntilIdle();
    TradePageJournal().clear();
  }
  void TearDown() override {
    main.trade = nullptr;
    view.reset();
    if (main.m_hWnd) main.DestroyWindow();
    SetTradePagesMakerForTesting(nullptr);
    SetQuickTradeRunnerForTesting(nullptr);
    TradeUiFixture::TearDown();
  }

  // The login dialog while it is the active window.
  static HWND LoginDialog() {
    HWND active = GetActiveWindow();
    return active && GetDlgItem(active, CTradeLogin::kCodeButton) ? active : nullptr;
  }
  static bool LoginIdle() {
    HWND dlg = LoginDialog();
    return dlg && IsWindowEnabled(GetDlgItem(dlg, CTradeLogin::kCodeButton));
  }
  // Queues the steps that log in through the dialog ShowTrade opens.
  void QueueLogin(const WCHAR* account, const WCHAR* password) {
    desk->Until(LoginIdle);
    desk->Then([=, this] {
      HWND dlg = LoginDialog();
      SetDlgItemTextW(dlg, CTradeLogin::kAccountEdit, account);
      SetDlgItemTextW(dlg, CTradeLogin::kPasswordEdit, password);
      std::u16string code;
      for (char c : simtrade::TradeServiceCaptcha(service)) code += static_cast<char16_t>(c);
      SetDlgItemTextW(dlg, CTradeLogin::kCodeEdit, code.c_str());
      desk->Key(VK_RETURN);
    });
  }
  void LogIn(const WCHAR* account = u"880001", const WCHAR* password = u"135790") {
    QueueLogin(account, password);
    view->ShowTrade(nullptr, 0);
    ASSERT_FALSE(desk->StepsTimedOut());
    ASSERT_TRUE(IsLoggedIn(view->Session()));
    desk->RunUntilIdle();
    TradePageJournal().clear();
  }
  CRect RectInMain(CWnd* w) {
    CRect r;
    w->GetWindowRect(&r);
    main.ScreenToClient(&r);
    return r;
  }
  CRect RectInParent(CWnd* w) {
    CRect r;
    w->GetWindowRect(&r);
    w->GetParent()->ScreenToClient(&r);
    return r;
  }
  WString SelectedNav() {
    CVexloTreeCtrl& tree = view->NavList()->Tree();
    HTREEITEM item = tree.GetSelectedItem();
    return item ? tree.GetItemText(item) : WString();
  }
  HTREEITEM FindItem(const WString& text, HTREEITEM from = nullptr) {
    CVexloTreeCtrl& tree = view->NavList()->Tree();
    for (HTREEITEM item = from ? tree.GetChildItem(from) : tree.GetRootItem(); item;
         item = tree.GetNextSiblingItem(item)) {
      if (tree.GetItemText(item) == text) return item;
      if (HTREEITEM inner = FindItem(text, item)) return inner;
    }
    return nullptr;
  }
  static bool Shown(ITradePage* page) { return page->Window()->GetStyle() & WS_VISIBLE; }

  HarnessMain main;
  std::unique_ptr<CTradeView> view;
};

}  // namespace trade_ui_test
