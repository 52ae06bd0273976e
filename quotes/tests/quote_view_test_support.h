// The quote view on the test desktop: a temporary data root with the
// configuration, the server directory and the trading hours, a recording
// main window (the application's main window) with a plain main view and a
// real status bar, the view under the main view, and simbroker's market-data
// server on loopback.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "controls/status_bar.h"
#include "foundation/config_store.h"
#include "foundation/server_directory.h"
#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "foundation/number_formats.h"
#include "marketdata/quote_connection.h"
#include "marketdata/quote_engine.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "quotes/page_placeholders.h"
#include "quotes/quote_view.h"
#include "tools/simbroker/market_server.h"

namespace quoteview_test {

constexpr int kWaitMs = 20000;

// A posted or sent message the main window received.
struct Posted {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  StockKey key;   // the key of WM_FIND_STOCK_CODE (freed on receipt)
};

// The application's main window: records the messages the view sends it and
// frees what they own.
class RecordingMain : public CWnd {
 public:
  std::vector<Posted> posted;

  std::vector<Posted> Take() {
    std::vector<Posted> out;
    out.swap(posted);
    return out;
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_KEY_COMMAND || msg == WM_SELECT_SITE || msg == WM_OPEN_ANALYSIS_TAB ||
        msg == WM_FIND_STOCK_CODE || msg == WM_SAVE_OWN_STOCKS) {
      Posted p{msg, wParam, lParam, StockKey{}};
      if (msg == WM_FIND_STOCK_CODE) {
        auto key = TakeShowStockKey(wParam);
        if (key) p.key = *key;
      }
      posted.push_back(p);
      return 1;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

// A loopback listener that accepts and closes every connection at once,
// counting them.
class CountingListener {
 public:
  explicit CountingListener(int port = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd_, 16) != 0) return;
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
      for (;;) {
        int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        if (stopping_.load()) {
          ::close(c);
          return;
        }
        ++accepts_;
        ::close(c);
      }
    });
  }
  ~CountingListener() { Stop(); }
  void Stop() {
    if (fd_ < 0) return;
    stopping_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
    fd_ = -1;
  }
  int Port() const { return port_; }
  int Accepts() const { return accepts_.load(); }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<int> accepts_{0};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

class QuoteViewFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    EnableUiThreadChecks(true);
    folders_ = std::make_unique<TempUserFolders>("quoteview");
    ASSERT_TRUE(folders_->Ok());
    InitAppFolders();
    PlaceholderCalls().Clear();
  }

  void TearDown() override {
    view.reset();
    status_.reset();
    if (mainView_.m_hWnd) mainView_.DestroyWindow();
    if (main.m_hWnd) main.DestroyWindow();
    app_.m_pMainWnd = nullptr;
    for (auto& s : servers) {
      s->Stop();
    }
    servers.clear();
    FreeServerList();
    folders_.reset();
  }

  // The per-user files: res\config.data, res\server.data and, when v2bin is
  // not null, res\v2bin.data; then loads the configuration and directory.
  void WriteUserFiles(const std::string& config, const std::string& serverData, const char* v2bin = nullptr) {
    ASSERT_TRUE(WriteDataFile("res\\config.data", config.data(), static_cast<int>(config.size())));
    ASSERT_TRUE(WriteDataFile("res\\server.data", serverData.data(), static_cast<int>(serverData.size())));
    if (v2bin) {
      ASSERT_TRUE(WriteDataFile("res\\v2bin.data", v2bin, static_cast<int>(std::strlen(v2bin))));
    }
    const char version[] = "20240301";
    ASSERT_TRUE(WriteDataFile("res\\qver.data", version, 8));
    LoadConfig();
    LoadServerList();
  }

  // The usual files: one site whose level-1 address holds 127.0.0.1.
  void WriteDefaultFiles(const char* level = "0") {
    WriteUserFiles(std::string("<host>127.0.0.1</host><level>") + level + "</level>",
                   "<PCQuote>演示站点|http://127.0.0.1:8110/quote|http://127.0.0.2:8110/quote</PCQuote>");
  }

  // The main window (1280 x 800) with its main view, the status bar along
  // its bottom and the view over the main view; the view uses port.
  void MakeWindows(int port, QuotePages pages = QuotePages{}) {
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"Orvenna证券VIP终端", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1280, 800), nullptr,
                              0));
    app_.m_pMainWnd = &main;
    ASSERT_TRUE(mainView_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 1280, 780), &main,
                                 0xE900));
    status_ = std::make_unique<FooStatus>();
    const std::string background = std::string(ORV_BINARY_DIR) + "/res/status.png";
    const std::string gap = std::string(ORV_BINARY_DIR) + "/res/statusgap.png";
    ASSERT_TRUE(status_->Create(CRect(0, 0, 0, 0), &main, 0, Wide(background).c_str(), Wide(gap).c_str()));
    const int parts[] = {80, 420, 760, 0, 300};
    status_->SetParts(5, parts);
    status_->MoveWindow(0, 780, 1280, 20);
    // The placeholders unless the test brings its pages.
    if (!pages.table) pages = MakePlaceholderPages(&PlaceholderCalls());
    view = std::make_unique<CQuoteView>(std::move(pages));
    view->SetStatusBar(status_.get());
    view->SetQuotePortForTesting(port);
    view->SetCredentials("10086", "00112233445566778899aabbccddeeff");
    ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1280, 780), &mainView_, 0));
    desk.RunUntilIdle();
  }

  // A simbroker market-data server, pushing only when ticked.
  simbroker::MarketDataServer* StartServer(simbroker::MarketServerOptions options = {}) {
    if (options.pushIntervalMs == 3000) options.pushIntervalMs = 0;
    servers.push_back(std::make_unique<simbroker::MarketDataServer>(options));
    if (!servers.back()->Start()) return nullptr;
    return servers.back().get();
  }

  bool WaitFor(const std::function<bool()>& done) { return desk.RunUntil(done, kWaitMs); }

  // Connected and the first ticker reply shown.
  bool ConnectAndWaitForTickers() {
    view->ConnectEngine();
    return WaitFor([&] { return view->PushHandle() != 0 && status_->GetShanghaiText(1) != u""; });
  }

  static std::u16string Wide(const std::string& s) {
    std::u16string out;
    for (char c : s) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
  }

  PlaceholderStockPage* Stock() { return static_cast<PlaceholderStockPage*>(view->PageAt(CQuoteView::kStockPage)); }
  PlaceholderQuoteTable* Table() { return static_cast<PlaceholderQuoteTable*>(view->PageAt(CQuoteView::kTablePage)); }

  TestDesktop desk;
  CWinApp app_;
  RecordingMain main;
  CWnd mainView_;
  std::unique_ptr<FooStatus> status_;
  std::unique_ptr<CQuoteView> view;
  std::vector<std::unique_ptr<simbroker::MarketDataServer>> servers;
  std::unique_ptr<TempUserFolders> folders_;
};

}  // namespace quoteview_test
