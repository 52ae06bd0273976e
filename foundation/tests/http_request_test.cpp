// The program's own HTTP client against scripted loopback HTTP servers.
#include <gtest/gtest.h>

#include <random>

#include "foundation/http_request.h"
#include "http_test_support.h"

namespace {

using namespace nettest;

class HttpRequestTest : public FastTimingTest {};

TEST_F(HttpRequestTest, ExactRequestBytes) {
  struct Case {
    const char* name;
    bool ex;
    const char* path;
    const char* body;
    const char* extra;
    const char* type;
    std::string expected;  // with PORT for the server's port
  } cases[] = {
      {"post form", false, "/v2bin", "a=1&b=2345", nullptr, nullptr,
       "POST /v2bin HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nContent-Length: 10\r\nAccept: */*\r\n"
       "Accept-Encoding: gzip, deflate\r\nContent-Type: application/x-www-form-urlencoded\r\n"
       "Connection: close\r\n\r\na=1&b=2345"},
      {"get", false, "", nullptr, nullptr, nullptr,
       "GET / HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nContent-Length: 0\r\nAccept: */*\r\n"
       "Accept-Encoding: gzip, deflate\r\nConnection: close\r\n\r\n"},
      {"ex with extra line", true, "/t?x=1", "xyz", "X-Sign: 42", "application/octet-stream",
       "POST /t?x=1 HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nContent-Length: 3\r\nAccept: */*\r\n"
       "Accept-Encoding: gzip, deflate\r\nContent-Type: application/octet-stream\r\nX-Sign: 42\r\n"
       "Connection: close\r\n\r\nxyz"},
  };
  for (const Case& c : cases) {
    std::string request;
    std::string expected = c.expected;
    HttpRecord record;
    {
      Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}, 0, &request));
      std::string url = Url(server.port(), c.path);
      int length = c.body ? static_cast<int>(std::strlen(c.body)) : 0;
      int id = c.ex ? StartHttpRequestEx(url.c_str(), c.extra, c.type, c.body, length, "", HttpRecord::OnReply, &record)
                    : StartHttpRequest(url.c_str(), c.body, length, nullptr, HttpRecord::OnReply, &record);
      EXPECT_GT(id, 0);
      ASSERT_TRUE(record.WaitFinal()) << c.name;
      expected.replace(expected.find("PORT"), 4, std::to_string(server.port()));
    }
    EXPECT_EQ(request, expected) << c.name;
    EXPECT_EQ(record.First().status, kHttpCompleted) << c.name;
  }
}

TEST_F(HttpRequestTest, HelloCompletesAfterProgressReports) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"}));
  HttpRecord record;
  std::string url = Url(server.port(), "/hello");
  StartHttpRequest(url.c_str(), nullptr, 0, "", HttpRecord::OnReply, &record);
  ASSERT_TRUE(record.WaitFinal());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(record.Progress(), (std::vector<int>{5, 10, 15, 20, 100}));
  ASSERT_EQ(record.FinalCount(), 1u);
  HttpRecord::Final f = record.First();
  EXPECT_EQ(f.status, kHttpCompleted);
  EXPECT_EQ(f.body, "hello");
  EXPECT_TRUE(f.zeroAfter);
}

