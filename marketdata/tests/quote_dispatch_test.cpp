// Reply dispatch: packets, gzip, decoders and callbacks, unknown types, the
// market-information reply, and malformed input.
#include "engine_test_support.h"
#include "marketdata/reply_reader.h"
#include "marketdata/request_builders.h"
#include "tools/simbroker/wire_encoders.h"

using namespace engine_test;

namespace {

struct Seen {
  int decoded = 0;
  int callbacks = 0;
  int lastMode = -1;
  Bytes body;
};
Seen* gSeen = nullptr;

void RecordingDecoder(QuoteEngine*, PendingRequest*, ReplyReader* body, int mode, int) {
  ++gSeen->decoded;
  gSeen->lastMode = mode;
  gSeen->body.assign(body->Current(), body->Current() + body->Remaining());
}

void Callback(void* owner, PendingRequest*) { ++static_cast<Seen*>(owner)->callbacks; }

class QuoteDispatchTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    gSeen = &seen;
    previous_ = SetReplyDecoderForTesting(2, 33, RecordingDecoder);
    MakeReady();
    handle = RequestStockFields(engine, Callback, &seen, "600000", 1, 0, 1, 0);
    fake.TakeSent();
  }
  void TearDown() override {
    SetReplyDecoderForTesting(2, 33, previous_);
    gSeen = nullptr;
    EngineFixture::TearDown();
  }
  void Deliver(const Bytes& packet) { fake.Inject(packet); }

  Seen seen;
  int handle = 0;
  ReplyDecoder previous_ = nullptr;
};

TEST_F(QuoteDispatchTest, PlainAndGzipRepliesDispatchAlike) {
  const Bytes body = simbroker::MarketInfoBody({{9, 1, 1}});  // any bytes
  for (bool gzip : {false, true}) {
    SCOPED_TRACE(gzip ? "gzip" : "plain");
    seen = Seen();
    Deliver(simbroker::ReplyPacket(2, 1, 33, handle, body, gzip));
    EXPECT_EQ(seen.decoded, 1);
    EXPECT_EQ(seen.callbacks, 1);
    EXPECT_EQ(seen.lastMode, 1);
    EXPECT_EQ(seen.body, body);
    EXPECT_EQ(FindPendingRequest(engine->pending, handle)->state, 2);
    EXPECT_EQ(engine->replySequence, handle);
    EXPECT_EQ(engine->replyType, 33);
  }
  // Updates keep arriving under the same sequence.
  Deliver(simbroker::ReplyPacket(2, 2, 33, handle, body, false));
  EXPECT_EQ(seen.lastMode, 2);
  EXPECT_EQ(seen.callbacks, 2);
}

TEST_F(QuoteDispatchTest, ModeOtherThanOneOrTwoRunsOnlyTheCallback) {
  Deliver(simbroker::ReplyPacket(2, 3, 33, handle, B({1, 2, 3}), false));
  EXPECT_EQ(seen.decoded, 0);
  EXPECT_EQ(seen.callbacks, 1);
  // Even for a type that no decoder knows: no cancel, no event.
  Deliver(simbroker::ReplyPacket(2, 3, 200, handle, B({1}), false));
  EXPECT_EQ(seen.callbacks, 2);
  EXPECT_TRUE(fake.TakeSent().empty());
  EXPECT_TRUE(log.Codes().empty());
}

TEST_F(QuoteDispatchTest, UnknownTypeCancelsAndRaisesEventThree) {
  struct Case {
    const char* name;
    int kind;
    int type;
  };
  const Case cases[] = {{"kind 2, type 200", 2, 200}, {"kind 2, type 17", 2, 17}, {"news, type 4", 0x33, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    seen = Seen();
    log.events.clear();
    int h = RequestStockFields(engine, Callback, &seen, "600000", 1, 0, 1, 0);
    fake.TakeSent();
    Deliver(simbroker::ReplyPacket(c.kind, 1, c.type, h, Text("body!"), false));
    EXPECT_EQ(seen.callbacks, 0);
    EXPECT_EQ(seen.decoded, 0);
    Bytes cancel = OnlySent();
    EXPECT_EQ(Hex(cancel), Hex(B({2, 1, 0, 0, 5, 17, 1, 0, 1, 0, 1, h >> 8, h & 255})));
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].code, 3);
    EXPECT_EQ(log.events[0].argument, "body!");
    EXPECT_EQ(FindPendingRequest(engine->pending, h), nullptr);
  }
  // The cancelled entries disappear at the next reply.
  Deliver(simbroker::ReplyPacket(2, 1, 33, handle, {}, false));
  EXPECT_EQ(engine->pending->count, 1);
}

TEST_F(QuoteDispatchTest, RepliesWithoutAnEntryAreDroppedExceptMarketInfo) {
  Deliver(simbroker::ReplyPacket(2, 1, 33, handle + 1, B({1}), false));
  EXPECT_EQ(seen.callbacks, 0);
  EXPECT_EQ(seen.decoded, 0);
  // Market information with any sequence is handled; it runs no callback.
  Deliver(simbroker::ReplyPacket(2, 1, 3, 4242, simbroker::MarketInfoBody({{1, 20240315, 0}, {2, 20240315, 0}}), false));
  EXPECT_EQ(engine->latestMarkets.count, 2);
  // Even under the sequence of an entry, type 3 leaves the entry alone.
  Deliver(simbroker::ReplyPacket(2, 1, 3, handle, simbroker::MarketInfoBody({{1, 20240315, 0}}), false));
  EXPECT_EQ(seen.callbacks, 0);
  EXPECT_EQ(FindPendingRequest(engine->pending, handle)->state, 1);
}

