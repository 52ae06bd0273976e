// The connection's handshake state machine on injected frames and states.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <thread>

#include "engine_test_support.h"
#include "marketdata/request_builders.h"
#include "tools/simbroker/wire_encoders.h"

using namespace engine_test;

namespace {

class QuoteConnectionTest : public EngineFixture {
 protected:
  void Connect() {
    ConnectQuoteServer(engine, "127.0.0.1", 8110, "http://127.0.0.1:8110/q");
    fake.InjectState(kConnectionUp);
  }
};

TEST_F(QuoteConnectionTest, AnswerMatchesTheKeyVectors) {
  struct Case {
    const char* name;
    unsigned char a;
    unsigned char k;
  };
  const Case cases[] = {{"all zero", 0, 0}, {"all FF", 0xFF, 0xFF}, {"mixed", 0x12, 0xA0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned char a[16], k[7];
    memset(a, c.a, 16);
    memset(k, c.k, 7);
    Bytes key = simbroker::KeyMessage(a, k);
    unsigned char answer[33] = {};
    ComputeAuthAnswer(key.data() + 1, answer);
    EXPECT_EQ(answer[0], 4);
    EXPECT_EQ(Bytes(answer + 1, answer + 33), simbroker::ExpectedAnswerProducts(a, k));
  }
  unsigned char zeros[24] = {};
  unsigned char answer[33];
  ComputeAuthAnswer(zeros + 1, answer);
  EXPECT_EQ(Hex(Bytes(answer, answer + 33)), Hex(Concat({B({4}), Bytes(32, 0)})));
  unsigned char ff[24];
  memset(ff, 0xFF, sizeof ff);
  ComputeAuthAnswer(ff + 1, answer);
  EXPECT_EQ(Hex(Bytes(answer + 1, answer + 3)), "79 86");   // 255 * 'z'
  EXPECT_EQ(Hex(Bytes(answer + 17, answer + 19)), "75 8A");  // 255 * 'v'
  EXPECT_EQ(Hex(Bytes(answer + 19, answer + 21)), "FE 01");
}

TEST_F(QuoteConnectionTest, HandshakeWalksToReady) {
  SetQuoteCredentials(engine, "1234567890123", "00112233445566778899aabbccddeeff");
  Connect();
  EXPECT_EQ(fake.host, "127.0.0.1");
  EXPECT_EQ(fake.port, 8110);
  EXPECT_EQ(fake.started, 1);
  EXPECT_EQ(engine->state.load(), kQuoteStateKeyAwaited);
  fake.Inject(Bytes(24, 0));
  EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
  Bytes answer = OnlySent();
  ASSERT_EQ(answer.size(), 57u);
  EXPECT_EQ(answer[0], 4);
  EXPECT_EQ(Hex(Bytes(answer.begin() + 33, answer.begin() + 41)), "00 00 01 1F 71 FB 04 CB");
  EXPECT_EQ(Hex(Bytes(answer.begin() + 41, answer.end())),
            "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");

  fake.Inject(simbroker::ResultMessage(-1));
  EXPECT_EQ(engine->state.load(), kQuoteStateMarketInfoAsked);
  EXPECT_EQ(Hex(OnlySent()), "02 01 00 00 05 03 01 03 E9");
  EXPECT_TRUE(log.Codes().empty());

  fake.Inject(simbroker::ReplyPacket(2, 1, 3, 1001, simbroker::MarketInfoBody({{1, 20240315, 1}}), false));
  EXPECT_EQ(engine->state.load(), kQuoteStateReady);
  auto sent = fake.TakeSent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].payload.empty());  // the empty frame
  EXPECT_EQ(fake.keepAlive, 1);
  EXPECT_EQ(log.Codes(), std::vector<int>{0});
  EXPECT_EQ(engine->savedMarkets.count, 1);
  EXPECT_EQ(engine->savedMarkets.entries[0].date, 20240315);
}

