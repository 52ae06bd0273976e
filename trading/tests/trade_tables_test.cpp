#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "trading/tests/trade_test_support.h"
#include "trading/trade_tables.h"

namespace {

// Records of a reply body, split as the reply path splits them.
class Records {
 public:
  explicit Records(const std::vector<std::vector<std::string>>& records) {
    std::string text = trade_test::ReplyBody(records);
    for (char& ch : text) {
      if (ch == 0) ch = 0x02;
    }
    list_ = SplitRecords(text.c_str(), 0x01, 0x02);
  }
  ~Records() { FreeRecordList(&list_); }
  const RecordList* get() const { return list_; }

 private:
  RecordList* list_ = nullptr;
};

TEST(TradeTables, LoginInfoKeepsTwentyColumnsWithoutTheNotice) {
  std::vector<std::string> names;
  std::vector<std::string> values;
  for (int i = 0; i < 25; ++i) {
    names.push_back(i == 3 ? "弹出公告" : "列" + std::to_string(i));
    values.push_back("值" + std::to_string(i));
  }
  TradeLoginInfo info;
  memset(&info, 0x5A, sizeof(info));
  Records reply({{"0000", "OK"}, names, values});
  ParseLoginInfo(&info, reply.get());
  ASSERT_EQ(info.count, 20);
  EXPECT_STREQ(info.name[3], "列4");  // the notice took no entry
  EXPECT_STREQ(info.name[19], "列20");
  EXPECT_EQ(FindLoginInfoValue(&info, "弹出公告"), nullptr);

  Records noRow({{"0000", "OK"}, {"沪A"}});
  ParseLoginInfo(&info, noRow.get());
  EXPECT_EQ(info.count, 20);

  Records longValue({{"0000", "OK"}, {"沪A"}, {std::string(20, 'x') + "一二三四五"}});
  ParseLoginInfo(&info, longValue.get());
  EXPECT_EQ(info.count, 1);
  EXPECT_EQ(std::string(info.value[0]), std::string(20, 'x') + "一二三");  // cut on a character, 29 bytes
}

TEST(TradeTables, BankListCountsRowsUpToSixteenAndCutsTexts) {
  BankList banks;
  memset(&banks, 0x5A, sizeof(banks));
  Records two({{"0000", "OK"},
               {"银行代码", "银行名称", "其他", "转出密码"},
               {"01", "甲银行", "x", "2"},
               {"02", "乙银行", "y", "0"}});
  ParseBankList(&banks, two.get());
  ASSERT_EQ(banks.count, 2);
  EXPECT_STREQ(banks.text[1][kBankName], "乙银行");
  EXPECT_STREQ(banks.text[0][kBankOutPasswordFlag], "2");
  EXPECT_STREQ(banks.text[0][kBankAccount], "");

  Records namesOnly({{"0000", "OK"}, {"银行代码"}});
  ParseBankList(&banks, namesOnly.get());
  EXPECT_EQ(banks.count, 2);

  std::vector<std::vector<std::string>> many = {{"0000", "OK"}, {"银行代码", "银行名称"}};
  for (int i = 0; i < 17; ++i) many.push_back({std::to_string(i), std::string(200, 'n')});
  Records seventeen(many);
  ParseBankList(&banks, seventeen.get());
  EXPECT_EQ(banks.count, 16);
  EXPECT_STREQ(banks.text[15][kBankCode], "15");
  EXPECT_EQ(strlen(banks.text[0][kBankName]), 127u);
}

TEST(TradeTables, OrderInfoFillsSlotsByName) {
  OrderInfo info;
  memset(&info, 0x5A, sizeof(info));
  Records reply({{"0000", "OK"},
                 {"股票代码", "最近价格", "卖1价", "买5量", "涨幅", "未知"},
                 {"000002", "12.34", "12.35", "800", "1.2%", "z"}});
  ParseOrderInfo(&info, reply.get());
  EXPECT_STREQ(info.slot[0], "000002");
  EXPECT_STREQ(info.slot[7], "12.34");
  EXPECT_STREQ(info.slot[17], "12.35");
  EXPECT_STREQ(info.slot[28], "800");
  EXPECT_STREQ(info.slot[31], "1.2%");
  EXPECT_STREQ(info.slot[3], "");
  EXPECT_STREQ(info.slot[1], "");
}

TEST(TradeTables, CaptchaTakesTheFirstCodeColumn) {
  char captcha[kTradeCaptchaSize] = "old";
  Records none({{"0000", "OK"}, {"其他"}, {"1"}});
  ParseCaptchaText(captcha, none.get());
  EXPECT_STREQ(captcha, "old");
  Records reply({{"0000", "OK"}, {"其他", "验证码", "验证码"}, {"1", "4821", "9999"}});
  ParseCaptchaText(captcha, reply.get());
  EXPECT_STREQ(captcha, "4821");
  Records longCode({{"0000", "OK"}, {"验证码"}, {std::string(60, '7')}});
  ParseCaptchaText(captcha, longCode.get());
  EXPECT_EQ(strlen(captcha), 39u);
}

}  // namespace