TEST_F(HttpRequestTest, RepliesTable) {
  const std::string big(1000000, 'b');  // over the 409,600 default capacity
  struct Case {
    const char* name;
    std::vector<std::string> parts;
    int pauseMs;
    int status;
    const char* body;       // expected body (nullptr: none handed over)
    const std::string* longBody = nullptr;
  } cases[] = {
      {"header split across reads", {"HTTP/1.1 200 OK\r\nConte", "nt-Length: 5\r\n\r", "\nhel", "lo"}, 40, 0, "hello"},
      {"no content length completes at close", {"HTTP/1.0 200 OK\r\n\r\n", "part1 ", "part2"}, 20, 0, "part1 part2"},
      {"chunked is decoded", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", "6\r\n world\r\n0\r\n\r\n"},
       20, 0, "hello world"},
      {"chunked cut short", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel"}, 0, 1, "hel"},
      {"chunked malformed", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"}, 0, 1, nullptr},
      {"404 fails with its body", {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"}, 0, 1, "not found"},
      {"500 without length fails", {"HTTP/1.1 500 Oops\r\n\r\nbroken"}, 0, 1, "broken"},
      {"close before announced length", {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}, 0, 1, "abc"},
      {"no body and close", {"HTTP/1.1 200 OK\r\n\r\n"}, 0, 1, nullptr},
      {"close inside the header", {"HTTP/1.1 200 OK\r\nContent-"}, 0, 1, nullptr},
      {"header over 1,024 bytes", {"HTTP/1.1 200 OK\r\nX-Pad: " + std::string(1100, 'p') + "\r\n\r\nhello"}, 0, 1, nullptr},
      {"hostile content length", {"HTTP/1.1 200 OK\r\nContent-Length: 4294967295000\r\n\r\nabc"}, 0, 1, nullptr},
      {"content length over the cap", {"HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\nabc"}, 0, 1, nullptr},
      {"negative content length", {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nabc"}, 0, 1, nullptr},
      {"slow body", {"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n", "ab", "cd", "ef"}, 60, 0, "abcdef"},
      {"large body without length", {"HTTP/1.0 200 OK\r\n\r\n", big}, 0, 0, nullptr, &big},
      {"large body with length", {"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n", big}, 0, 0, nullptr, &big},
  };
  for (const Case& c : cases) {
    // A body without a length ends at one second of silence here, and the
    // whole request at four: a loaded machine can hold the server's 1 MB
    // that long, so the large bodies get windows no stall reaches.
    TransportTimings timings = FastTimings();
    if (c.longBody != nullptr) {
      timings.httpMissLimit = 600;
      timings.httpTimeoutMs = 60000;
    }
    SetTransportTimings(timings);
    HttpRecord record;
    {
      Server server(Reply(c.parts, c.pauseMs));
      std::string url = Url(server.port(), "/r");
      StartHttpRequest(url.c_str(), nullptr, 0, "", HttpRecord::OnReply, &record);
      ASSERT_TRUE(record.WaitFinal(c.longBody != nullptr ? 60000 : 5000)) << c.name;
    }
    HttpRecord::Final f = record.First();
    EXPECT_EQ(f.status, c.status) << c.name;
    if (c.longBody != nullptr) {
      EXPECT_TRUE(f.body == *c.longBody) << c.name << " got " << f.body.size() << " bytes";
    } else if (c.body == nullptr) {
      EXPECT_FALSE(f.hasBody) << c.name;
    } else {
      EXPECT_EQ(f.body, c.body) << c.name;
    }
    if (f.hasBody) {
      EXPECT_TRUE(f.zeroAfter) << c.name;
    }
    EXPECT_EQ(record.FinalCount(), 1u) << c.name;
  }
  EXPECT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }));
}

TEST_F(HttpRequestTest, ConnectionFailuresAndProxyTypes) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}));
  std::string good = Url(server.port(), "/");
  std::string refused = Url(FreePort(), "/");
  struct Case {
    const char* name;
    std::string url;
    const char* proxy;
    int status;
  } cases[] = {
      {"refused", refused, "", kHttpFailed},
      {"unresolvable", "http://1.2.3.999/", "", kHttpFailed},
      {"type -1 is direct", good, "-1||||", kHttpCompleted},
      {"unknown proxy type", good, "7|127.0.0.1|1|||", kHttpFailed},
  };
  for (const Case& c : cases) {
    HttpRecord record;
    StartHttpRequest(c.url.c_str(), nullptr, 0, c.proxy, HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal()) << c.name;
    EXPECT_EQ(record.First().status, c.status) << c.name;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(record.FinalCount(), 1u) << c.name;
  }
}

