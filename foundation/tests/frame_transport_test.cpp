// The framed transport against scripted loopback frame servers.
#include <gtest/gtest.h>
#include <time.h>

#include <set>

#include "foundation/frame_transport.h"
#include "platform/kernel/kernel_thread.h"
#include "transport_test_support.h"

namespace {

using namespace nettest;

class FrameTransport : public FastTimingTest {};

TEST_F(FrameTransport, SendFrameBytesExact) {
  Box got;
  Server server([&](int fd) { got.Set(RecvN(fd, 13)); });
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", server.port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionUp); }));
  SendFrame(id, "abc", 3);
  SendFrame(id, nullptr, 0);
  ASSERT_TRUE(WaitFor([&] { return got.Get().size() == 13; }));
  EXPECT_EQ(Hex(got.Get()), "00 00 00 03 01 61 62 63 00 00 00 00 00");
  CloseConnection(id);
}

TEST_F(FrameTransport, IncomingFramesWholeOnceEmptyFrameIsState5) {
  std::string big(1 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  Server server([&](int fd) {
    SendAll(fd, std::string("\0\0\0\0\x07", 5));          // empty frame, odd type byte
    SendAll(fd, std::string("\0\0\0\x02\0AB", 7));        // data although the type is 0
    SendAll(fd, std::string("\0\0", 2));                  // header split across reads
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SendAll(fd, std::string("\0\x03\x01xy", 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SendAll(fd, "z");
    std::string f = Frame(big);
    for (size_t at = 0; at < f.size(); at += 100000) {    // 1 MB frame in pieces
      SendAll(fd, f.substr(at, 100000));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    PeerClosed(fd, 300);
  });
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", server.port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionClosed); }));
  std::vector<std::string> frames = record.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0], std::string("\0\0\0\x02\0AB", 7));
  EXPECT_EQ(frames[1], std::string("\0\0\0\x03\x01xyz", 8));
  EXPECT_EQ(frames[2], Frame(big));
  EXPECT_EQ(record.States(), (std::vector<int>{kConnectionUp, kConnectionEmptyFrame, kConnectionClosed}));
  CloseConnection(id);
}

TEST_F(FrameTransport, FramesLeftByAClosingPeerAreAllDelivered) {
  Server server([&](int fd) { SendAll(fd, Frame("one") + Frame("two") + Frame("") + Frame("three")); });
  ConnectionRecord record;
  OpenConnection(&record, "127.0.0.1", server.port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionClosed); }));
  EXPECT_EQ(record.Frames(), (std::vector<std::string>{Frame("one"), Frame("two"), Frame("three")}));
  EXPECT_EQ(record.States(), (std::vector<int>{kConnectionUp, kConnectionEmptyFrame, kConnectionClosed}));
}

TEST_F(FrameTransport, PeerEndings) {
  struct Case {
    const char* name;
    std::string bytes;
    int lastState;
  } cases[] = {
      {"oversized length ends with state 3", std::string("\xFF\xFF\xFF\xF0\x01", 5) + "abc", kConnectionFailed},
      {"length just over the cap", std::string("\x04\x00\x00\x01\x01", 5), kConnectionFailed},
      {"close mid-frame", std::string("\0\0\0\x10\x01hal", 8), kConnectionClosed},
      {"close mid-header", std::string("\0\0", 2), kConnectionClosed},
  };
  for (const Case& c : cases) {
    Server server([&](int fd) {
      SendAll(fd, c.bytes);
      PeerClosed(fd, 100);
    });
    ConnectionRecord record;
    int id = OpenConnection(&record, "127.0.0.1", server.port());
    ASSERT_TRUE(WaitFor([&] { return record.States().size() >= 2; })) << c.name;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(record.States(), (std::vector<int>{kConnectionUp, c.lastState})) << c.name;
    EXPECT_TRUE(record.Frames().empty()) << c.name;
    CloseConnection(id);
  }
}

