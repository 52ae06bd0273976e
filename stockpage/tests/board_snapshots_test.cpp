// Pictures of the boards for checking by eye (written to the build folder's
// stockpage_snapshots/), with records decoded from simbroker's replies and
// hand-made level-2 records, and a few probes of what must be there.
#include "stockpage/tests/board_test_support.h"

#include <cstring>

using namespace board_test;

namespace {

class BoardSnapshots : public ViewFixture<RecordingPriceView> {};

bool HasColor(const QImage& img, uint32_t rgb, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (PixelRgb(img, x, y) == rgb) return true;
  return false;
}

TEST_F(BoardSnapshots, StockBoardAndCleared) {
  Make(202, 226);
  simbroker::MarketData data(3);
  for (int i = 0; i < 30; ++i) data.Step();
  QuoteRecord q{};
  ASSERT_TRUE(DecodeSimQuote(data, "600000", 1, &q));
  view->SetLayoutMode(1);
  view->SetQuote(&q);
  Save("bidask_stock");
  const QImage img = Paint();
  EXPECT_TRUE(HasColor(img, 0xFF0000, 60, 26, 150, 126) || HasColor(img, 0x00FF00, 60, 26, 150, 126));
  EXPECT_TRUE(HasColor(img, 0xFFFF00, 150, 26, 200, 226)) << "yellow volumes";
  EXPECT_TRUE(HasColor(img, 0xAAAAAA, 2, 26, 40, 226)) << "grey labels";
  view->Clear();
  Save("bidask_cleared");
}

TEST_F(BoardSnapshots, IndexBoard) {
  Make(202, 200);
  view->SetLayoutMode(0);
  simbroker::MarketData data(3);
  for (int i = 0; i < 30; ++i) data.Step();
  QuoteRecord index{};
  ASSERT_TRUE(DecodeSimQuote(data, "1A0001", 1, &index));
  auto table = std::make_unique<FieldTableArea>();
  ASSERT_TRUE(DecodeSimIndexTable(data, table.get()));
  EXPECT_GT(index.risingCount + index.fallingCount, 0) << "simbroker sends the breadth";
  view->SetQuote(&index);
  view->SetIndexTable(table.get());
  Save("index_board");
  const std::vector<TextCall> calls = view->log.Calls();
  EXPECT_TRUE(Find(calls, u"上证指数"));
  EXPECT_TRUE(Find(calls, u"沪深300"));
  EXPECT_FALSE(Find(calls, u"深证成指"));
}

template <typename View>
class PanelSnapshot : public ViewFixture<View> {};

using QueueSnapshot = PanelSnapshot<RecordingQueueView>;
using CancelSnapshot = PanelSnapshot<RecordingCancelView>;

TEST_F(QueueSnapshot, BoardSnapshotsQueue) {
  this->Make(400, 160);
  this->view->SetDataRight(0);
  this->Save("queue_no_right");
  this->view->SetDataRight(1);
  OrderQueueArea q{};
  q.key.decimals = 2;
  q.referencePrice = 10.0f;
  q.secondPrice = 10.02f;
  q.secondTotal = 523;
  q.secondCount = 23;
  q.firstPrice = 10.01f;
  q.firstTotal = 188;
  q.firstCount = 17;
  for (int i = 0; i < 50; ++i) {
    q.secondValues[i] = 1 + (i * 7) % 9;  // lots: one digit fits a 20-pixel cell
    q.firstValues[i] = 1 + (i * 5) % 9;
  }
  this->view->SetQueueData(&q);
  this->Save("queue");
}

TEST_F(CancelSnapshot, BoardSnapshotsCancels) {
  this->Make(400, 160);
  this->view->SetDataRight(1);
  auto buy = std::make_unique<CancellationRecord>();
  auto sell = std::make_unique<CancellationRecord>();
  *buy = CancellationRecord{};
  *sell = CancellationRecord{};
  buy->key.decimals = sell->key.decimals = 2;
  buy->entryCount = 12;
  sell->entryCount = 5;
  for (int i = 0; i < 12; ++i) {
    buy->entries[i] = {10.0f - i / 100.0f, 1000LL * (i * 37 % 90 + 1), 93000 + i * 100 + i};
    sell->entries[i] = {10.02f + i / 100.0f, 500LL * (i * 13 % 40 + 1), 100500 + i * 100 + i * 3};
  }
  this->view->SetBuyCancels(buy.get());
  this->view->SetSellCancels(sell.get());
  this->Save("cancels");
}

}  // namespace