TEST_F(HttpRequestTest, ThroughScriptedProxies) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npong";
  auto serve = [ok](int fd) {
    ReadHttpRequest(fd);
    SendAll(fd, ok);
  };
  struct Case {
    const char* name;
    int type;
    std::vector<ProxyStep> steps;
  } cases[] = {
      {"socks4", 0, {{9, std::string("\x00\x5A\0\0\0\0\0\0", 8)}}},
      {"socks5", 1, {{3, std::string("\x05\x00", 2)}, {10, std::string("\x05\x00\x00\x01\0\0\0\0\0\0", 10)}}},
      {"socks5 bound to a domain name", 1,
       {{3, std::string("\x05\x00", 2)}, {10, std::string("\x05\x00\x00\x03\x0Bproxy.local\x1F\xAE", 18)}}},
      {"socks5 bound to an IPv6 address", 1,
       {{3, std::string("\x05\x00", 2)}, {10, std::string("\x05\x00\x00\x04", 4) + std::string(18, '\x01')}}},
      {"connect", 2, {{0, "HTTP/1.1 200 Connection established\r\n\r\n"}}},
  };
  for (const Case& c : cases) {
    ScriptedProxy proxy(c.steps, serve);
    std::string setting = std::to_string(c.type) + "|127.0.0.1|" + std::to_string(proxy.port()) + "|||";
    HttpRecord record;
    StartHttpRequest("http://10.0.0.2:8889/v2bin", "k=v", 3, setting.c_str(), HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal()) << c.name;
    EXPECT_EQ(record.First().status, kHttpCompleted) << c.name;
    EXPECT_EQ(record.First().body, "pong") << c.name;
  }
}

// A proxy that accepts and never answers: once the request has reported its
// time-out, its worker leaves the handshake within a wait step, long before
// the handshake's own deadline.
TEST_F(HttpRequestTest, SilentProxyWorkerEndsWithTheTimeOut) {
  TransportTimings t = FastTimings();
  t.httpTimeoutMs = 300;
  t.connectTimeoutMs = 30000;
  t.handshakeTimeoutMs = 30000;
  SetTransportTimings(t);
  for (int type : {0, 1, 2}) {
    std::atomic<long long> closedAt{0};
    Server proxy([&](int fd) {
      if (PeerClosed(fd, 20000)) closedAt = NowMs();
    });
    std::string setting = std::to_string(type) + "|127.0.0.1|" + std::to_string(proxy.port()) + "|||";
    HttpRecord record;
    StartHttpRequest("http://10.0.0.2:8889/v2bin", "k=v", 3, setting.c_str(), HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal()) << type;
    long long reported = NowMs();
    EXPECT_EQ(record.First().status, kHttpTimedOut) << type;
    ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }, 5000)) << type << ": the worker lingers";
    ASSERT_TRUE(WaitFor([&] { return closedAt.load() != 0; }, 5000)) << type;
    EXPECT_LT(closedAt.load() - reported, 3000) << type;
    EXPECT_EQ(record.FinalCount(), 1u) << type;
  }
}

TEST_F(HttpRequestTest, LongAddressWorks) {
  std::string request;
  auto server = std::make_unique<Server>(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}, 0, &request));
  std::string path = "/" + std::string(1000, 'u');
  std::string url = Url(server->port(), path);
  HttpRecord record;
  StartHttpRequestEx(url.c_str(), std::string(600, 'h').c_str(), std::string(200, 't').c_str(), "b", 1, "",
                     HttpRecord::OnReply, &record);
  ASSERT_TRUE(record.WaitFinal());
  EXPECT_EQ(record.First().status, kHttpCompleted);
  server.reset();
  EXPECT_EQ(request.rfind("POST " + path + " HTTP/1.1\r\n", 0), 0u);
  // The extra line and the content type are cut to their fields (511, 127 bytes).
  EXPECT_NE(request.find("\r\n" + std::string(511, 'h') + "\r\nConnection: close"), std::string::npos);
  EXPECT_NE(request.find("Content-Type: " + std::string(127, 't') + "\r\n"), std::string::npos);
}