TEST_F(FrameTransport, SlowFrameWaitsForTheNextReadableEvent) {
  // More silence than frameMissLimit x frameMissPauseMs: the reader gives up
  // and the frame continues at the next readable event.
  Server server([&](int fd) {
    std::string f = Frame("0123456789");
    SendAll(fd, f.substr(0, 7));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    SendAll(fd, f.substr(7));
    PeerClosed(fd, 300);
  });
  ConnectionRecord record;
  OpenConnection(&record, "127.0.0.1", server.port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionClosed); }));
  EXPECT_EQ(record.Frames(), std::vector<std::string>{Frame("0123456789")});
}

TEST_F(FrameTransport, ConnectFailures) {
  int refused = FreePort();
  struct Case {
    const char* name;
    const char* host;
    int port;
    const char* proxy;
    int state;
  } cases[] = {
      {"refused", "127.0.0.1", refused, "", kConnectionConnectFailed},
      {"unresolvable", "1.2.3.999", 80, "", kConnectionConnectFailed},
      {"empty host", "", 80, "", kConnectionConnectFailed},
      {"unknown proxy type", "127.0.0.1", refused, "7|127.0.0.1|1080|||", kConnectionFailed},
      {"proxy refused", "127.0.0.1", 80, nullptr, kConnectionFailed},
      {"unresolvable proxy", "127.0.0.1", 80, "1|1.2.3.999|1080|||", kConnectionFailed},
  };
  std::string refusedProxy = "0|127.0.0.1|" + std::to_string(refused) + "|||";
  for (const Case& c : cases) {
    ConnectionRecord record;
    OpenConnection(&record, c.host, c.port, c.proxy ? c.proxy : refusedProxy.c_str());
    ASSERT_TRUE(WaitFor([&] { return !record.States().empty(); })) << c.name;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(record.States(), std::vector<int>{c.state}) << c.name;
  }
  EXPECT_TRUE(WaitFor([] { return CountConnectionsForTesting() == 0; }));
}

TEST_F(FrameTransport, ThreadStartFailureReportsState4OnCallerThread) {
  SetThreadStartFailsForTesting(true);
  ConnectionRecord record;
  int before = CountConnectionsForTesting();
  int id = OpenConnection(&record, "127.0.0.1", 1);
  EXPECT_EQ(record.States(), std::vector<int>{kConnectionNoThread});  // before StartConnection returned
  EXPECT_EQ(CountConnectionsForTesting(), before + 1);
  CloseConnection(id);
  EXPECT_EQ(CountConnectionsForTesting(), before);
}

TEST_F(FrameTransport, IdsAndHarmlessCloses) {
  int a = CreateConnection();
  int b = CreateConnection();
  EXPECT_GT(a, 0);
  EXPECT_EQ(b, a + 1);
  CloseConnection(a);
  CloseConnection(a);  // freed id
  CloseConnection(0);
  CloseConnection(-1);
  SendFrame(a, "x", 1);  // unknown id: nothing, no crash
  SetConnectionHost(a, "h", 1);
  int c = CreateConnection();
  EXPECT_EQ(c, b + 1);  // never reused
  CloseConnection(b);
  CloseConnection(c);
}

TEST_F(FrameTransport, SendBeforeConnectedReportsState3) {
  Server server([&](int fd) { PeerClosed(fd, 1000); });
  ConnectionRecord record;
  int id = CreateConnection();
  SetConnectionCallbacks(id, ConnectionRecord::OnState, &record);
  SendFrame(id, "x", 1);
  EXPECT_EQ(record.States(), std::vector<int>{kConnectionFailed});
  CloseConnection(id);
}

