#include "foundation/number_formats.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

std::u16string Sentinel() { return std::u16string(kNumberTextSize + 4, u'#'); }

// Runs a formatter into a sentinel-filled buffer and checks the reported
// length, the terminator and that nothing beyond it was written.
template <typename F>
std::u16string Render(F format, int outSize = kNumberTextSize) {
  std::u16string buffer = Sentinel();
  const int n = format(buffer.data(), outSize);
  EXPECT_GE(n, 0);
  EXPECT_LT(n, outSize);
  EXPECT_EQ(buffer[n], u'\0');
  for (size_t i = outSize; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], u'#') << "wrote past the room";
  return buffer.substr(0, n);
}

TEST(DisplayFormats, Counts) {
  struct Case {
    const char* name;
    int64_t value;
    CountZero zero;
    std::u16string text;
  };
  const Case cases[] = {
      {"wan", 12345, CountZero::Dash, u"1.23万"},
      {"just below yi", 99999999, CountZero::Dash, u"10000.00万"},
      {"yi", 100000000, CountZero::Dash, u"1.00亿"},
      {"ten-thousand", 10000, CountZero::Dash, u"1.00万"},
      {"plain", 9999, CountZero::Dash, u"9999"},
      {"negative wan", -20000, CountZero::Dash, u"-2.00万"},
      {"negative plain", -9999, CountZero::Dash, u"-9999"},
      {"zero dash", 0, CountZero::Dash, u"-"},
      {"zero digit", 0, CountZero::Digit, u"0"},
      {"32-bit -1 sign-extended", static_cast<int32_t>(-1), CountZero::Dash, u"-1"},
      {"32-bit minimum", INT32_MIN, CountZero::Dash, u"-21.47亿"},
      {"64-bit minimum", INT64_MIN, CountZero::Dash, u"-92233720368.55亿"},
      {"64-bit maximum", INT64_MAX, CountZero::Dash, u"92233720368.55亿"},
      {"large yi", 123456789, CountZero::Dash, u"1.23亿"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render([&](char16_t* o, int s) { return FormatCount(c.value, o, s, c.zero); }), c.text) << c.name;
  }
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatVolume(0, o, s); }), u"-");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatVolume(-20000, o, s); }), u"-2.00万");
}

TEST(DisplayFormats, Prices) {
  struct Case {
    const char* name;
    double price;
    uint8_t decimals;
    std::u16string text;
  };
  const Case cases[] = {
      {"two decimals", 10.25, 2, u"10.25"},   {"three decimals", 10.5, 3, u"10.500"},
      {"decimals 0", 1.25, 0, u"1.250"},       {"decimals 1", 1.25, 1, u"1.250"},
      {"decimals 4", 1.25, 4, u"1.250"},       {"zero", 0.0, 2, u"-"},
      {"negative zero", -0.0, 3, u"-"},        {"tiny not zero", 0.0001, 2, u"0.00"},
      {"negative", -3.5, 2, u"-3.50"},         {"infinity", INFINITY, 2, u"inf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render([&](char16_t* o, int s) { return FormatPrice(c.price, c.decimals, o, s); }), c.text) << c.name;
  }
  // NaN prints the C library's text; what matters is a bounded text.
  EXPECT_FALSE(Render([](char16_t* o, int s) { return FormatPrice(NAN, 2, o, s); }).empty());
  // 1e300 has 301 digits before the point: cut to the cell's 63 units.
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatPrice(1e300, 2, o, s); }).size(), 63u);
}

TEST(DisplayFormats, PercentsAndRatios) {
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatPercent(-123, o, s); }), u"-1.23%");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatPercent(0, o, s); }), u"0.00%");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatPercent(1000, o, s); }), u"10.00%");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatRatio(12345, o, s); }), u"1.23");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatRatio(-5000, o, s); }), u"-0.50");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatRatio(0, o, s); }), u"-");
}

TEST(DisplayFormats, SmallAndMissingBuffers) {
  // Room for three units: the text is cut, the terminator kept.
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatCount(12345, o, s); }, 4), u"1.2");
  EXPECT_EQ(Render([](char16_t* o, int s) { return FormatCount(12345, o, s); }, 1), u"");
  EXPECT_EQ(FormatCount(12345, nullptr, 64), 0);
  std::u16string buffer = Sentinel();
  EXPECT_EQ(FormatPrice(1.0, 2, buffer.data(), 0), 0);
  EXPECT_EQ(FormatPercent(1, buffer.data(), -1), 0);
  EXPECT_EQ(buffer, Sentinel());
}

}  // namespace

namespace {

// The variants the stock-page panels call besides the count and the price.
TEST(PanelNumberTexts, VariantsOfThePanels) {
  struct Case {
    const char* name;
    std::u16string (*render)();
    const char16_t* expected;
  };
  const Case cases[] = {
      {"change of 0 is written", [] { return Render([](char16_t* o, int s) { return FormatPriceAlways(0.0, 2, o, s); }); }, u"0.00"},
      {"change of 0 three decimals", [] { return Render([](char16_t* o, int s) { return FormatPriceAlways(0.0, 3, o, s); }); }, u"0.000"},
      {"negative change", [] { return Render([](char16_t* o, int s) { return FormatPriceAlways(-0.5, 2, o, s); }); }, u"-0.50"},
      {"percent up", [] { return Render([](char16_t* o, int s) { return FormatChangePercent(11.0, 10.0, o, s); }); }, u"10.00%"},
      {"percent down", [] { return Render([](char16_t* o, int s) { return FormatChangePercent(9.5, 10.0, o, s); }); }, u"-5.00%"},
      {"percent a 0", [] { return Render([](char16_t* o, int s) { return FormatChangePercent(0.0, 10.0, o, s); }); }, u"0.00%"},
      {"percent b 0", [] { return Render([](char16_t* o, int s) { return FormatChangePercent(10.0, 0.0, o, s); }); }, u"0.00%"},
      {"percent b negative", [] { return Render([](char16_t* o, int s) { return FormatChangePercent(10.0, -1.0, o, s); }); }, u"0.00%"},
      {"percent NaN", [] { return Render([](char16_t* o, int s) { return FormatChangePercent(NAN, 10.0, o, s); }); }, u"0.00%"},
      {"ratio truncates", [] { return Render([](char16_t* o, int s) { return FormatVolumeRatio(12399, o, s); }); }, u"1.23"},
      {"ratio one", [] { return Render([](char16_t* o, int s) { return FormatVolumeRatio(10000, o, s); }); }, u"1.00"},
      {"ratio below one", [] { return Render([](char16_t* o, int s) { return FormatVolumeRatio(9999, o, s); }); }, u"0.99"},
      {"ratio 0", [] { return Render([](char16_t* o, int s) { return FormatVolumeRatio(0, o, s); }); }, u"0.00"},
      {"ratio most negative", [] { return Render([](char16_t* o, int s) { return FormatVolumeRatio(INT32_MIN, o, s); }); }, u"-214748.36"},
      {"share", [] { return Render([](char16_t* o, int s) { return FormatShare(0.1234f, o, s); }); }, u"12.34%"},
      {"share 0", [] { return Render([](char16_t* o, int s) { return FormatShare(0.0, o, s); }); }, u"0.00%"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.render(), c.expected) << c.name;
}

}  // namespace
