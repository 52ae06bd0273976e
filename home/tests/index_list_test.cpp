#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "controls/control_messages.h"
#include "home/index_list_wnd.h"
#include "home/tests/home_test_support.h"
#include "marketdata/minute_decoders.h"
#include "marketdata/request_builders.h"
#include "marketdata/trading_hours.h"
#include "tools/simbroker/http/sim_http_services.h"
#include "marketdata/tests/loopback_test_support.h"

namespace {

using home_test::Recorder;
using home_test::U8;

std::unique_ptr<MinuteArea> Area(int points, float last, float previousClose, int decimals = 2) {
  auto a = std::make_unique<MinuteArea>();
  std::memset(a.get(), 0, sizeof(MinuteArea));
  a->key.decimals = static_cast<uint8_t>(decimals);
  a->previousClose = previousClose;
  a->pointsHeld = points;
  for (int i = 0; i < points && i < kMinutePoints; ++i) {
    a->points[i].price = previousClose + (last - previousClose) * float(i + 1) / float(points);
    a->points[i].average = previousClose;
    a->points[i].volume = 1000 + i * 10;
  }
  if (points > 0) a->points[points - 1].price = last;
  return a;
}

TEST(IndexStripLayout, RowsAndChartFollowTheOpenRow) {
  IndexStripLayout l{};
  ASSERT_TRUE(LayoutIndexStrip(400, 300, 24, 1, &l));
  EXPECT_EQ(l.chart.bottom - l.chart.top, 195);  // 300 - 2 - 75 - 28
  EXPECT_EQ(l.chart.top, 77);                    // 28 + 24 + 1 + 24
  EXPECT_EQ(l.rows[0].top, 28);
  EXPECT_EQ(l.rows[1].top, 53);
  EXPECT_EQ(l.rows[2].top, 273);
  EXPECT_EQ(l.rows[0].left, 1);
  EXPECT_EQ(l.rows[0].right, 398);
  ASSERT_TRUE(LayoutIndexStrip(400, 300, 24, 0, &l));
  EXPECT_EQ(l.chart.top, 52);
  EXPECT_EQ(l.rows[1].top, 52 + 195 + 1);
  EXPECT_EQ(l.rows[2].top, l.rows[1].bottom + 1);
  ASSERT_TRUE(LayoutIndexStrip(400, 300, 24, 2, &l));
  EXPECT_EQ(l.rows[2].top, 28 + 24 + 1 + 24 + 1);
  EXPECT_EQ(l.chart.top, l.rows[2].bottom);
  EXPECT_EQ(l.chart.bottom, 297);
  // a window lower than the rows: the chart has no height
  ASSERT_TRUE(LayoutIndexStrip(400, 60, 24, 1, &l));
  EXPECT_EQ(l.chart.bottom - l.chart.top, 0);
  const IndexStripLayout before = l;
  EXPECT_FALSE(LayoutIndexStrip(400, 300, 24, 3, &l));
  EXPECT_FALSE(LayoutIndexStrip(400, 300, 24, -1, &l));
  EXPECT_EQ(std::memcmp(&before, &l, sizeof l), 0);
}

TEST(IndexStripLayout, RowTextsAndColours) {
  struct Case {
    int points;
    float last, previousClose;
    int decimals;
    const char *price, *change, *percent;
    uint32_t color;
  };
  const Case cases[] = {
      {5, 3000.5f, 2990.0f, 2, "3000.50", "10.50", "0.35%", 0xFF0000},
      {5, 2990.0f, 2990.0f, 2, "2990.00", "-", "0.00%", 0x333333},
      {5, 2980.0f, 2990.0f, 2, "2980.00", "-10.00", "-0.33%", 0x229100},
      {5, 12.345f, 12.0f, 3, "12.345", "0.345", "2.88%", 0xFF0000},
      {0, 0, 2990.0f, 2, "-", "-", "-", 0x333333},  // no point yet
      {5, 0.0f, 10.0f, 2, "-", "-10.00", "0.00%", 0x229100},  // a price of 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.price);
    auto area = Area(c.points, c.last, c.previousClose, c.decimals);
    const IndexRowTexts t = FormatIndexRow(area.get());
    EXPECT_EQ(U8(t.price), c.price);
    EXPECT_EQ(U8(t.change), c.change);
    EXPECT_EQ(U8(t.percent), c.percent);
    EXPECT_EQ(t.color, c.color);
  }
  // counts beyond the area's room are clamped
  auto area = Area(3, 11.0f, 10.0f);
  area->pointsHeld = 1 << 20;
  area->points[kMinutePoints - 1].price = 10.5f;
  EXPECT_EQ(U8(FormatIndexRow(area.get()).price), "10.50");
  EXPECT_EQ(U8(FormatIndexRow(nullptr).price), "-");
}

// top (records notices) > a > b > the strip.
class IndexStripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_test::UseProgramFolder();
    ASSERT_TRUE(top_.CreateEx(0, nullptr, u"top", WS_POPUP | WS_VISIBLE, CRect(0, 0, 420, 320), nullptr, 0));
    ASSERT_TRUE(a_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 420, 320), &top_, 1));
    ASSERT_TRUE(b_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 420, 320), &a_, 2));
    ASSERT_TRUE(strip_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 300), &b_, 3));
    desk_.RunUntilIdle();
  }
  void TearDown() override { top_.DestroyWindow(); }

  TestDesktop desk_;
  Recorder top_{{WM_LIST_COMMAND_NOTICE}};
  CWnd a_, b_;
  CIndexListWnd strip_;
};

