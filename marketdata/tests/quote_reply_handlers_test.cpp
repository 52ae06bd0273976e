// The quote decoders behind the engine's dispatcher: each reply reaches the
// decoder of its type and the form its request asked for, and never an area
// of another request's shape.
#include <cstring>
#include <string>

#include "engine_test_support.h"
#include "marketdata/request_builders.h"
#include "tools/simbroker/wire_encoders.h"

using namespace engine_test;

namespace {

class QuoteDecodersDispatch : public EngineFixture {
 protected:
  void Reply(int kind, int type, int sequence, const Bytes& body) {
    fake.Inject(simbroker::ReplyPacket(kind, 1, type, sequence, body, false));
  }
  static Bytes NewsBody() {
    const std::string json = "{\"total\":1,\"data\":[{\"title\":\"t\",\"index\":4}]}";
    Bytes b = Text("600000");
    b.push_back(1);
    simbroker::PutU32(&b, json.size());
    simbroker::PutText(&b, json);
    return b;
  }
  static Bytes FieldsBody() {  // ids 8, 9: last price 10.0, volume 5
    return B({0, 2, 0, 8, 0, 9, 0x00, 0x01, 0x86, 0xA0, 0, 0, 0, 0, 0, 0, 0, 5});
  }
};

TEST_F(QuoteDecodersDispatch, RepliesReachOnlyAreasOfTheirRequestsShape) {
  MakeReady();
  const int fields = RequestStockFields(engine, nullptr, nullptr, "600000", 1, 0, 1, 0);
  const int news = RequestMinuteNewsMarks(engine, nullptr, nullptr, "600000", 1, 0, 1, 0, 0, 0);
  StockFieldsArea* fieldsArea = engine->stockFieldsAreas[0];
  NewsListArea* newsArea = engine->newsListAreas[0];
  fieldsArea->record.lastPrice = 1.5f;
  const StockFieldsArea before = *fieldsArea;

  Reply(0x33, 2, fields, NewsBody());       // news marks under the stock-fields request
  EXPECT_EQ(std::memcmp(&before, fieldsArea, sizeof before), 0);
  Reply(2, 32, news, FieldsBody());         // a stock list under the news request
  Reply(2, 33, news, FieldsBody());
  EXPECT_EQ(newsArea->recordCount, 0);
  EXPECT_EQ(newsArea->records, nullptr);

  Reply(0x33, 2, news, NewsBody());
  ASSERT_EQ(newsArea->recordCount, 1);
  EXPECT_EQ(newsArea->records[0].index, 4);
  Reply(2, 33, fields, FieldsBody());
  EXPECT_FLOAT_EQ(fieldsArea->record.lastPrice, 10.0f);
  EXPECT_EQ(fieldsArea->record.totalVolume, 5);
}

TEST_F(QuoteDecodersDispatch, TheViewListArrivesInTheCompactForm) {
  MakeReady();
  const int view = RequestViewQuoteList(engine, nullptr, nullptr, '(', 2, 1, 0, 34, 0, 0, 1, 10, 0);
  const int page = RequestQuoteList(engine, nullptr, nullptr, '(', 2, 1, 0, 34, 0, 0, 1, 10, 1);
  // The same bytes: list id, rows, ids [1], two entries of 7 bytes.
  Bytes body = B({0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 2, 0, 1, 0, 1, 0, 2});
  for (const char* code : {"600000", "000001"}) {
    Bytes entry = Text(code);
    entry.push_back(code[0] == '6' ? 1 : 2);
    body = Concat({body, entry});
  }
  Reply(2, 40, view, body);
  Reply(2, 40, page, body);
  const SortedQuoteListArea* compact = engine->viewListArea;
  ASSERT_NE(compact->codes, nullptr);
  EXPECT_EQ(compact->recordsHeld, 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(compact->codes) + 7, 6), "000001");
  const SortedQuoteListArea* full = engine->sortedListAreas[1];
  EXPECT_EQ(full->codes, nullptr);
  ASSERT_EQ(full->recordsHeld, 2);
  EXPECT_STREQ(full->list.records[1].listCode, "000001");
  EXPECT_EQ(full->list.records[1].listMarket, 2);
}

}  // namespace
