// The level-2 panels: the refusal text, the queue header and grids, the
// cancellation lists, and the clamping of the server's counts.
#include "stockpage/tests/board_test_support.h"

#include <cstring>

using namespace board_test;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

OrderQueueArea Queue(int asks, int bids) {
  OrderQueueArea q{};
  std::strcpy(q.key.code, "600000");
  q.key.decimals = 2;
  q.referencePrice = 10.0f;
  q.secondPrice = 10.01f;
  q.secondTotal = 5300;
  q.secondCount = static_cast<int8_t>(asks);
  q.firstPrice = 10.0f;
  q.firstTotal = 1200;
  q.firstCount = static_cast<int8_t>(bids);
  for (int i = 0; i < kFirstQueueRoom; ++i) q.firstValues[i] = 2000 + i;
  for (int i = 0; i < kSecondQueueRoom; ++i) q.secondValues[i] = 1000 + i;
  return q;
}

std::unique_ptr<CancellationRecord> Cancels(int count) {
  auto r = std::make_unique<CancellationRecord>();
  *r = CancellationRecord{};
  r->key.decimals = 2;
  r->entryCount = count;
  for (int i = 0; i < kCancellationEntries; ++i) r->entries[i] = {10.0f + i / 100.0f, 100 + i, 93000 + i};
  return r;
}

// Calls whose text is drawn in the colour.
std::vector<TextCall> InColor(const std::vector<TextCall>& calls, uint32_t color) {
  std::vector<TextCall> out;
  for (const TextCall& c : calls)
    if (c.color == color) out.push_back(c);
  return out;
}

class TrustViews : public testing::Test {
 protected:
  std::unique_ptr<TestDesktop> desk;
  std::unique_ptr<RecordingQueueView> queue;
  std::unique_ptr<RecordingCancelView> cancels;

  void SetUp() override {
    desk = std::make_unique<TestDesktop>();
    UseProgramFonts();
    queue = std::make_unique<RecordingQueueView>();
    cancels = std::make_unique<RecordingCancelView>();
  }
  void TearDown() override {
    if (queue->m_hWnd) queue->DestroyWindow();
    if (cancels->m_hWnd) cancels->DestroyWindow();
    queue.reset();
    cancels.reset();
    desk.reset();
  }
  void Make(int width, int height, int right) {
    ASSERT_TRUE(queue->CreateEx(0, nullptr, u"queue", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0));
    ASSERT_TRUE(cancels->CreateEx(0, nullptr, u"cancels", WS_POPUP | WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0));
    queue->SetDataRight(right);
    cancels->SetDataRight(right);
    desk->RunUntilIdle();
  }
  std::vector<TextCall> QueueCalls() {
    queue->Invalidate();
    desk->RunUntilIdle();
    return queue->log.Calls();
  }
  std::vector<TextCall> CancelCalls() {
    cancels->Invalidate();
    desk->RunUntilIdle();
    return cancels->log.Calls();
  }
};

TEST_F(TrustViews, WithoutTheRightOnlyTheRefusalText) {
  Make(400, 160, 0);
  const OrderQueueArea q = Queue(23, 5);
  auto buy = Cancels(10);
  for (bool withRecords : {false, true}) {
    if (withRecords) {
      queue->SetQueueData(&q);
      cancels->SetBuyCancels(buy.get());
    }
    for (const std::vector<TextCall>& calls : {QueueCalls(), CancelCalls()}) {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].text, kNoRightText);
      EXPECT_EQ(calls[0].color, kWhite);
      EXPECT_EQ(calls[0].rect.top, 160 / 2 - 16);
      EXPECT_EQ(calls[0].rect.bottom, 160 / 2);
      const int width = calls[0].rect.right - calls[0].rect.left;
      EXPECT_GT(width, 100);
      EXPECT_EQ(calls[0].rect.left, (400 - width) / 2);
    }
  }
  const QImage img = desk->Snapshot(queue->m_hWnd);
  EXPECT_EQ(PixelRgb(img, 5, 5), 0x000000u);
  EXPECT_EQ(PixelRgb(img, 200, 150), 0x000000u) << "no half line";
}

TEST_F(TrustViews, CaptionsWithoutARecord) {
  Make(400, 160, 1);
  EXPECT_EQ(Texts(QueueCalls()), (std::vector<std::u16string>{u"卖一", u"手", u"单", u"买一", u"手", u"单"}));
  EXPECT_EQ(Texts(CancelCalls()), (std::vector<std::u16string>{u"委买撤单", u"委卖撤单", u"撤单时间", u"委托价格",
                                                               u"撤单量", u"撤单时间", u"委托价格", u"撤单量"}));
  const QImage img = desk->Snapshot(queue->m_hWnd);
  EXPECT_EQ(PixelRgb(img, 60, 9), 0x292929u) << "the header band";
}

TEST_F(TrustViews, BestPricesColouredAgainstTheReference) {
  Make(400, 160, 1);
  struct Case {
    float ask;
    uint32_t color;
  };
  for (const Case& c : {Case{10.0f, kWhite}, Case{10.01f, kRed}, Case{9.99f, kGreen}}) {
    OrderQueueArea q = Queue(3, 3);
    q.secondPrice = c.ask;
    queue->SetQueueData(&q);
    const std::vector<TextCall> calls = QueueCalls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1].rect.left, 400 / 8);
    EXPECT_EQ(calls[1].color, c.color) << c.ask;
    EXPECT_EQ(calls[2].text, u"5300");
  }
  OrderQueueArea three = Queue(3, 3);
  three.key.decimals = 3;
  queue->SetQueueData(&three);
  EXPECT_TRUE(Find(QueueCalls(), u"10.010"));
}