TEST_F(IndexStripTest, ClicksStrictlyInsideARowOpenIt) {
  EXPECT_EQ(strip_.RowHeight(), 24);  // no row picture
  EXPECT_EQ(strip_.OpenRow(), 0);
  const RECT r2 = strip_.RowRect(2);
  desk_.Click(strip_.GetSafeHwnd(), r2.left + 30, r2.top);  // on the border line
  desk_.RunUntilIdle();
  EXPECT_EQ(strip_.OpenRow(), 0);
  desk_.Click(strip_.GetSafeHwnd(), r2.left, r2.top + 5);
  desk_.RunUntilIdle();
  EXPECT_EQ(strip_.OpenRow(), 0);
  desk_.Click(strip_.GetSafeHwnd(), r2.left + 30, r2.top + 5);
  desk_.RunUntilIdle();
  EXPECT_EQ(strip_.OpenRow(), 2);
  EXPECT_EQ(strip_.ChartRectOf().top, strip_.RowRect(2).bottom);
  const RECT r1 = strip_.RowRect(1);
  desk_.Click(strip_.GetSafeHwnd(), r1.left + 100, r1.top + 12);
  desk_.RunUntilIdle();
  EXPECT_EQ(strip_.OpenRow(), 1);
  EXPECT_EQ(strip_.ChartRectOf().top, 77);
}

TEST_F(IndexStripTest, RowsPaintNamesAndColouredValuesAndTheButtonNotifiesTheTop) {
  auto sh = Area(120, 3000.5f, 2990.0f);
  auto sz = Area(120, 9500.0f, 9566.09f);
  strip_.SetShanghaiMinuteData(sh.get(), nullptr);
  strip_.SetShenzhenMinuteData(sz.get(), nullptr);
  sh.reset();  // the strip keeps its own copy
  desk_.RunUntilIdle();
  const QImage img = desk_.Snapshot(strip_.GetSafeHwnd());
  const RECT r0 = strip_.RowRect(0), r1 = strip_.RowRect(1), r2 = strip_.RowRect(2);
  const int f = (r0.right - r0.left - 20) / 4;
  EXPECT_GT(home_test::CountNear(img, 0x00236A, r0.left + 20, r0.top, r0.left + 20 + f, r0.bottom), 20);
  EXPECT_GT(home_test::CountNear(img, 0xFF0000, r0.left + 20 + f, r0.top, r0.right, r0.bottom), 20);
  EXPECT_GT(home_test::CountNear(img, 0x229100, r1.left + 20 + f, r1.top, r1.right, r1.bottom), 20);
  // the row without data shows only its name
  EXPECT_EQ(home_test::CountNear(img, 0x333333, r2.left + 20 + f, r2.top, r2.right, r2.bottom, 0x10), 0);
  // the closed rows' separators
  EXPECT_EQ(home_test::Rgb(img, 50, r1.bottom - 2), 0x728FB2u);
  EXPECT_EQ(home_test::Rgb(img, 50, r1.bottom - 1), 0xFFFFFFu);

  CRect button;
  strip_.ListButton()->GetWindowRect(&button);
  CRect origin;
  strip_.GetWindowRect(&origin);
  EXPECT_EQ(button.right - origin.left, 400 - 10);
  EXPECT_EQ(button.bottom - origin.top, 28);
  desk_.Click(strip_.GetSafeHwnd(), button.CenterPoint().x - origin.left, button.CenterPoint().y - origin.top);
  desk_.RunUntilIdle();
  const auto notices = top_.Of(WM_LIST_COMMAND_NOTICE);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].wParam, 1001u);
}