TEST_F(HttpRequestTest, SilentServerTimesOutOnce) {
  TransportTimings t = FastTimings();
  t.httpTimeoutMs = 300;
  SetTransportTimings(t);
  Server server([](int fd) { PeerClosed(fd, 3000); });
  HttpRecord record;
  long long start = NowMs();
  StartHttpRequest(Url(server.port()).c_str(), nullptr, 0, "", HttpRecord::OnReply, &record);
  ASSERT_TRUE(record.WaitFinal());
  EXPECT_GE(NowMs() - start, 280);
  EXPECT_EQ(record.First().status, kHttpTimedOut);
  EXPECT_FALSE(record.First().hasBody);
  ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }));
  EXPECT_EQ(record.FinalCount(), 1u);
}

// The server holds its reply until the test releases it, so the abandon
// surely comes before any report, whether the worker has connected yet
// ("at once") or waits for the reply ("while waiting"); the reply sent after
// it must reach no one.
TEST_F(HttpRequestTest, AbandonStopsEveryCallback) {
  TransportTimings t = FastTimings();
  t.httpTimeoutMs = 60000;  // no time-out can report first
  SetTransportTimings(t);
  for (bool waitForTheServer : {false, true}) {
    SCOPED_TRACE(waitForTheServer ? "while waiting" : "at once");
    std::atomic<bool> accepted{false};
    std::atomic<bool> released{false};
    Server server([&](int fd) {
      ReadHttpRequest(fd);
      accepted = true;
      WaitFor([&] { return released.load(); }, 30000);
      SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    HttpRecord record;
    int id = StartHttpRequest(Url(server.port()).c_str(), nullptr, 0, "", HttpRecord::OnReply, &record);
    if (waitForTheServer) {
      ASSERT_TRUE(WaitFor([&] { return accepted.load(); }, 30000));
    }
    AbandonHttpRequest(id);
    record.abandoned = true;
    released = true;
    ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }, 30000));
    EXPECT_EQ(record.afterAbandon.load(), 0);
    EXPECT_EQ(record.FinalCount(), 0u);
  }
  AbandonHttpRequest(0);
  AbandonHttpRequest(-5);
  AbandonHttpRequest(1 << 30);
}

// A progress callback that abandons its own request (read from the record).
struct SelfAbandon {
  std::atomic<int> calls{0};
  std::atomic<bool> addressSeen{false};
  std::atomic<int> active{0};
  ~SelfAbandon() {
    while (active != 0) std::this_thread::yield();
  }
  static void OnReply(HttpRequest* request, void* user, const char*, int length, int status) {
    auto* s = static_cast<SelfAbandon*>(user);
    ++s->active;
    ++s->calls;
    if (std::string(request->address).find("/self") != std::string::npos) s->addressSeen = true;
    if (status == kHttpProgress && length == 10) AbandonHttpRequest(request->id);
    --s->active;
  }
};

TEST_F(HttpRequestTest, ProgressCallbackAbandonsItsOwnRequest) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}));
  SelfAbandon s;
  StartHttpRequest(Url(server.port(), "/self").c_str(), nullptr, 0, "", SelfAbandon::OnReply, &s);
  ASSERT_TRUE(WaitFor([&] { return s.calls >= 2; }));
  ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }));
  EXPECT_EQ(s.calls, 2);  // progress 5 and 10, nothing after the abandon
  EXPECT_TRUE(s.addressSeen);
}

TEST_F(HttpRequestTest, ThreadStartFailureReportsOnCallerThreadAtOnce) {
  SetThreadStartFailsForTesting(true);
  HttpRecord record;
  int id = StartHttpRequest("http://127.0.0.1:1/", nullptr, 0, "", HttpRecord::OnReply, &record);
  EXPECT_GT(id, 0);
  ASSERT_EQ(record.FinalCount(), 1u);
  EXPECT_EQ(record.First().status, kHttpFailed);
  EXPECT_EQ(record.First().thread, std::this_thread::get_id());
  EXPECT_EQ(CountHttpRequestsForTesting(), 0);
}

