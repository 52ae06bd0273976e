// The stock page against simbroker's market-data server through the real
// engine: a top-level host window with the page as its child at 1,280 x 800,
// the engine connected on a loopback port (pushes only on Tick()), a history
// client on the temporary user folders, and the standard trading hours.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "marketdata/history_client.h"
#include "marketdata/tests/loopback_test_support.h"
#include "stockpage/quote_details_view.h"
#include "stockpage/tests/panels_test_support.h"

namespace page_test {



// The parent the page reports to: records what reaches it.
class HostWindow : public CWnd {
 public:
  std::vector<std::pair<UINT, LPARAM>> got;

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
  }
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_KEY_COMMAND || msg == WM_SAVE_OWN_STOCKS) {
      got.push_back({msg, l});
      if (msg == WM_SAVE_OWN_STOCKS) delete reinterpret_cast<StockKey*>(l);
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

// A browser helper that records what the page asks of it.
class RecordingHelper : public CWnd, public IBriselHelper {
 public:
  std::vector<std::string>* log;
  std::u16string started;
  RECT startRect{}, moved{};
  std::u16string navigated;
  int shows = -1, hostFlag = -1, backs = 0;
  bool terminated = false;

  explicit RecordingHelper(std::vector<std::string>* shared) : log(shared) {}
  CWnd* Window() override { return this; }
  void SetOwner(HWND) override {}
  void SetHost(CWnd*) override {}
  void StartBrowser(const WCHAR* address, CWnd*, const RECT& rect) override {
    started = address;
    startRect = rect;
  }
  void StartBrowserSized(const WCHAR* address, CWnd*, int width, int height) override {
    started = address;
    startRect = RECT{0, 0, width, height};
  }
  BOOL TerminateBrowser() override {
    terminated = true;
    return TRUE;
  }
  void Navigate(const WCHAR* address) override { navigated = address; }
  void SetCookies(const WCHAR*) override {}
  void SetNewsHtml(const WCHAR*) override {}
  void MoveBrowser(const RECT& rect) override { moved = rect; }
  int CallScript(const WCHAR*) override { return 0; }
  void BackToFirstPage() override { ++backs; }
  void SetHostFlag(int flag) override { hostFlag = flag; }
  void ShowBrowser(int command) override { shows = command; }
};

inline TradingHoursTable StandardHours() {
  TradingHoursTable t{};
  t.count = 2;
  t.entries[0] = {930, 1130, 1300, 1500, 0, 0, 1, 1130, 242};
  t.entries[1] = {930, 1130, 1300, 1500, 0, 0, 2, 1130, 242};
  return t;
}

class PageFixture : public engine_test::LoopbackFixture {
 protected:
  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 800;

  void SetUp() override {
    engine_test::LoopbackFixture::SetUp();
    ASSERT_TRUE(StartServer());
    UseOwner(&owner);
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
    engine->tradingHours = StandardHours();
    history = CreateHistoryClient();
    ASSERT_NE(history, nullptr);
    // The page's pictures are "res\\..." paths of the program folder.
    previousFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(ORV_BINARY_DIR);
    desk = std::make_unique<TestDesktop>();
    board_test::UseProgramFonts();
    panel_test::UseProgramResources();
    ASSERT_TRUE(host.CreateEx(0, nullptr, u"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                              CRect(0, 0, kWidth, kHeight), nullptr, 0));
    ASSERT_TRUE(middle.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &host, 1));
    ASSERT_TRUE(quoteView.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &middle, 1));
    SetStockPageBrowserFactory([this] {
      auto helper = std::make_unique<RecordingHelper>(&browserLog);
      helpers.push_back(helper.get());
      return std::unique_ptr<IBriselHelper>(helper.release());
    });
    page = std::make_unique<CQuoteDetailsView>();
    SetStockPageBrowserFactory(nullptr);
    page->SetEngine(engine, history);
    ASSERT_TRUE(page->CreatePage(WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &quoteView, 1));
    // The first tab selection (the F10 text view is visible until one).
    page->SelectMainTab(1);
    desk->RunUntilIdle();
  }
  void TearDown() override {
    if (page && page->m_hWnd) page->DestroyWindow();
    CloseQuoteConnection(engine);
    if (server) server->Stop();
    page.reset();
    if (host.m_hWnd) host.DestroyWindow();
    helpers.clear();
    desk.reset();
    FreeHistoryClient(history);
    history = nullptr;
    std::filesystem::current_path(previousFolder_);
    engine_test::LoopbackFixture::TearDown();
  }

  // Steps simbroker's market n times (each step pushes every subscription)
  // and lets the UI thread run.
  void Advance(int n) {
    for (int i = 0; i < n; ++i) {
      server->Tick();
      if (i % 10 == 9) desk->RunUntilIdle();
    }
  }

  static StockKey Key(const char* code, const char* name, int market, int kind) {
    return panel_test::Key(code, name, market, 2, kind);
  }

  // Runs the UI thread until done() holds under the page lock.
  bool RunUntil(const std::function<bool()>& done) {
    return desk->RunUntil(
        [&] {
          std::lock_guard<CriticalSection> hold(page->PageLock());
          return done();
        },
        engine_test::kLoopbackWaitMs);
  }

  // The page has the K-line bars, the quote and the minute points.
  bool Served() {
    return RunUntil([&] {
      return page->KLineCopy()->barCount > 0 && page->Summary().CurrentRows().cells[0][0].value[0] != u'-';
    });
  }

  // The requests the server saw after mark (type 17 cancels left out unless
  // asked).
  std::vector<simbroker::JournalEntry> RequestsSince(size_t mark, bool cancels = false) {
    std::vector<simbroker::JournalEntry> out;
    const auto all = server->Journal();
    for (size_t i = mark; i < all.size(); ++i)
      if (cancels || all[i].type != 17) out.push_back(all[i]);
    return out;
  }

  void SaveSnapshot(const std::string& name) {
    const std::string folder = std::string(ORV_BINARY_DIR) + "/stockpage_snapshots";
    std::filesystem::create_directories(folder);
    host.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    desk->RunUntilIdle();
    EXPECT_TRUE(desk->SavePng(host.m_hWnd, folder + "/" + name + ".png"));
  }

  std::filesystem::path previousFolder_;
  engine_test::LoopbackOwner owner;
  HistoryClient* history = nullptr;
  std::unique_ptr<TestDesktop> desk;
  HostWindow host;       // the main frame (three parents above the page)
  HostWindow middle;
  HostWindow quoteView;  // the page's parent
  std::vector<std::string> browserLog;
  std::vector<RecordingHelper*> helpers;  // F10, news, research
  std::unique_ptr<CQuoteDetailsView> page;
};

}  // namespace page_test