// The three indexes requested from the real engine against simbroker's
// market-data server; the replies reach the strip on the connection's thread.
struct StripOwner : engine_test::LoopbackOwner {
  CIndexListWnd* strip = nullptr;
  int replies[3] = {};
  static void OnReply(void* owner, PendingRequest* entry) {
    auto* self = static_cast<StripOwner*>(owner);
    QuoteEngine* engine = self->engine;
    for (int row = 0; row < 3; ++row) {
      if (entry->area != engine->minuteAreas[row]) continue;
      auto* area = static_cast<const MinuteArea*>(entry->area);
      if (row == 0) self->strip->SetShanghaiMinuteData(area, &engine->tradingHours);
      if (row == 1) self->strip->SetShenzhenMinuteData(area, &engine->tradingHours);
      if (row == 2) self->strip->SetHs300MinuteData(area, &engine->tradingHours);
      self->Note([&] { ++self->replies[row]; });
    }
  }
};

class IndexStripServed : public engine_test::LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    desk_ = std::make_unique<TestDesktop>();
    home_test::UseProgramFolder();
    UseOwner(&owner_);
    // The sessions of each market, as the quote view loads them from the
    // server list.
    simhttp::SimHttpLayout layout;
    layout.sites = simhttp::SimHttpOptions{}.sites;
    const std::string list = simhttp::BuildServerList(layout, 0, simhttp::SimHttpScenario{});
    const size_t from = list.find("<TradingHours>"), to = list.find("</TradingHours>");
    ASSERT_NE(from, std::string::npos);
    LoadTradingHours(list.substr(from + 14, to - from - 14).c_str(), &engine->tradingHours);
    ASSERT_GT(engine->tradingHours.count, 0);
    ASSERT_TRUE(StartServer());
    Connect();
    ASSERT_TRUE(owner_.WaitFor([&] { return owner_.readyEvents > 0; }));
  }
  void TearDown() override {
    CloseQuoteConnection(engine);
    if (host_.GetSafeHwnd() != nullptr) host_.DestroyWindow();
    desk_.reset();
    LoopbackFixture::TearDown();
  }
  std::unique_ptr<TestDesktop> desk_;
  StripOwner owner_;
  CWnd host_;
  CIndexListWnd strip_;
};

TEST_F(IndexStripServed, TheThreeIndexesFillFromTheEngineAndEachRowOpens) {
  for (int i = 0; i < 90; ++i) server->Tick();  // a morning of trading
  ASSERT_TRUE(host_.CreateEx(0, nullptr, u"strip", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 420, 300),
                             nullptr, 0));
  ASSERT_TRUE(strip_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 420, 300), &host_, 0));
  owner_.strip = &strip_;
  const struct {
    const char* code;
    int market;
  } indexes[3] = {{"1A0001", 1}, {"399001", 2}, {"1A0300", 1}};
  for (int row = 0; row < 3; ++row)
    ASSERT_NE(RequestMinuteData(engine, StripOwner::OnReply, &owner_, 48, indexes[row].code, indexes[row].market, 1, 1,
                                0xFFFF, 0, 0, row),
              0);
  ASSERT_TRUE(owner_.WaitFor([&] { return owner_.replies[0] > 0 && owner_.replies[1] > 0 && owner_.replies[2] > 0; }));
  server->Tick();  // one push
  ASSERT_TRUE(owner_.WaitFor([&] { return owner_.replies[0] > 1 && owner_.replies[1] > 1 && owner_.replies[2] > 1; }));
  desk_->RunUntilIdle();

  for (int row : {0, 1, 2}) {
    const RECT r = strip_.RowRect(row);
    desk_->Click(strip_.GetSafeHwnd(), r.left + 40, (r.top + r.bottom) / 2);
    desk_->RunUntilIdle();
    ASSERT_EQ(strip_.OpenRow(), row);
    const QImage img = desk_->Snapshot(host_.GetSafeHwnd());
    const RECT c = strip_.ChartRectOf();
    // the chart draws its price line in the open row's place
    int drawn = 0;
    for (int y = c.top + 4; y < c.bottom - 2; ++y)
      for (int x = c.left + 2; x < c.right - 2; ++x) drawn += home_test::Rgb(img, x, y) != 0xECF4FFu;
    EXPECT_GT(drawn, 500) << row;
    EXPECT_TRUE(desk_->SavePng(host_.GetSafeHwnd(),
                               home_test::SnapshotFolder() + "/index_strip_row" + std::to_string(row) + ".png"));
  }
  simbroker::SimStock stock;
  ASSERT_TRUE(server->Data().Find("1A0001", 1, &stock));
  std::lock_guard<std::mutex> hold(owner_.lock);
  EXPECT_GT(stock.last, 0);
}

}  // namespace
