#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "charts/kline_chart.h"
#include "charts/kline_chart_indicators.h"
#include "charts/kline_markers.h"
#include "charts/kline_rel_data.h"
#include "charts/tests/kline_test_support.h"
#include "marketdata/quote_areas.h"

namespace {

// 200 bars in an 800-pixel chart (90 visible), scrolled to bar `first`.
struct MarkFixture : KFixture {
  explicit MarkFixture(int layout = 2, int firstShown = 20) : KFixture(800, 200, 0, layout, 560) {
    chart->scrollToEnd = 0;
    chart->firstVisible = firstShown;
    CalcKLineIndicators(chart.get());
  }
  std::string Date(int bar) const {
    char text[16] = {};
    FormatKLineBarDate(chart.get(), area->bars[bar].time, text);
    return text;
  }
  // "YYYY-MM-DD hh:mm:ss" of a bar, as news items carry it.
  std::string NewsTime(int bar) const {
    const std::string d = Date(bar);
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + " 09:30:00";
  }
  int CentreX(int bar) const { return KLineBarCentreX(chart.get(), bar - chart->firstVisible); }
};

struct NewsList {
  std::vector<NewsRecord> records;
  NewsListArea area{};
  void Add(const std::string& time, const char* title) {
    NewsRecord r{};
    std::snprintf(r.pubTime, sizeof r.pubTime, "%s", time.c_str());
    std::snprintf(r.title, sizeof r.title, "%s", title);
    records.push_back(r);
    area.records = records.data();
    area.recordCount = static_cast<int32_t>(records.size());
  }
};

TEST(KLineMarkers, NewsItemsOfOneDayGiveOneDot) {
  MarkFixture f;
  NewsList news;
  news.Add(f.NewsTime(40), "a");
  news.Add(f.NewsTime(40), "b");
  news.Add(f.NewsTime(30), "c");
  news.Add(f.NewsTime(40), "d");
  news.Add("1999-01-01 09:00:00", "not on screen");
  news.Add(f.NewsTime(5), "left of the view");
  news.Add(f.NewsTime(150), "right of the view");
  SetKLineNewsMarks(f.chart.get(), &news.area);
  const NewsMark* m = f.chart->newsMarks;
  ASSERT_EQ(f.chart->newsMarkCount, 7);
  EXPECT_STREQ(m[0].date, f.Date(40).c_str());
  EXPECT_EQ(m[0].sameDayIndex, 1);
  EXPECT_EQ(m[1].sameDayIndex, 2);
  EXPECT_EQ(m[3].sameDayIndex, 3);
  EXPECT_EQ(m[2].sameDayIndex, 1);
  EXPECT_EQ(m[0].visible + m[1].visible + m[3].visible, 1);
  EXPECT_EQ(m[3].visible, 1);
  const int x = f.CentreX(40);
  EXPECT_EQ(m[3].rect.left, x - 5);
  EXPECT_EQ(m[3].rect.top, 20);
  EXPECT_EQ(m[3].rect.right, x + 5);
  EXPECT_EQ(m[3].rect.bottom, 30);
  // Not on screen: x 67, never drawn (left <= 72).
  EXPECT_EQ(m[4].rect.left, 62);
  EXPECT_EQ(m[5].rect.left, 62);
  // A date of a loaded bar beyond the visible ones clamps right of the strip.
  EXPECT_EQ(m[6].rect.left, f.chart->topStripRect.right);
  EXPECT_EQ(m[6].rect.right, f.chart->topStripRect.right + 10);
}

TEST(KLineMarkers, LayoutRunsInsideEveryRecalculation) {
  MarkFixture f;
  NewsList news;
  news.Add(f.NewsTime(100), "n");
  SetKLineNewsMarks(f.chart.get(), &news.area);
  KLineRatingRow rating{};
  std::snprintf(rating.pubDate, sizeof rating.pubDate, "%s", f.Date(100).c_str());
  rating.ratingSide = 1;
  f.chart->ratingItems = &rating;
  f.chart->ratingCount = 1;
  SetKLineRatingMarks(f.chart.get());
  SetKLineMainOverlay(f.chart.get(), 1);
  const int dotBefore = f.chart->newsMarks[0].rect.left;
  const int flagBefore = f.chart->ratingMarks[0].arrow[0].x;
  EXPECT_EQ(dotBefore, f.CentreX(100) - 5);
  EXPECT_EQ(flagBefore, f.CentreX(100));
  ZoomOutKLineChart(f.chart.get());
  EXPECT_NE(f.chart->newsMarks[0].rect.left, dotBefore);
  EXPECT_EQ(f.chart->newsMarks[0].rect.left, f.CentreX(100) - 5);
  EXPECT_EQ(f.chart->ratingMarks[0].arrow[0].x, f.CentreX(100));
  // Only the day period in layouts 2 and 3 places news dots.
  f.chart->paneLayout = 0;
  f.chart->newsMarks[0].rect = {};
  CalcKLineIndicators(f.chart.get());
  EXPECT_EQ(f.chart->newsMarks[0].rect.left, 0);
}

TEST(KLineMarkers, RatingsGroupByDateAndKind) {
  MarkFixture f;
  std::vector<KLineRatingRow> rows(4);
  const int sides[] = {1, 1, 0, 1};
  const int bars[] = {75, 75, 75, 20};
  for (int i = 0; i < 4; ++i) {
    std::snprintf(rows[i].pubDate, sizeof rows[i].pubDate, "%s", f.Date(bars[i]).c_str());
    rows[i].ratingSide = sides[i];
  }
  f.chart->ratingItems = rows.data();
  f.chart->ratingCount = 4;
  f.chart->mainOverlay = 1;
  SetKLineRatingMarks(f.chart.get());
  const RatingMark* m = f.chart->ratingMarks;
  EXPECT_EQ(m[0].visible, 0);
  EXPECT_EQ(m[1].visible, 1);
  EXPECT_STREQ(m[1].countText, "2");
  EXPECT_EQ(m[2].visible, 1);
  EXPECT_STREQ(m[2].countText, "1");
  // The first visible bar's flag sits at x 69: its right corner is not right of 72.
  EXPECT_EQ(m[3].arrow[0].x, 69);
  EXPECT_EQ(m[3].arrow[2].x, 72);
  // Kind 1 above the high, kind 0 below the low, 10 pixels off the wick.
  const int x = f.CentreX(75);
  int yHigh = 0, yLow = 0;
  for (int k = 0; k < f.chart->upCount; ++k)
    if (f.chart->upWicks[k].x == x) yHigh = f.chart->upWicks[k].yHigh, yLow = f.chart->upWicks[k].yLow;
  ASSERT_NE(yHigh, 0);
  EXPECT_EQ(m[1].arrow[0].y, yHigh - 10);
  EXPECT_EQ(m[1].arrow[1].y, yHigh - 16);
  EXPECT_EQ(m[2].arrow[0].y, yLow + 10);
  EXPECT_EQ(m[2].arrow[1].y, yLow + 16);
  EXPECT_EQ(m[1].stemRect.left, x - 1);
  EXPECT_EQ(m[1].stemRect.right, x + 2);
  EXPECT_EQ(m[1].labelRect.left, x + 2);
  EXPECT_EQ(m[1].labelRect.right - m[1].labelRect.left, 50);
  EXPECT_EQ(m[1].labelRect.bottom - m[1].labelRect.top, 18);
}

TEST(KLineMarkers, FlagsNearThePaneEdgesArePushedInWithShorterStems) {
  struct Case {
    int o, stem, shift;  // shift: how far y moves inwards (-1: to the pane edge +- 20)
  } cases[] = {{0, 30, 0}, {5, 30, 5}, {10, 30, 10}, {11, 29, 11}, {15, 25, 15}, {20, 20, 20}, {21, 20, -1}, {60, 20, -1}};
  for (const Case& k : cases) {
    for (int kind : {1, 0}) {
      MarkFixture f;
      KLineRatingRow row{};
      std::snprintf(row.pubDate, sizeof row.pubDate, "%s", f.Date(50).c_str());
      row.ratingSide = kind;
      f.chart->ratingItems = &row;
      f.chart->ratingCount = 1;
      SetKLineRatingMarks(f.chart.get());
      KLineChart* c = f.chart.get();
      const int x = f.CentreX(50);
      const int top = c->mainTop, bottom = c->mainTop + c->mainHeight;
      // Place the wick so that the flag overshoots the pane by o.
      const int y = kind == 1 ? top + 40 - k.o : bottom - 40 + k.o;
      for (int i = 0; i < c->upCount; ++i)
        if (c->upWicks[i].x == x) (kind == 1 ? c->upWicks[i].yHigh : c->upWicks[i].yLow) = kind == 1 ? y + 10 : y - 10;
      LayoutKLineRatingMarks(c);
      const RatingMark& m = c->ratingMarks[0];
      const int expectedY = k.shift < 0 ? (kind == 1 ? top + 20 : bottom - 20) : (kind == 1 ? y + k.shift : y - k.shift);
      SCOPED_TRACE(testing::Message() << "o " << k.o << " kind " << kind);
      EXPECT_EQ(m.arrow[0].y, expectedY);
      const int stem = m.stemRect.bottom - m.stemRect.top + 6;
      EXPECT_EQ(stem, k.stem);
      if (kind == 1) {
        EXPECT_GE(m.labelRect.top, top);
        EXPECT_EQ(m.labelRect.top, m.stemRect.top);
      } else {
        EXPECT_LE(m.labelRect.bottom, bottom);
        EXPECT_EQ(m.labelRect.bottom, m.stemRect.bottom);
      }
    }
  }
}

struct FundFixture : MarkFixture {
  std::vector<KLineFinanceRow> rows;
  FundFixture() : MarkFixture(3) {}
  void Add(const std::string& begin, const std::string& end, const char* a, const char* b, const char* cc) {
    KLineFinanceRow r{};
    std::snprintf(r.startDate, sizeof r.startDate, "%s", begin.c_str());
    std::snprintf(r.endDate, sizeof r.endDate, "%s", end.c_str());
    std::snprintf(r.basicEPS, sizeof r.basicEPS, "%s", a);
    std::snprintf(r.operRevenue, sizeof r.operRevenue, "%s", b);
    std::snprintf(r.netCashFlowPS, sizeof r.netCashFlowPS, "%s", cc);
    rows.push_back(r);
  }
  void Apply() {
    chart->fundKind = 1;
    chart->financeRows = rows.data();
    chart->financeRowCount = static_cast<int32_t>(rows.size());
    ClearKLineFundColumns(chart.get());
    SetKLineFundRows(chart.get());
  }
};

TEST(KLineMarkers, FundamentalsColumnsFromTheirDates) {
  FundFixture f;
  f.Add("19990101", f.Date(30), "1.00", "200", "0.5");     // starts left of the view
  f.Add(f.Date(40), f.Date(62), "-0.50", "100", "0.001");  // 22 bars apart
  f.Add(f.Date(62), f.Date(83), "0.25", "50", "-0.2");     // 21 bars apart
  f.Apply();
  const KLineChart* c = f.chart.get();
  EXPECT_EQ(c->fundColumns[0].rect.left, 72);
  EXPECT_EQ(c->fundColumns[0].rect.right, f.CentreX(30));
  EXPECT_EQ(c->fundColumns[0].rect.top, c->fundTop + 9);
  EXPECT_EQ(c->fundColumns[0].rect.bottom, c->fundTop + 9 + c->fundHeight / 3);
  EXPECT_EQ(c->fundColumns[1].wide, 1);
  EXPECT_EQ(c->fundColumns[2].wide, 0);
  EXPECT_EQ(c->fundColumns[1].rect.left, f.CentreX(40));
  // Bars: 20 wide, spaced by (right - left - 60) / 4.
  const int left = f.CentreX(40), right = f.CentreX(62), s = (right - left - 60) / 4;
  EXPECT_EQ(c->fundCellsA[1].barRect.left, left + s);
  EXPECT_EQ(c->fundCellsB[1].barRect.left, left + s + 20 + s);
  EXPECT_EQ(c->fundCellsC[1].barRect.left, left + 3 * s + 40);
  // Heights scale by the largest absolute value of each table.
  const int half = c->fundHeight / 3, baseline = c->fundTop + c->fundHeight - c->fundHeight / 3;
  EXPECT_EQ(c->fundCellsA[0].barRect.bottom, baseline);
  EXPECT_EQ(c->fundCellsA[0].barRect.top, baseline - (half - 18));
  EXPECT_EQ(c->fundCellsB[1].barRect.top, baseline - (half - 18) / 2);
  EXPECT_EQ(c->fundCellsA[0].textRect.bottom, c->fundCellsA[0].barRect.top);
  EXPECT_EQ(c->fundCellsA[0].textRect.bottom - c->fundCellsA[0].textRect.top, 18);
  // A negative value hangs from the baseline with its text underneath.
  EXPECT_EQ(c->fundCellsA[1].barRect.top, baseline);
  EXPECT_EQ(c->fundCellsA[1].barRect.bottom, baseline + (half - 18) / 2);
  EXPECT_EQ(c->fundCellsA[1].textRect.top, c->fundCellsA[1].barRect.bottom);
  // A tiny value still gets 2 pixels.
  EXPECT_EQ(c->fundCellsC[1].barRect.bottom - c->fundCellsC[1].barRect.top, 2);
  EXPECT_STREQ(c->fundCellsB[0].text, "200");
  // Nothing leaves the column.
  for (int i = 0; i < 3; ++i)
    for (const FundCell* t : {c->fundCellsA, c->fundCellsB, c->fundCellsC}) {
      EXPECT_GE(t[i].textRect.left, 72);
      EXPECT_LE(t[i].textRect.right, c->fundColumns[i].rect.right);
    }
}

TEST(KLineMarkers, AllZeroFundamentalsAndHolderRows) {
  FundFixture f;
  f.Add(f.Date(40), f.Date(70), "0", "0.00", "0");
  f.Apply();
  const KLineChart* c = f.chart.get();
  for (const FundCell* t : {c->fundCellsA, c->fundCellsB, c->fundCellsC})
    EXPECT_EQ(t[0].barRect.bottom - t[0].barRect.top, 0);
  // Holder rows: two tables, no lift, no third table.
  KLineHolderRow h{};
  std::snprintf(h.startDate, sizeof h.startDate, "%s", f.Date(40).c_str());
  std::snprintf(h.endDate, sizeof h.endDate, "%s", f.Date(70).c_str());
  std::snprintf(h.totalSH, sizeof h.totalSH, "45000");
  std::snprintf(h.avgShare, sizeof h.avgShare, "9000");
  f.chart->fundKind = 2;
  f.chart->holderRows = &h;
  f.chart->holderRowCount = 1;
  ClearKLineFundColumns(f.chart.get());
  SetKLineFundRows(f.chart.get());
  EXPECT_EQ(c->fundCellsA[0].barRect.bottom, c->fundTop + c->fundHeight);
  EXPECT_EQ(c->fundCellsA[0].barRect.top, c->fundTop + c->fundHeight - (2 * c->fundHeight / 3 - 18));
  EXPECT_STREQ(c->fundCellsC[0].text, "");
}

}  // namespace
