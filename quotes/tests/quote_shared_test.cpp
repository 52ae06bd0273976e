// The pieces every quote page shares: number texts, quote colours, the
// browsing record and the payloads of the posted messages, the request
// handles and coalesced refills of the page rule, and the ticker texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "foundation/number_formats.h"
#include "marketdata/quote_engine.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"
#include "quotes/quote_formats.h"
#include "quotes/quote_messages.h"
#include "quotes/quote_page.h"
#include "quotes/status_tickers.h"

namespace {

std::u16string Text(int (*format)(int64_t, char16_t*, int), int64_t value) {
  char16_t out[kNumberTextSize];
  for (auto& c : out) c = u'#';
  format(value, out, kNumberTextSize);
  return out;
}

std::u16string Count(int64_t value, CountZero zero) {
  char16_t out[kNumberTextSize] = {u'#'};
  FormatCount(value, out, kNumberTextSize, zero);
  return out;
}

TEST(QuoteNumberTexts, CountPricePercentAndRatio) {
  struct Case {
    const char* name;
    int64_t value;
    CountZero zero;
    const char16_t* expected;
  } const counts[] = {
      {"ten thousands", 12345, CountZero::Dash, u"1.23万"},
      {"just below a hundred million", 99999999, CountZero::Dash, u"10000.00万"},
      {"a hundred million", 100000000, CountZero::Dash, u"1.00亿"},
      {"below ten thousand", 9999, CountZero::Dash, u"9999"},
      {"negative ten thousands", -20000, CountZero::Dash, u"-2.00万"},
      {"zero as dash", 0, CountZero::Dash, u"-"},
      {"zero as digit", 0, CountZero::Digit, u"0"},
      {"32-bit minus one sign-extended", static_cast<int32_t>(0xFFFFFFFF), CountZero::Dash, u"-1"},
      {"most negative 64-bit", std::numeric_limits<int64_t>::min(), CountZero::Dash, u"-92233720368.55亿"},
  };
  for (const Case& c : counts) EXPECT_EQ(Count(c.value, c.zero), c.expected) << c.name;

  char16_t out[kNumberTextSize];
  FormatPrice(12.345, 2, out, kNumberTextSize);
  EXPECT_EQ(std::u16string(out), u"12.35");  // %.2f rounds
  FormatPrice(1.5, 3, out, kNumberTextSize);
  EXPECT_EQ(std::u16string(out), u"1.500");
  FormatPrice(0.0, 2, out, kNumberTextSize);
  EXPECT_EQ(std::u16string(out), u"-");
  EXPECT_EQ(Text(FormatPercent, -123), u"-1.23%");
  EXPECT_EQ(Text(FormatRatio, 12345), u"1.23");
  EXPECT_EQ(Text(FormatRatio, 0), u"-");
}

TEST(QuoteColors, AgainstReferenceSignAndOne) {
  EXPECT_EQ(QuoteColorAgainst(10.1, 10.0), kQuoteRise);
  EXPECT_EQ(QuoteColorAgainst(10.0, 10.0), kQuoteFlat);
  EXPECT_EQ(QuoteColorAgainst(9.9, 10.0), kQuoteFall);
  EXPECT_EQ(QuoteColorBySign(-0.01), kQuoteFall);
  EXPECT_EQ(QuoteColorBySign(0.0), kQuoteFlat);
  EXPECT_EQ(QuoteColorAgainstOne(1.2), kQuoteRise);
  EXPECT_EQ(QuoteColorAgainstOne(0.8), kQuoteFall);
  EXPECT_EQ(kQuoteRise, 0x4F4FFFu);
  EXPECT_EQ(kQuoteCode, 0x33FFFDu);
}

// A window that records the posted messages it receives and frees what
// they own.
class PostSink : public CWnd {
 public:
  std::vector<StockKey> shown;
  std::vector<std::string> codes;
  std::vector<size_t> listSizes;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SHOW_STOCK) shown.push_back(*TakeShowStockKey(static_cast<uintptr_t>(lParam)));
    if (msg == WM_FIND_STOCK_CODE) shown.push_back(*TakeShowStockKey(wParam));
    if (msg == WM_SHOW_INDEX_LIST) {
      auto code = TakeIndexListCode(wParam);
      codes.push_back(code ? code.get() : "<none>");
    }
    if (msg == WM_SET_STOCK_LIST) {
      auto payload = TakeStockListPayload(lParam);
      listSizes.push_back(payload ? payload->keys.size() : 0);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

TEST(StockListMessages, PayloadsTravelAsHeapCopies) {
  TestDesktop desk;
  PostSink sink;
  ASSERT_TRUE(sink.CreateEx(0, nullptr, u"sink", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  {
    StockKey key = MakeStockKey("600000", 1, 0, 2);
    ASSERT_TRUE(PostShowStock(sink.m_hWnd, 1, key));
    ASSERT_TRUE(PostFindStockCode(sink.m_hWnd, MakeStockKey("000001", 2, 0)));
    std::memset(&key, 0, sizeof key);  // the message holds its own copy
  }
  ASSERT_TRUE(PostShowIndexList(sink.m_hWnd, "399001-too-long"));
  ASSERT_TRUE(PostShowIndexList(sink.m_hWnd, nullptr));
  QuoteRecord records[3]{};
  ASSERT_TRUE(PostStockList(sink.m_hWnd, nullptr, MakeListPayload(records, 3)));
  ASSERT_TRUE(PostStockList(sink.m_hWnd, nullptr, nullptr));
  desk.RunUntilIdle();
  ASSERT_EQ(sink.shown.size(), 2u);
  EXPECT_STREQ(sink.shown[0].code, "600000");
  EXPECT_EQ(sink.shown[0].market, 1);
  EXPECT_EQ(sink.shown[0].decimals, 2);
  EXPECT_STREQ(sink.shown[1].code, "000001");
  EXPECT_EQ(sink.codes, (std::vector<std::string>{"399001-", "<none>"}));
  EXPECT_EQ(sink.listSizes, (std::vector<size_t>{3, 0}));
  // A post to a window that is gone frees its copy (ASan: no leak).
  EXPECT_FALSE(PostShowStock(reinterpret_cast<HWND>(0x7FFF0001), 0, MakeStockKey("600000", 1, 0)));
  EXPECT_FALSE(PostStockList(reinterpret_cast<HWND>(0x7FFF0001), nullptr, MakeListPayload(records, 1)));
  sink.DestroyWindow();
}

TEST(StockListMessages, InfoLivesInTheEngineZeroFilled) {
  QuoteEngine* engine = CreateQuoteEngine();
  ASSERT_NE(engine, nullptr);
  StockListInfo* info = EngineStockListInfo(engine);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->kind, 0);
  EXPECT_EQ(info->listId, 0);
  EXPECT_EQ(info->code[0], 0);
  info->kind = kListPoolCells;
  EXPECT_EQ(EngineStockListInfo(engine), info);
  EXPECT_EQ(EngineStockListInfo(engine)->kind, kListPoolCells);
  EXPECT_EQ(EngineStockListInfo(nullptr), nullptr);
  FreeQuoteEngine(engine);  // frees the block (ASan)
}

TEST(QuotePageSupport, HandlesByRoleAndCoalescedRefills) {
  QuotePageRequests requests;  // no engine: cancels only zero the handles
  requests.Set(0, 1001);
  requests.Set(3, 1002);
  requests.Set(QuotePageRequests::kMaxRoles, 9);  // out of range: ignored
  EXPECT_EQ(requests.RoleOf(1002), 3);
  EXPECT_EQ(requests.RoleOf(0), -1);
  EXPECT_EQ(requests.RoleOf(9), -1);
  requests.Cancel(3);
  EXPECT_EQ(requests.Get(3), 0);
  EXPECT_EQ(requests.RoleOf(1002), -1);
  requests.CancelAll();
  EXPECT_EQ(requests.Get(0), 0);

  TestDesktop desk;
  PostSink sink;
  ASSERT_TRUE(sink.CreateEx(0, nullptr, u"sink", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  RefillPost refill;
  EXPECT_TRUE(refill.Post(sink.m_hWnd, WM_NULL));
  EXPECT_FALSE(refill.Post(sink.m_hWnd, WM_NULL));  // one pending
  refill.Taken();
  EXPECT_TRUE(refill.Post(sink.m_hWnd, WM_NULL));
  refill.Taken();
  EXPECT_FALSE(refill.Post(reinterpret_cast<HWND>(0x7FFF0001), WM_NULL));  // failed post: not pending
  EXPECT_FALSE(refill.Pending());
  desk.RunUntilIdle();
  sink.DestroyWindow();

  LatestCopy<int> copy;
  int out = -7;
  EXPECT_FALSE(copy.Take(&out));
  EXPECT_EQ(out, -7);
  copy.Put(1);
  copy.Put(2);
  EXPECT_TRUE(copy.Take(&out));
  EXPECT_EQ(out, 2);  // the newest
  EXPECT_FALSE(copy.Take(&out));
}

TEST(TickerTexts, FormattingRows) {
  struct Case {
    const char* name;
    TickerQuote quote;
    const char16_t* texts[4];
    COLORREF color;
  } const cases[] = {
      {"integer part 0", {2, 0.6f, 0.5f, 1000, 123456}, {u"-", u"-", u"-", u"-"}, kTickerFlat},
      {"unchanged", {2, 3000.5f, 3000.5f, 0, 0}, {u"3000.50", u"-", u"0.00%", u"-"}, kTickerFlat},
      {"rise, just below a hundred million", {2, 3010.25f, 3000.0f, 34, 99999999},
       {u"3010.25", u"10.25", u"0.34%", u"10000.00万"}, kTickerRise},
      {"fall, a hundred million", {2, 2990.0f, 3000.0f, -33, 100000000},
       {u"2990.00", u"-10.00", u"-0.33%", u"1.00亿"}, kTickerFall},
      {"three decimals, small turnover", {3, 10.5f, 10.25f, 244, 9999},
       {u"10.500", u"0.250", u"2.44%", u"9999"}, kTickerRise},
  };
  for (const Case& c : cases) {
    const TickerTexts t = FormatTicker(c.quote);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(t.texts[i], c.texts[i]) << c.name << " text " << i;
    for (COLORREF color : t.colors) EXPECT_EQ(color, c.color) << c.name;
  }
}

}  // namespace
