// The texts and colours the panels share: the number texts they call from
// foundation/number_formats.h, and their own colours, times and futures
// nature texts.
#include "foundation/number_formats.h"
#include "stockpage/panel_formats.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::u16string Count(int64_t v) {
  char16_t out[kNumberTextSize];
  FormatCount(v, out, kNumberTextSize);
  return out;
}

std::u16string Text(int (*format)(int32_t, char16_t*, int), int32_t v) {
  char16_t out[kNumberTextSize];
  format(v, out, kNumberTextSize);
  return out;
}

TEST(PanelFormats, Counts) {
  const struct {
    const char* name;
    int64_t value;
    const char16_t* text;
  } cases[] = {
      {"ten thousands", 12345, u"1.23万"},
      {"hundred millions", 123456789, u"1.23亿"},
      {"below ten thousand", 9999, u"9999"},
      {"zero", 0, u"-"},
      {"negative keeps its sign", -12345, u"-1.23万"},
      {"exactly ten thousand", 10000, u"1.00万"},
      {"just below a hundred million", 99999999, u"10000.00万"},
      {"exactly a hundred million", 100000000, u"1.00亿"},
      {"most negative", INT64_MIN, u"-92233720368.55亿"},
  };
  for (const auto& c : cases) EXPECT_EQ(Count(c.value), c.text) << c.name;
}

TEST(PanelFormats, PricesRatiosAndShares) {
  char16_t out[kNumberTextSize];
  const struct {
    const char* name;
    int (*format)(char16_t*);
    const char16_t* text;
  } cases[] = {
      {"two decimals", [](char16_t* o) { return FormatPrice(10.456, 2, o, kNumberTextSize); }, u"10.46"},
      {"three decimals", [](char16_t* o) { return FormatPrice(10.456, 3, o, kNumberTextSize); }, u"10.456"},
      {"other decimals byte", [](char16_t* o) { return FormatPrice(10.456, 7, o, kNumberTextSize); }, u"10.456"},
      {"price 0", [](char16_t* o) { return FormatPrice(0.0, 2, o, kNumberTextSize); }, u"-"},
      {"change 0", [](char16_t* o) { return FormatPriceAlways(0.0, 2, o, kNumberTextSize); }, u"0.00"},
      {"percent a 0", [](char16_t* o) { return FormatChangePercent(0.0, 10.0, o, kNumberTextSize); }, u"0.00%"},
      {"percent b 0", [](char16_t* o) { return FormatChangePercent(10.0, 0.0, o, kNumberTextSize); }, u"0.00%"},
      {"percent", [](char16_t* o) { return FormatChangePercent(10.5, 10.0, o, kNumberTextSize); }, u"5.00%"},
      {"share", [](char16_t* o) { return FormatShare(0.1234f, o, kNumberTextSize); }, u"12.34%"},
  };
  for (const auto& c : cases) {
    c.format(out);
    EXPECT_EQ(std::u16string(out), c.text) << c.name;
  }
  const struct {
    int32_t value;
    const char16_t* text;
    uint32_t color;
  } ratios[] = {{12399, u"1.23", panel::kRed}, {10000, u"1.00", panel::kWhite}, {9999, u"0.99", panel::kGreen}};
  for (const auto& r : ratios) {
    FormatVolumeRatio(r.value, out, kNumberTextSize);
    EXPECT_EQ(std::u16string(out), r.text) << r.value;
    EXPECT_EQ(panel::VolumeRatioColor(r.value), r.color) << r.value;
  }
}

TEST(PanelFormats, ColoursTimesAndNatures) {
  using namespace panel;
  EXPECT_EQ(ColorAgainst(10.1, 10.0), kRed);
  EXPECT_EQ(ColorAgainst(9.9, 10.0), kGreen);
  EXPECT_EQ(ColorAgainst(10.0, 10.0), kWhite);
  EXPECT_EQ(ColorBySign(-0.01), kGreen);
  EXPECT_EQ(ColorBySign(0), kWhite);
  EXPECT_EQ(TickVolumeColor(2, 499), kYellow);
  EXPECT_EQ(TickVolumeColor(2, 500), kMagenta);
  EXPECT_EQ(TickVolumeColor(1, 500), kYellow);
  EXPECT_EQ(DirectionColor('B', kGreen), kRed);
  EXPECT_EQ(DirectionColor(0, kGreen), kGreen);

  EXPECT_EQ(Text(FormatTickTime, 93001), u"09:30:01");
  EXPECT_EQ(Text(FormatTickTime, 0), u"00:00:00");
  EXPECT_EQ(Text(FormatTickTime, 999999), u"99:99:99") << "out of range: its fields";
  EXPECT_EQ(Text(FormatTickTime, -1), u"00:00:-1") << "negative: its fields, no crash";
  EXPECT_EQ(Text(FormatTickTime, INT32_MIN), u"-214748:-36:-48");
  EXPECT_EQ(Text(FormatTickSeconds, 93005), u":05");

  const char16_t* natures[] = {u"", u"空换", u"双平", u"双开", u"空开", u"多平", u"多换", u"多开", u"空平", u""};
  for (int code = 0; code <= 9; ++code) EXPECT_EQ(std::u16string(FuturesNatureText(code)), natures[code]) << code;
  EXPECT_EQ(std::u16string(FuturesNatureText(-1)), u"");
  EXPECT_EQ(std::u16string(FuturesNatureText(255)), u"");
}

}  // namespace
