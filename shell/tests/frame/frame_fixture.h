// The main frame in the test desktop: the build's program folder as the
// working and install folder (pictures, res\pellune.db seed, pop.html), a
// fresh per-user data root, an application object whose main window is the
// frame, and recording placeholders in place of the other libraries'
// windows. Network tests add the simulated brokerage's HTTP side.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/config_store.h"
#include "foundation/server_directory.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "platform/window/win_desktop.h"
#include "shell/frame_messages.h"
#include "shell/frame_placeholders.h"
#include "shell/main_frame.h"

namespace frametest {

class TestApp : public CWinApp {};

// Every window the frame made through its factories, kept for assertions.
struct Made {
  PlaceholderQuoteView* quote = nullptr;
  PlaceholderTradeView* trade = nullptr;
  PlaceholderPopMsgDialog* notice = nullptr;
  std::vector<PlaceholderBriselHelper*> helpers;  // home first
  std::vector<PlaceholderFindStockView*> wizards;
  std::vector<PlaceholderPopQuote*> popQuotes;
  std::vector<std::string> log;  // calls of all of them, in order
};

inline FrameFactories RecordingFactories(Made* made) {
  FrameFactories f;
  f.quoteView = [made] {
    auto p = std::make_unique<PlaceholderQuoteView>();
    p->sharedLog = &made->log;
    made->quote = p.get();
    return std::unique_ptr<IQuoteView>(std::move(p));
  };
  f.tradeView = [made] {
    auto p = std::make_unique<PlaceholderTradeView>();
    p->sharedLog = &made->log;
    made->trade = p.get();
    return std::unique_ptr<ITradeView>(std::move(p));
  };
  f.popMsgDialog = [made] {
    auto p = std::make_unique<PlaceholderPopMsgDialog>();
    made->notice = p.get();
    return std::unique_ptr<IPopMsgDialog>(std::move(p));
  };
  f.briselHelper = [made] {
    auto p = std::make_unique<PlaceholderBriselHelper>();
    p->sharedLog = &made->log;
    made->helpers.push_back(p.get());
    return std::unique_ptr<IBriselHelper>(std::move(p));
  };
  f.findStockView = [made] {
    auto p = std::make_unique<PlaceholderFindStockView>();
    made->wizards.push_back(p.get());
    return std::unique_ptr<IFindStockView>(std::move(p));
  };
  f.popQuote = [made] {
    auto p = std::make_unique<PlaceholderPopQuote>();
    made->popQuotes.push_back(p.get());
    return std::unique_ptr<IPopQuote>(std::move(p));
  };
  return f;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orv-frame-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    top_ = pattern + "/";
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    previousCwd_ = cwd;
    ASSERT_EQ(::chdir(ORV_BINARY_DIR), 0);
    SetInstallFolderForTesting(std::string(ORV_BINARY_DIR) + "/");
    SetAppDataFolderForTesting(top_ + "appdata/");
    InitAppFolders();
    LoadConfig();
    desk_ = std::make_unique<TestDesktop>();
  }

  void TearDown() override {
    app_.m_pMainWnd = nullptr;
    frame_.reset();
    desk_.reset();
    FreeServerList();
    SetInstallFolderForTesting("");
    SetAppDataFolderForTesting("");
    (void)::chdir(previousCwd_.c_str());
    std::filesystem::remove_all(top_);
  }

  // res\menu.json of the data root.
  void WriteMenu(const std::string& json) {
    ASSERT_TRUE(WriteDataFile("res\\menu.json", json.data(), static_cast<int>(json.size())));
  }

  // Makes the frame (sign-in results given as the start-up gives them) and
  // creates its window at the given size.
  void MakeFrame(int width = 1288, int height = 1032) {
    frame_ = std::make_unique<CMainFrame>(RecordingFactories(&made_));
    frame_->SetCredentials("10001", "0123456789abcdef0123456789abcdef");
    frame_->SetAccount("demo", "demo123");
    frame_->SetUserName(u"demo");
    app_.m_pMainWnd = frame_.get();
    ASSERT_TRUE(frame_->CreateFrame());
    frame_->MoveWindow(0, 0, width, height, TRUE);
    frame_->ShowWindow(SW_SHOW);
    desk_->RunUntilIdle();
  }

  PlaceholderBriselHelper* Home() const { return made_.helpers.at(0); }
  CRect ChildRect(CWnd* child) const {
    CRect rc;
    child->GetWindowRect(&rc);
    frame_->ScreenToClient(&rc);
    return rc;
  }
  size_t CountInLog(const std::string& entry) const {
    return static_cast<size_t>(std::count(made_.log.begin(), made_.log.end(), entry));
  }
  // The title of the tab that is selected, "" when none.
  std::string SelectedTab() const {
    for (const auto& t : frame_->Tabs())
      if (t->selected) return t->title;
    return "";
  }

  std::string top_;
  std::string previousCwd_;
  TestApp app_;
  std::unique_ptr<TestDesktop> desk_;
  Made made_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace frametest