// The login chain starts each next request from the previous callback.
struct Chain {
  std::string url;
  std::atomic<int> left{5};
  std::atomic<int> completed{0};
  static void OnReply(HttpRequest*, void* user, const char*, int, int status) {
    auto* c = static_cast<Chain*>(user);
    if (status == kHttpProgress) return;
    if (status == kHttpCompleted) ++c->completed;
    if (--c->left > 0) StartHttpRequest(c->url.c_str(), "n=1", 3, "", OnReply, c);
  }
};

TEST_F(HttpRequestTest, CallbackStartsTheNextRequest) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}));
  Chain chain;
  chain.url = Url(server.port(), "/login");
  StartHttpRequest(chain.url.c_str(), nullptr, 0, "", Chain::OnReply, &chain);
  ASSERT_TRUE(WaitFor([&] { return chain.left <= 0; }));
  EXPECT_EQ(chain.completed, 5);
}

TEST_F(HttpRequestTest, StressTimeoutsRaceCompletionsAndAbandons) {
  TransportTimings t = FastTimings();
  t.httpTimeoutMs = 60;
  SetTransportTimings(t);
  std::atomic<int> counter{0};
  Server server([&](int fd) {
    ReadHttpRequest(fd);
    int n = counter++;
    std::this_thread::sleep_for(std::chrono::milliseconds(n * 7 % 120));
    SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  const int kCount = 60;
  std::vector<std::unique_ptr<HttpRecord>> records;
  for (int i = 0; i < kCount; ++i) records.push_back(std::make_unique<HttpRecord>());
  std::vector<int> ids(kCount);
  std::vector<std::thread> threads;
  for (int k = 0; k < 3; ++k) {
    threads.emplace_back([&, k] {
      for (int i = k; i < kCount; i += 3) {
        ids[i] = StartHttpRequest(Url(server.port()).c_str(), nullptr, 0, "", HttpRecord::OnReply, records[i].get());
        if (i % 5 != 0) continue;
        AbandonHttpRequest(ids[i]);
        records[i]->abandoned = true;
      }
    });
  }
  for (auto& th : threads) th.join();
  ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }, 15000));
  for (int i = 0; i < kCount; ++i) {
    // A time-out may overtake a slow thread between the start and the
    // abandon, and its report then comes before the abandon, as it should:
    // what is guaranteed is nothing after the abandon returned and at most one
    // report in all. (Abandoning before any report is checked
    // deterministically by AbandonStopsEveryCallback.)
    if (i % 5 == 0) {
      EXPECT_EQ(records[i]->afterAbandon.load(), 0) << i;
      EXPECT_LE(records[i]->FinalCount(), 1u) << i;
      continue;
    }
    ASSERT_EQ(records[i]->FinalCount(), 1u) << i;
    int status = records[i]->First().status;
    EXPECT_TRUE(status == kHttpCompleted || status == kHttpTimedOut) << i << " status " << status;
  }
}

TEST(HttpRequestRealTime, FifteenSecondTimeout) {
  SetTransportTimings(TransportTimings{});
  Server server([](int fd) { PeerClosed(fd, 30000); });
  HttpRecord record;
  long long start = NowMs();
  StartHttpRequest(Url(server.port()).c_str(), nullptr, 0, "", HttpRecord::OnReply, &record);
  ASSERT_TRUE(record.WaitFinal(20000));
  long long elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 14900);
  EXPECT_LE(elapsed, 16500);
  EXPECT_EQ(record.First().status, kHttpTimedOut);
  // The worker notices at its next 10 s wait step at the latest and ends silently.
  ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }, 12000));
  EXPECT_EQ(record.FinalCount(), 1u);
}

}  // namespace
