#include "trading/trade_account.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "foundation/server_directory.h"
#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"

namespace {

class TradeAccountFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("trade");
    ASSERT_TRUE(folders_->Ok());
    top_ = folders_->Top();
    InitAppFolders();
    session_ = CreateTradeSession();
  }
  void TearDown() override {
    FreeServerList();
    DestroyTradeSession(session_);
    folders_.reset();
  }
  std::string FilePath() const { return top_ + "/appdata/pellune/Tamsel/TradeUser.data"; }
  std::string FileText() const {
    std::string text;
    if (!ReadWholeFile(FilePath(), &text)) return "<missing>";
    return text;
  }
  void WriteFile(const std::string& text) { ASSERT_TRUE(WriteWholeFile(FilePath(), text.data(), text.size())); }

  std::unique_ptr<TempUserFolders> folders_;
  std::string top_;
  TradeSession* session_ = nullptr;
};

TEST_F(TradeAccountFile, RememberedAccountIsWrittenInTheFixedFormatAndReadBack) {
  SetTradeAccount(session_, "http://127.0.0.1:9/trade", "880001", 2, "", "", "", "1", "1");
  ASSERT_EQ(SaveTradeAccount(session_), 1);
  EXPECT_EQ(FileText(),
            "<TradeUrl>http://127.0.0.1:9/trade</TradeUrl><Account>880001</Account><TradeType>2</TradeType>"
            "<TradeCompany></TradeCompany><TradeSale></TradeSale><TradeCode></TradeCode><TradeSign>1</TradeSign>"
            "<TradeProtection>1</TradeProtection>");
  TradeSession* other = CreateTradeSession();
  LoadTradeAccount(other);
  EXPECT_STREQ(other->saved.tradeUrl, "http://127.0.0.1:9/trade");
  EXPECT_STREQ(other->saved.account, "880001");
  EXPECT_EQ(other->saved.tradeType, 2);
  EXPECT_STREQ(other->saved.tradeSign, "1");
  EXPECT_STREQ(other->saved.tradeProtection, "1");
  EXPECT_STREQ(other->saved.tradeCode, "");
  DestroyTradeSession(other);
}

TEST_F(TradeAccountFile, AccountNotRememberedLeavesAnEmptyFile) {
  SetTradeAccount(session_, "http://h/trade", "", 0, "", "", "", "0", "1");
  ASSERT_EQ(SaveTradeAccount(session_), 1);
  EXPECT_EQ(FileText(), "");
  LoadTradeAccount(session_);
  EXPECT_STREQ(session_->saved.tradeProtection, "");
  EXPECT_STREQ(session_->saved.tradeSign, "");
  EXPECT_EQ(session_->saved.tradeType, 0);
}

TEST_F(TradeAccountFile, ReadingCutsAndDefaults) {
  struct Case {
    const char* name;
    std::string text;  // "" with missing: no file
    bool missing;
    const char* account;
    int type;
    size_t urlLength;
  } cases[] = {
      {"missing file", "", true, "", 0, 0},
      {"hand-written without type", "<Account>77</Account><TradeSign>1</TradeSign>", false, "77", 0, 0},
      {"overlong values are cut", "<TradeUrl>" + std::string(400, 'u') + "</TradeUrl><Account>" +
                                       std::string(100, '9') + "</Account><TradeType>5</TradeType>",
       false, nullptr, 5, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.missing) {
      DeleteFileUtf8Path(FilePath().c_str());
    } else {
      WriteFile(c.text);
    }
    memset(&session_->saved, 0x5A, sizeof(session_->saved));
    LoadTradeAccount(session_);
    if (c.account != nullptr) {
      EXPECT_STREQ(session_->saved.account, c.account);
    } else {
      EXPECT_EQ(strlen(session_->saved.account), 63u);
    }
    EXPECT_EQ(session_->saved.tradeType, c.type);
    EXPECT_EQ(strlen(session_->saved.tradeUrl), c.urlLength);
    EXPECT_STREQ(session_->saved.tradeCompany, "");
  }
}

TEST_F(TradeAccountFile, MarkupInValuesSurvivesAndCannotBreakTheFile) {
  SetTradeAccount(session_, "http://h/t?a=1&b=2", "<x>&amp;", 1, "", "", "", "1", "0");
  ASSERT_EQ(SaveTradeAccount(session_), 1);
  EXPECT_NE(FileText().find("<TradeUrl>http://h/t?a=1&amp;b=2</TradeUrl><Account>&lt;x>&amp;amp;</Account>"),
            std::string::npos);
  LoadTradeAccount(session_);
  EXPECT_STREQ(session_->saved.tradeUrl, "http://h/t?a=1&b=2");
  EXPECT_STREQ(session_->saved.account, "<x>&amp;");
  EXPECT_EQ(session_->saved.tradeType, 1);
  EXPECT_STREQ(session_->saved.tradeSign, "1");
}

TEST_F(TradeAccountFile, TradeAddressComesFromTheServerDirectoryWhenItFits) {
  struct Case {
    const char* name;
    std::string element;
    int result;
    std::string address;
  } cases[] = {
      {"ampersands stored as entities", "<PCTrade>http://127.0.0.1:8890/trade?a=1&amp;b=2</PCTrade>", 1,
       "http://127.0.0.1:8890/trade?a=1&b=2"},
      {"too long for the field", "<PCTrade>http://127.0.0.1:1/" + std::string(300, 'p') + "</PCTrade>", 0,
       "http://127.0.0.1:8890/trade?a=1&b=2"},
      {"absent", "<PCQuote>x|http://127.0.0.1:1|</PCQuote>", 0, "http://127.0.0.1:8890/trade?a=1&b=2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = top_ + "/appdata/pellune/Tamsel/res/server.data";
    ASSERT_TRUE(WriteWholeFile(path, c.element.data(), c.element.size()));
    LoadServerList();
    EXPECT_EQ(LoadTradeAddressFromServerList(session_), c.result);
    EXPECT_EQ(std::string(session_->tradeAddress), c.address);
  }
}

}  // namespace