// Streams frames until the client goes away.
void StreamFrames(int fd) {
  for (int i = 0; i < 2000; ++i) {
    if (!SendAll(fd, Frame("tick" + std::to_string(i)))) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TEST_F(FrameTransport, NoCallbackAfterCloseReturns) {
  for (int round = 0; round < 5; ++round) {
    Server server(StreamFrames);
    struct Slow : ConnectionRecord {
      static void OnFrameSlow(void* user, const char* frame, int length) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        OnFrame(user, frame, length);
      }
    } record;
    int id = OpenConnection(&record, "127.0.0.1", server.port());
    SetConnectionDataCallback(id, Slow::OnFrameSlow, &record);
    ASSERT_TRUE(WaitFor([&] { return record.Frames().size() >= 5; }));
    CloseConnection(id);
    size_t frames = record.Frames().size();
    size_t states = record.States().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(record.Frames().size(), frames);
    EXPECT_EQ(record.States().size(), states);  // no state 1 after a close
  }
}

// Callbacks that call back into the transport: echo every frame, close the
// connection from its own callback on "bye".
struct Reentrant {
  std::atomic<int> id{0};
  std::atomic<int> echoed{0};
  std::atomic<bool> closedSelf{false};
  std::atomic<int> states{0};
  static void OnState(void* user, int code) {
    auto* r = static_cast<Reentrant*>(user);
    ++r->states;
    if (code == kConnectionUp) SendFrame(r->id, "hello", 5);
  }
  static void OnFrame(void* user, const char* frame, int length) {
    auto* r = static_cast<Reentrant*>(user);
    std::string payload(frame + 5, static_cast<size_t>(length - 5));
    if (payload == "bye") {
      CloseConnection(r->id);
      SendFrame(r->id, "late", 4);  // after the close: nothing
      r->closedSelf = true;
      return;
    }
    SendFrame(r->id, payload.data(), static_cast<int>(payload.size()));
    ++r->echoed;
  }
};

TEST_F(FrameTransport, CallbacksMayCallSendFrameAndCloseConnection) {
  std::string seen;
  auto server = std::make_unique<Server>([&](int fd) {
    seen = RecvN(fd, Frame("hello").size());
    for (int i = 0; i < 20; ++i) {
      SendAll(fd, Frame("m" + std::to_string(i)));
      seen += RecvN(fd, Frame("m" + std::to_string(i)).size());
    }
    SendAll(fd, Frame("bye"));
    PeerClosed(fd, 2000);
    seen += RecvAll(fd, 50);
  });
  Reentrant r;
  r.id = CreateConnection();
  SetConnectionCallbacks(r.id, Reentrant::OnState, &r);
  SetConnectionDataCallback(r.id, Reentrant::OnFrame, &r);
  SetConnectionHost(r.id, "127.0.0.1", server->port());
  SetConnectionProxy(r.id, nullptr);
  StartConnection(r.id);
  ASSERT_TRUE(WaitFor([&] { return r.closedSelf.load(); }));
  EXPECT_EQ(r.echoed, 20);
  std::string expected = Frame("hello");
  for (int i = 0; i < 20; ++i) expected += Frame("m" + std::to_string(i));
  ASSERT_TRUE(WaitFor([&] { return CountConnectionsForTesting() == 0; }));
  server.reset();
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(r.states, 1);  // only state 0: nothing after its own close
}

TEST_F(FrameTransport, QueueUsedWhenPeerStopsReadingAndFramesNeverInterleave) {
  std::atomic<bool> readNow{false};
  std::string stream;
  auto server = std::make_unique<Server>(
      [&](int fd) {
        WaitFor([&] { return readNow.load(); }, 20000);
        stream = RecvAll(fd, 300);
      },
      4096);
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", server->port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionUp); }));
  // Frames with distinct payloads, sent until the socket stops taking them;
  // 50 more then go behind the waiting bytes and must never overtake them.
  std::vector<std::string> payloads;
  size_t waiting = 0, capacity = 0;
  int extra = -1;
  for (int i = 0; i < 20000 && extra != 0; ++i) {
    std::string p(1000 + i * 37 % 5000, static_cast<char>('a' + i % 26));
    p += std::to_string(i);
    payloads.push_back(p);
    SendFrame(id, p.data(), static_cast<int>(p.size()));
    ASSERT_TRUE(GetConnectionQueueForTesting(id, &waiting, &capacity));
    if (extra > 0) --extra;
    if (extra < 0 && waiting > 0) extra = 50;
  }
  ASSERT_EQ(extra, 0) << "the socket never refused bytes";
  EXPECT_EQ(capacity % 10240, 0u);
  EXPECT_GT(capacity, waiting);
  readNow = true;
  ASSERT_TRUE(WaitFor([&] {
    GetConnectionQueueForTesting(id, &waiting, &capacity);
    return waiting == 0;
  }, 20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  CloseConnection(id);
  server.reset();
  std::string expected;
  for (auto& p : payloads) expected += Frame(p);
  EXPECT_EQ(stream.size(), expected.size());
  EXPECT_TRUE(stream == expected) << "frames arrived out of order or interleaved";
  EXPECT_TRUE(record.Frames().empty());
}

long long ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// A peer that reads nothing: the queue grows by doubling (so a send costs
// about its own size, not the queue's) and stops at one largest frame; the
// frame past that is refused with state 3 and the queue stays as it was.
TEST_F(FrameTransport, SendQueueGrowsByDoublingUpToItsCap) {
  std::atomic<bool> done{false};
  auto server = std::make_unique<Server>([&](int) { WaitFor([&] { return done.load(); }, 60000); }, 4096);
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", server->port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionUp); }));
  const std::string megabyte(1 << 20, 'm');
  size_t waiting = 0, capacity = 0, lastCapacity = 0, before = 0;
  int growths = 0, sent = 0;
  long long slowest = 0;
  while (!record.HasState(kConnectionFailed) && sent < 200) {
    before = waiting;
    // The sending thread's processor time: a busy machine stretches the
    // wall clock, not the work a send does.
    const long long start = ThreadCpuMs();
    SendFrame(id, megabyte.data(), static_cast<int>(megabyte.size()));
    slowest = std::max(slowest, ThreadCpuMs() - start);
    ++sent;
    ASSERT_TRUE(GetConnectionQueueForTesting(id, &waiting, &capacity));
    ASSERT_LE(waiting, kMaxFramePayload + 5);
    if (capacity != lastCapacity) ++growths;
    lastCapacity = capacity;
  }
  EXPECT_TRUE(record.HasState(kConnectionFailed)) << "the queue never filled";
  EXPECT_GE(sent, 60);   // about 64 MB queued, plus what the socket took
  EXPECT_LE(sent, 80);
  EXPECT_LE(growths, 16) << "grown by doubling, not per frame";
  EXPECT_EQ(capacity % 10240, 0u);
  EXPECT_LT(slowest, 2000) << "a send costs its own size, not the queue's";
  // The refused frame left no part of itself behind.
  EXPECT_EQ(waiting, before) << "the refused frame left nothing behind";
  EXPECT_GT(waiting + (1 << 20) + 5, kMaxFramePayload + 5) << "refused only past the cap";
  done = true;
  CloseConnection(id);
  server.reset();
}

TEST_F(FrameTransport, KeepAliveOnSpacedAndNotDelayedByTraffic) {
  std::vector<long long> emptyAt;
  std::mutex lock;
  std::atomic<bool> done{false};
  auto server = std::make_unique<Server>([&](int fd) {
    while (!done) {
      std::string h = RecvN(fd, 5, 100);
      if (h.size() < 5) continue;
      size_t n = (static_cast<unsigned char>(h[2]) << 8) | static_cast<unsigned char>(h[3]);
      if (n == 0) {
        std::lock_guard<std::mutex> g(lock);
        emptyAt.push_back(NowMs());
      } else {
        RecvN(fd, n);
      }
    }
  });
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", server->port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionUp); }));
  SetConnectionKeepAlive(id, 1);
  long long until = NowMs() + 1400;
  while (NowMs() < until) {  // other traffic every 20 ms
    SendFrame(id, "data", 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  done = true;
  CloseConnection(id);
  server.reset();
  ASSERT_GE(emptyAt.size(), 4u);
  for (size_t i = 1; i < emptyAt.size(); ++i) {
    long long gap = emptyAt[i] - emptyAt[i - 1];
    EXPECT_GE(gap, 230) << i;  // keepAliveMs 250, loopback jitter
    EXPECT_LE(gap, 250 + 50 + 60) << i;  // + one wait step + slack
  }
}

TEST_F(FrameTransport, KeepAliveOffOrForcedOffAtConnect) {
  for (bool setBeforeStart : {false, true}) {
    std::string got;
    auto server = std::make_unique<Server>([&](int fd) { got = RecvAll(fd, 800); });
    ConnectionRecord record;
    int id = CreateConnection();
    SetConnectionCallbacks(id, ConnectionRecord::OnState, &record);
    SetConnectionHost(id, "127.0.0.1", server->port());
    if (setBeforeStart) SetConnectionKeepAlive(id, 1);  // forced off when state 0 comes
    StartConnection(id);
    ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionUp); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    CloseConnection(id);
    server.reset();
    EXPECT_EQ(got, "") << setBeforeStart;
  }
}

TEST(FrameTransportRealTime, KeepAliveEveryFiveSeconds) {
  SetTransportTimings(TransportTimings{});
  long long upAt = 0;
  std::atomic<long long> firstEmpty{0};
  Server server([&](int fd) {
    std::string h = RecvN(fd, 5, 8000);
    if (h == std::string(5, '\0')) firstEmpty = NowMs();
  });
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", server.port());
  ASSERT_TRUE(WaitFor([&] { return record.HasState(kConnectionUp); }));
  upAt = NowMs();
  SetConnectionKeepAlive(id, 1);
  ASSERT_TRUE(WaitFor([&] { return firstEmpty.load() != 0; }, 8000));
  EXPECT_GE(firstEmpty - upAt, 4900);
  EXPECT_LE(firstEmpty - upAt, 6200);
  CloseConnection(id);
}

TEST_F(FrameTransport, StressOpenSendCloseConcurrently) {
  // Echo servers; many connections opened, fed from several threads and
  // closed at random moments, some from their own callbacks.
  Server server([](int fd) {
    for (;;) {
      std::string h = RecvN(fd, 5, 500);
      if (h.size() < 5) return;
      size_t n = (static_cast<unsigned char>(h[2]) << 8) | static_cast<unsigned char>(h[3]);
      if (!SendAll(fd, h + RecvN(fd, n))) return;
    }
  });
  struct Echo {
    std::atomic<int> id{0};
    std::atomic<int> frames{0};
    static void OnFrame(void* user, const char*, int) {
      auto* e = static_cast<Echo*>(user);
      if (++e->frames == 10) CloseConnection(e->id);
      else SendFrame(e->id, "again", 5);
    }
    static void OnState(void* user, int code) {
      auto* e = static_cast<Echo*>(user);
      if (code == kConnectionUp) SendFrame(e->id, "first", 5);
    }
  };
  std::vector<std::unique_ptr<Echo>> echoes;
  for (int i = 0; i < 40; ++i) echoes.push_back(std::make_unique<Echo>());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = t; i < 40; i += 4) {
        Echo* e = echoes[i].get();
        e->id = CreateConnection();
        SetConnectionCallbacks(e->id, Echo::OnState, e);
        SetConnectionDataCallback(e->id, Echo::OnFrame, e);
        SetConnectionHost(e->id, "127.0.0.1", server.port());
        StartConnection(e->id);
        if (i % 3 == 0) CloseConnection(e->id);  // right away
        SendFrame(e->id, "extra", 5);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (auto& e : echoes) CloseConnection(e->id);
  EXPECT_TRUE(WaitFor([] { return CountConnectionsForTesting() == 0; }, 10000));
}

}  // namespace