TEST_F(TrustViews, QueueGridsAndTheirBottomLimit) {
  Make(400, 160, 1);
  OrderQueueArea q = Queue(23, 12);
  queue->SetQueueData(&q);
  std::vector<TextCall> calls = QueueCalls();
  const std::vector<TextCall> asks = InColor(calls, 0x00AA00);
  ASSERT_EQ(asks.size(), 23u);
  const int column = (400 / 2) / 10;
  for (int i = 0; i < 23; ++i) {
    EXPECT_EQ(asks[i].rect.top, 18 + 16 * (i / 10)) << i;
    EXPECT_EQ(asks[i].rect.left, (i % 10) * column) << i;
    EXPECT_EQ(asks[i].alignment, 2);
  }
  EXPECT_EQ(asks[22].text, u"1022");
  std::vector<TextCall> bids;
  for (const TextCall& c : InColor(calls, kRed))
    if (c.rect.top >= 18) bids.push_back(c);
  ASSERT_EQ(bids.size(), 12u);
  EXPECT_EQ(bids[10].rect.top, 18 + 18) << "bid rows step 18 pixels";
  EXPECT_EQ(bids[0].rect.left, 200);

  // 120 pixels high: the bottom limit is 104, so at most five rows.
  queue->SetWindowPos(nullptr, 0, 0, 400, 120, SWP_NOZORDER);
  desk->RunUntilIdle();
  OrderQueueArea full = Queue(50, 50);
  queue->SetQueueData(&full);
  calls = QueueCalls();
  const std::vector<TextCall> shown = InColor(calls, 0x00AA00);
  ASSERT_EQ(shown.size(), 50u);
  EXPECT_EQ(shown.back().rect.bottom, 98);
  int bidRows = 0;
  for (const TextCall& c : InColor(calls, kRed))
    if (c.rect.top >= 18 && c.rect.left == 200) ++bidRows;
  EXPECT_EQ(bidRows, 4) << "18-pixel steps: the fifth row would end at 106";
}

TEST_F(TrustViews, CountsAreClamped) {
  Make(400, 1200, 1);
  struct Case {
    int count;
    size_t shown;
    std::u16string printed;
  };
  for (const Case& c : {Case{-5, 0, u"0"}, Case{127, 50, u"50"}}) {
    OrderQueueArea q = Queue(c.count, c.count);
    queue->SetQueueData(&q);
    const std::vector<TextCall> calls = QueueCalls();
    EXPECT_EQ(InColor(calls, 0x00AA00).size(), c.shown) << c.count;
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[4].text, c.printed) << "the 单 count printed is the clamped one";
  }
  for (int count : {-5, 127, 1000}) {
    auto r = Cancels(count);
    cancels->SetSellCancels(r.get());
    const size_t expected = count < 0 ? 0 : 64;
    EXPECT_EQ(CancelCalls().size(), 8u + 3 * expected) << count;
  }
}

TEST_F(TrustViews, NewestCancellationsFillTheList) {
  Make(400, 200, 1);
  auto buy = Cancels(64);
  // Entries 54..63 of 64 fit the ten rows of 40..200.
  buy->entries[63] = {0.0f, 12345, 93005};
  buy->entries[62] = {10.5f, 99, 999999};
  buy->entries[61] = {10.5f, 0, 93000};
  cancels->SetBuyCancels(buy.get());
  const std::vector<TextCall> calls = CancelCalls();
  ASSERT_EQ(calls.size(), 8u + 30);
  const TextCall* rows = &calls[8];
  EXPECT_EQ(rows[0].text, u"09:30:54");
  EXPECT_EQ(rows[0].rect.top, 40);
  EXPECT_EQ(rows[27].text, u"09:30:05");
  EXPECT_EQ(rows[27].rect.bottom, 200);
  EXPECT_EQ(rows[28].text, u"-");
  EXPECT_EQ(rows[29].text, u"1.23万");
  EXPECT_EQ(rows[24].text, u"99:99:99");
  EXPECT_EQ(rows[26].text, u"99");
  EXPECT_EQ(rows[25].text, u"10.50");
  EXPECT_EQ(rows[23].text, u"-");
  for (int i = 0; i < 30; ++i) EXPECT_EQ(rows[i].color, kWhite);
  EXPECT_EQ(rows[0].rect.left, 5);
  EXPECT_EQ(rows[0].rect.right, 200 - 5);
}

TEST_F(TrustViews, ClearEmptiesBothViews) {
  Make(400, 160, 1);
  OrderQueueArea q = Queue(5, 5);
  auto r = Cancels(5);
  queue->SetQueueData(&q);
  cancels->SetBuyCancels(r.get());
  cancels->SetSellCancels(r.get());
  EXPECT_EQ(CancelCalls().size(), 8u + 30);
  queue->Clear();
  cancels->Clear();
  EXPECT_EQ(QueueCalls().size(), 6u);
  EXPECT_EQ(CancelCalls().size(), 8u);
}

}  // namespace