TEST_F(QuoteDispatchTest, NewTradingDateRenewsAndResends) {
  Deliver(simbroker::ReplyPacket(2, 1, 3, 1, simbroker::MarketInfoBody({{1, 20240315, 0}, {2, 20240315, 0}}), false));
  EXPECT_TRUE(fake.TakeSent().empty());
  // Same dates: nothing; a new market id only appends.
  Deliver(simbroker::ReplyPacket(2, 1, 3, 1, simbroker::MarketInfoBody({{1, 20240315, 0}, {5, 20240316, 0}}), false));
  EXPECT_TRUE(fake.TakeSent().empty());
  EXPECT_EQ(engine->savedMarkets.count, 3);
  // Shenzhen moves to the next day: renew the list, then resend each request
  // once with its own sequence.
  Deliver(simbroker::ReplyPacket(2, 1, 3, 1, simbroker::MarketInfoBody({{1, 20240315, 0}, {2, 20240318, 1}}), false));
  auto sent = fake.TakeSent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Hex(sent[0].payload), Hex(B({2, 1, 0, 0, 5, 17, 1, 0, 2, 0, 1, handle >> 8, handle & 255})));
  EXPECT_EQ(sent[1].payload[5], 33);
  EXPECT_EQ(sent[1].payload[7] << 8 | sent[1].payload[8], handle);
  EXPECT_EQ(engine->savedMarkets.entries[1].date, 20240318);
}

TEST_F(QuoteDispatchTest, MalformedPacketsAreDroppedWithoutOverRead) {
  // Each packet in its own exactly-sized heap buffer so that an over-read
  // shows under AddressSanitizer.
  Bytes inner = Concat({simbroker::ReplyHeader(1, 33, handle), Bytes(100, 7)});
  Bytes gz = simbroker::GzipWrap(inner);
  Bytes lyingSize = gz;
  lyingSize[lyingSize.size() - 4] += 1;  // ISIZE one more than the stream
  Bytes hugeSize = gz;
  hugeSize[hugeSize.size() - 1] = 0x10;  // 256 MB
  Bytes truncated(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 2));
  truncated.insert(truncated.end(), gz.end() - 4, gz.end());
  Bytes shortInner = simbroker::GzipWrap(B({1, 0, 0, 5}));

  struct Case {
    const char* name;
    Bytes packet;
  };
  const Case cases[] = {
      {"empty", {}},
      {"kind only", B({2})},
      {"eight bytes", B({2, 1, 0, 0, 5, 33, 1, handle >> 8})},
      {"other kind", Concat({B({7}), simbroker::ReplyHeader(1, 33, handle)})},
      {"gzip with lying size", Concat({B({2}), lyingSize})},
      {"gzip with huge size", Concat({B({2}), hugeSize})},
      {"truncated gzip", Concat({B({2}), truncated})},
      {"gzip shorter than a header", Concat({B({2}), shortInner})},
      {"bare gzip magic", B({2, 0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    seen = Seen();
    auto* heap = new unsigned char[c.packet.size() + 1];
    if (!c.packet.empty()) memcpy(heap, c.packet.data(), c.packet.size());
    EXPECT_EQ(DispatchQuoteReply(engine, heap, static_cast<int>(c.packet.size())), 0);
    delete[] heap;
    EXPECT_EQ(seen.callbacks, 0);
    EXPECT_EQ(seen.decoded, 0);
  }
  // A header with an empty body still dispatches (the decoder sees 0 bytes).
  Bytes headerOnly = Concat({B({2}), simbroker::ReplyHeader(1, 33, handle)});
  EXPECT_EQ(DispatchQuoteReply(engine, headerOnly.data(), static_cast<int>(headerOnly.size())), 1);
  EXPECT_EQ(seen.decoded, 1);
  EXPECT_TRUE(seen.body.empty());
}

TEST_F(QuoteDispatchTest, WalkStopsAtAUnitRunningPastTheFrame) {
  Bytes packet = simbroker::ReplyPacket(2, 1, 33, handle, B({1, 2}), false);
  Bytes frame = simbroker::MakeFrame(packet);
  EXPECT_EQ(WalkQuotePackets(engine, frame.data(), static_cast<int>(frame.size())), static_cast<int>(frame.size()));
  EXPECT_EQ(seen.callbacks, 1);
  Bytes lying = frame;
  lying[3] += 1;  // one byte more than there is
  EXPECT_EQ(WalkQuotePackets(engine, lying.data(), static_cast<int>(lying.size())), 0);
  EXPECT_EQ(seen.callbacks, 1);
  Bytes huge = frame;
  huge[0] = 0xFF;
  EXPECT_EQ(WalkQuotePackets(engine, huge.data(), static_cast<int>(huge.size())), 0);
  EXPECT_EQ(WalkQuotePackets(engine, frame.data(), 3), 0);
}

TEST_F(QuoteDispatchTest, MarketInfoCountIsBoundedByTheBody) {
  // Says 100 markets, carries 2 and a half.
  Bytes body = simbroker::MarketInfoBody({{1, 20240315, 0}, {2, 20240315, 0}});
  body[0] = 100;
  body.insert(body.end(), {3, 0, 0});
  Deliver(simbroker::ReplyPacket(2, 1, 3, 9, body, false));
  EXPECT_EQ(engine->latestMarkets.count, 2);
  // A negative count gives no entries.
  body[0] = 0x80;
  Deliver(simbroker::ReplyPacket(2, 1, 3, 9, body, false));
  EXPECT_EQ(engine->latestMarkets.count, 0);
}

}  // namespace
