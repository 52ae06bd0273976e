// The K-line view over what the terminal receives: day bars, both level-2
// supplements, the ex-rights list and the news marks of a stock fetched by
// the real engine from the simulated market-data server on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "charts/kline_chart.h"
#include "charts/kline_view.h"
#include "marketdata/indicator_workspace.h"
#include "marketdata/request_builders.h"
#include "marketdata/tests/loopback_test_support.h"
#include "platform/window/win_desktop.h"
#include "tools/simbroker/bar_reply_builders.h"

using namespace engine_test;

namespace {

struct ServedOwner : LoopbackOwner {
  std::set<int> answered;  // handles with a reply
  static void OnReply(void* owner, PendingRequest* entry) {
    auto* self = static_cast<ServedOwner*>(owner);
    self->Note([&] { self->answered.insert(entry->sequence); });
  }
};

class KLineViewServed : public LoopbackFixture {
 protected:
  void SetUp() override {
    LoopbackFixture::SetUp();
    UseOwner(&owner);
    ASSERT_TRUE(StartServer());
    Connect();
    ASSERT_TRUE(owner.WaitFor([&] { return owner.readyEvents > 0; }));
  }
  void TearDown() override {
    view.reset();
    if (workspace) FreeIndicatorWorkspace(workspace);
    LoopbackFixture::TearDown();
  }
  TestDesktop desk;
  ServedOwner owner;
  std::unique_ptr<CKLineView> view;
  IndicatorWorkspace* workspace = nullptr;
};

TEST_F(KLineViewServed, StockPageBatchDrawsWhatTheServerSent) {
  simbroker::SimStock stock;
  ASSERT_TRUE(server->Data().Find("600000", 1, &stock));
  const int32_t date = server->Data().TradeDate();
  const auto served = simbroker::ServedBars(stock, date, 33);
  ASSERT_GE(served.size(), 512u);
  auto yyyymmdd = [](uint32_t t) { return static_cast<uint32_t>((t >> 20) * 10000 + (t >> 16 & 0xF) * 100 + (t >> 11 & 0x1F)); };
  const uint32_t from = yyyymmdd(served[served.size() - 90].time), to = yyyymmdd(served.back().time);

  const char* code = stock.code.c_str();
  const int handles[] = {
      RequestKLineBars(engine, ServedOwner::OnReply, &owner, 33, code, stock.market, 0, 512, 0, 1, 0),
      RequestKLineSupplementA(engine, ServedOwner::OnReply, &owner, 33, code, stock.market, -1, 0, 512, 0, 1, 0),
      RequestKLineSupplementB(engine, ServedOwner::OnReply, &owner, 33, code, stock.market, -1, 0, 512, 0, 1, 0),
      RequestExRights(engine, ServedOwner::OnReply, &owner, code, stock.market, 0, 0, 0),
      RequestKLineNewsMarks(engine, ServedOwner::OnReply, &owner, code, stock.market, 0, 0, from, 0, to, 0, 1),
  };
  ASSERT_TRUE(owner.WaitFor([&] {
    for (int h : handles)
      if (!owner.answered.count(h)) return false;
    return true;
  }));
  const KLineArea* area = engine->klineAreas[0];
  const NewsListArea* news = engine->newsListAreas[1];
  ASSERT_EQ(area->barCount, 512);
  ASSERT_GE(news->recordCount, 5);

  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, u"parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 1400, 800),
                              nullptr, 0));
  workspace = CreateIndicatorWorkspace();
  view = std::make_unique<CKLineView>();
  ASSERT_TRUE(view->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1400, 800), &parent, 0));
  view->SetPaneCount(2);
  view->SetIndicator(1);
  view->ShowStockNameInTitle(1);
  view->SetExRightsList(engine->exRightsArea);
  view->SetMineNews(news);
  view->SetBars(area, workspace, true);
  desk.RunUntilIdle();

  // The newest bar is today's quote, at the right end of the chart.
  const KLineChart* chart = view->Chart();
  EXPECT_EQ(chart->firstVisible + GetKLineVisibleCount(chart), area->end);
  EXPECT_FLOAT_EQ(area->bars[area->end - 1].close, static_cast<float>(stock.last));
  // Every news day has one dot (the server spread the items over the asked
  // 90 days, all on screen), however many items the day has.
  std::set<std::string> days, dots;
  for (int i = 0; i < news->recordCount; ++i) days.insert(std::string(news->records[i].pubTime, 10));
  for (int i = 0; i < chart->newsMarkCount; ++i) {
    if (!chart->newsMarks[i].visible) continue;
    EXPECT_TRUE(dots.insert(chart->newsMarks[i].date).second) << "two dots on one day";
  }
  EXPECT_EQ(dots.size(), days.size());
  EXPECT_GE(days.size(), 4u);

  if (const char* folder = std::getenv("ORV_SNAPSHOT_DIR")) {
    desk.Click(view->m_hWnd, 1000, 200);  // cross-hair and tip
    desk.RunUntilIdle();
    EXPECT_TRUE(desk.SavePng(parent.m_hWnd, std::string(folder) + "/kline_view_served_600000.png"));
  }
  view.reset();
  parent.DestroyWindow();
}

}  // namespace