TEST_F(QuoteConnectionTest, ResultCodesRaiseTheirEvents) {
  struct Case {
    const char* name;
    int32_t code;
    std::vector<int> events;
  };
  const Case cases[] = {
      {"-16 not logged in", -16, {4}},
      {"-15 no level-2 right", -15, {5}},
      {"-14 not logged in", -14, {6}},
      {"-2 is ignored", -2, {}},
      {"0 is ignored", 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.events.clear();
    Connect();
    fake.Inject(Bytes(30, 7));
    fake.TakeSent();
    fake.Inject(simbroker::ResultMessage(c.code));
    EXPECT_EQ(log.Codes(), c.events);
    EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
    EXPECT_TRUE(fake.TakeSent().empty());
  }
}

TEST_F(QuoteConnectionTest, EverySecondFrameInStateOneIsTheResult) {
  Connect();
  fake.Inject(Bytes(24, 1));
  fake.Inject(simbroker::ResultMessage(-2));
  EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
  // Whatever it holds, the next frame is read as the result again.
  fake.Inject(Concat({B({9}), B({0xFF, 0xFF, 0xFF, 0xFF}), Bytes(40, 3)}));
  EXPECT_EQ(engine->state.load(), kQuoteStateMarketInfoAsked);
}

TEST_F(QuoteConnectionTest, ShortKeyAndResultFramesAreIgnored) {
  Connect();
  fake.Inject(Bytes(23, 1));
  EXPECT_EQ(engine->state.load(), kQuoteStateKeyAwaited);
  EXPECT_TRUE(fake.TakeSent().empty());
  fake.Inject(Bytes(24, 1));
  fake.TakeSent();
  fake.Inject(B({0, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
  EXPECT_TRUE(fake.TakeSent().empty());
  // A frame shorter than its own head is ignored as well.
  fake.dataCallback(engine, "\0\0", 2);
  EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
}

TEST_F(QuoteConnectionTest, TransportStatesResetAndReport) {
  struct Case {
    const char* name;
    int code;
    std::vector<int> events;
    int state;
  };
  const Case cases[] = {
      {"closed", kConnectionClosed, {7}, 0},       {"connect failed", kConnectionConnectFailed, {1}, 0},
      {"error", kConnectionFailed, {1}, 0},        {"no thread", kConnectionNoThread, {}, 4},
      {"empty frame", kConnectionEmptyFrame, {}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeReady();
    fake.InjectState(c.code);
    EXPECT_EQ(log.Codes(), c.events);
    EXPECT_EQ(engine->state.load(), c.state);
  }
  // After "closed", the next frame of a new connection is a key message.
  MakeReady();
  fake.InjectState(kConnectionClosed);
  fake.Inject(Bytes(24, 0));
  EXPECT_EQ(engine->state.load(), kQuoteStateAnswerSent);
}

TEST_F(QuoteConnectionTest, ConnectRefusesMissingArguments) {
  ConnectQuoteServer(engine, nullptr, 8110, "x");
  ConnectQuoteServer(engine, "127.0.0.1", 0, "x");
  ConnectQuoteServer(engine, "127.0.0.1", 8110, nullptr);
  EXPECT_EQ(fake.created, 0);
  EXPECT_TRUE(fake.closed.empty());
  EXPECT_EQ(engine->connectionId.load(), -1);
  // A real connect closes the previous id and keeps the address with the
  // session parameters, cut to its field.
  std::string longAddress = "http://127.0.0.1:8110/" + std::string(2000, 'a');
  ConnectQuoteServer(engine, "127.0.0.1", 8110, longAddress.c_str());
  ConnectQuoteServer(engine, "127.0.0.1", 8110, "http://127.0.0.1:8110/q");
  EXPECT_EQ(fake.closed, (std::vector<int>{-1, 1}));
  EXPECT_EQ(engine->connectionId.load(), 2);
  const std::string kept = engine->serviceAddress;
  EXPECT_EQ(kept.rfind("http://127.0.0.1:8110/q", 0), 0u);
  EXPECT_NE(kept.find("clientversion="), std::string::npos);
}

TEST_F(QuoteConnectionTest, CredentialsTakeOnlyAWellFormedToken) {
  SetQuoteCredentials(engine, "42", "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(engine->userNumber, 42);
  EXPECT_EQ(engine->token[0], 0x01);
  EXPECT_EQ(engine->token[15], 0xEF);
  EXPECT_STREQ(engine->tokenText, "0123456789abcdef0123456789abcdef");
  struct Case {
    const char* name;
    const char* token;
  };
  const Case cases[] = {{"null", nullptr},
                        {"short", "0123"},
                        {"upper case", "0123456789ABCDEF0123456789abcdef"},
                        {"too long", "0123456789abcdef0123456789abcdef0"},
                        {"not hex", "0123456789abcdef0123456789abcdeg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetQuoteCredentials(engine, nullptr, "0123456789abcdef0123456789abcdef");
    SetQuoteCredentials(engine, nullptr, c.token);
    EXPECT_EQ(Bytes(engine->token, engine->token + 32), Bytes(32, 0));
    EXPECT_STREQ(engine->tokenText, "");
    EXPECT_EQ(engine->userNumber, 42);  // null text keeps the number
  }
}

// An owner that sends a request from its event function while the failing
// send happened under the engine's locks: the event must come after the
// locks are released (otherwise this would deadlock or nest).
struct ReentrantOwner {
  QuoteEngine* engine;
  FakeQuoteTransport* fake;
  std::vector<int> events;
  int locksHeld = -1;
  static void Handler(void* owner, const void*, int event) {
    auto* self = static_cast<ReentrantOwner*>(owner);
    self->events.push_back(event);
    self->locksHeld = EngineLocksHeldByThread();
  }
};

TEST_F(QuoteConnectionTest, OwnerEventsWaitUntilTheEngineLocksAreReleased) {
  MakeReady();
  ReentrantOwner owner{engine, &fake, {}, -1};
  SetQuoteEventHandler(engine, ReentrantOwner::Handler, &owner);
  {
    QuoteBuildGuard build(engine);
    // A send failure reported on the builder's thread while it builds.
    fake.InjectState(kConnectionFailed);
    EXPECT_TRUE(owner.events.empty());
  }
  EXPECT_EQ(owner.events, std::vector<int>{1});
  EXPECT_EQ(owner.locksHeld, 0);
}

// An owner that holds the first event until the test lets it go, and notes
// whether two calls ever overlapped.
struct SlowOwner {
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false;
  bool released = false;
  std::vector<int> events;
  std::vector<std::thread::id> threads;
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  static void Handler(void* owner, const void*, int event) {
    auto* self = static_cast<SlowOwner*>(owner);
    if (self->inside.fetch_add(1) != 0) self->overlapped = true;
    std::unique_lock<std::mutex> hold(self->lock);
    self->events.push_back(event);
    self->threads.push_back(std::this_thread::get_id());
    if (!self->entered) {
      self->entered = true;
      self->changed.notify_all();
      self->changed.wait_for(hold, std::chrono::seconds(30), [self] { return self->released; });
    }
    self->inside.fetch_sub(1);
  }
};

// Events raised by a second thread while the first is delivering wait their
// turn: the second thread returns at once and the drainer delivers them after
// the current call, in the order raised.
TEST_F(QuoteConnectionTest, OwnerEventsComeOneAtATimeInTheOrderRaised) {
  SlowOwner owner;
  SetQuoteEventHandler(engine, SlowOwner::Handler, &owner);
  std::thread connection([&] { RaiseOwnerEvent(engine, kQuoteEventReady, nullptr, 0); });
  {
    std::unique_lock<std::mutex> hold(owner.lock);
    ASSERT_TRUE(owner.changed.wait_for(hold, std::chrono::seconds(30), [&] { return owner.entered; }));
  }
  RaiseOwnerEvent(engine, kQuoteEventClosed, nullptr, 0);
  RaiseOwnerEvent(engine, kQuoteEventConnectFailed, nullptr, 0);
  FlushOwnerEvents(engine);
  {
    std::lock_guard<std::mutex> hold(owner.lock);
    EXPECT_EQ(owner.events, std::vector<int>{kQuoteEventReady});
    owner.released = true;
    owner.changed.notify_all();
  }
  const std::thread::id drainer = connection.get_id();
  connection.join();
  EXPECT_EQ(owner.events, (std::vector<int>{kQuoteEventReady, kQuoteEventClosed, kQuoteEventConnectFailed}));
  for (const auto& id : owner.threads) EXPECT_EQ(id, drainer);
  EXPECT_FALSE(owner.overlapped.load());
  SetQuoteEventHandler(engine, EventLog::Handler, &log);
}

// Two threads raising and releasing engine locks at once: every event
// arrives once, calls never overlap, and each thread's events keep their order.
struct CountingOwner {
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::vector<std::pair<int, int>> seen;   // (thread, number), only one caller at a time
  static void Handler(void* owner, const void* argument, int) {
    auto* self = static_cast<CountingOwner*>(owner);
    if (self->inside.fetch_add(1) != 0) self->overlapped = true;
    int who = 0;
    int number = 0;
    std::sscanf(static_cast<const char*>(argument), "%d %d", &who, &number);
    self->seen.emplace_back(who, number);
    self->inside.fetch_sub(1);
  }
};

TEST_F(QuoteConnectionTest, OwnerEventsFromTwoReleasingThreadsNeverInterleave) {
  CountingOwner owner;
  SetQuoteEventHandler(engine, CountingOwner::Handler, &owner);
  constexpr int kPerThread = 2000;
  auto raise = [&](int who) {
    for (int i = 0; i < kPerThread; ++i) {
      char text[32];
      int n = std::snprintf(text, sizeof text, "%d %d", who, i);
      if (i % 2) {
        QuoteBuildGuard build(engine);  // raised under a lock, delivered on release
        RaiseOwnerEvent(engine, kQuoteEventUnknownReply, text, n);
      } else {
        RaiseOwnerEvent(engine, kQuoteEventUnknownReply, text, n);
      }
    }
  };
  std::thread first(raise, 1);
  std::thread second(raise, 2);
  first.join();
  second.join();
  EXPECT_FALSE(owner.overlapped.load());
  ASSERT_EQ(owner.seen.size(), 2u * kPerThread);
  int next[3] = {0, 0, 0};
  for (const auto& [who, number] : owner.seen) {
    ASSERT_TRUE(who == 1 || who == 2);
    ASSERT_EQ(number, next[who]) << "thread " << who;
    ++next[who];
  }
  SetQuoteEventHandler(engine, EventLog::Handler, &log);
}

}  // namespace
