// Frames and HTTP requests through real proxies (dante-server for SOCKS4 and
// SOCKS5, tinyproxy for HTTP CONNECT) to loopback servers of the test.
#include <gtest/gtest.h>

#include "foundation/frame_transport.h"
#include "foundation/http_request.h"
#include "foundation/system_http.h"
#include "real_proxy.h"
#include "http_test_support.h"
#include "transport_test_support.h"

namespace {

using namespace nettest;

class RealProxy : public FastTimingTest {
 protected:
  void SetUp() override {
    FastTimingTest::SetUp();
    TransportTimings t = FastTimings();
    t.httpTimeoutMs = 8000;  // real proxies answer more slowly than scripted ones
    t.systemHttpTimeoutMs = 8000;
    SetTransportTimings(t);
  }
};

// Opens a frame connection through the proxy to an echo server; true when a
// frame comes back.
::testing::AssertionResult FrameRoundTrip(const std::string& setting) {
  Server echo(EchoFrames);
  ConnectionRecord record;
  int id = OpenConnection(&record, "127.0.0.1", echo.port(), setting.c_str());
  bool up = WaitFor([&] { return !record.States().empty(); });
  if (!up || record.States()[0] != kConnectionUp) {
    CloseConnection(id);
    return ::testing::AssertionFailure() << "state " << (up ? record.States()[0] : -99);
  }
  std::string payload(3000, 'q');
  SendFrame(id, payload.data(), static_cast<int>(payload.size()));
  bool back = WaitFor([&] { return record.Frames().size() == 1; });
  CloseConnection(id);
  if (!back) return ::testing::AssertionFailure() << "no echo";
  if (record.Frames()[0] != Frame(payload)) return ::testing::AssertionFailure() << "wrong echo";
  return ::testing::AssertionSuccess();
}


// A loopback HTTP server answering every request with "proxied".
void AnswerProxied(int fd) {
  RecvUntil(fd, "\r\n\r\n");
  SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied");
  PeerClosed(fd, 500);
}

TEST_F(RealProxy, DanteSocks4AndSocks5) {
  if (!Installed(kDanted)) GTEST_SKIP() << "danted (Debian package dante-server) is not installed";
  auto dante = StartDante(FreePort());
  ASSERT_TRUE(dante->ready()) << dante->Log();
  const std::string at = "|127.0.0.1|" + std::to_string(dante->port()) + "|||";
  EXPECT_TRUE(FrameRoundTrip("0" + at)) << "SOCKS4\n" << dante->Log();
  EXPECT_TRUE(FrameRoundTrip("1" + at)) << "SOCKS5\n" << dante->Log();
  for (const char* type : {"0", "1"}) {
    Server web(AnswerProxied);
    HttpRecord outcome;
    std::string address = "http://127.0.0.1:" + std::to_string(web.port()) + "/x";
    std::string setting = type + at;
    StartHttpRequest(address.c_str(), nullptr, 0, setting.c_str(), HttpRecord::OnReply, &outcome);
    ASSERT_TRUE(outcome.WaitFinal(10000)) << type;
    EXPECT_EQ(outcome.First().status, kHttpCompleted) << type;
    EXPECT_EQ(outcome.First().body, "proxied") << type;
  }
}

TEST_F(RealProxy, TinyproxyConnect) {
  if (!Installed(kTinyproxy)) GTEST_SKIP() << "tinyproxy is not installed";
  auto open = StartTinyproxy(FreePort());
  ASSERT_TRUE(open->ready()) << open->Log();
  EXPECT_TRUE(FrameRoundTrip("2|127.0.0.1|" + std::to_string(open->port()) + "|||")) << open->Log();
  auto guarded = StartTinyproxy(FreePort(), "bob", "s3cret");
  ASSERT_TRUE(guarded->ready()) << guarded->Log();
  const std::string at = "2|127.0.0.1|" + std::to_string(guarded->port());
  EXPECT_TRUE(FrameRoundTrip(at + "|bob|s3cret|")) << guarded->Log();
  EXPECT_FALSE(FrameRoundTrip(at + "|bob|wrong|"));
  EXPECT_FALSE(FrameRoundTrip(at + "|||"));
  // The socket client and the system stack through the same proxy.
  Server web(AnswerProxied);
  std::string address = "http://127.0.0.1:" + std::to_string(web.port()) + "/x";
  std::string setting = at + "|bob|s3cret|";
  HttpRecord own, system;
  StartHttpRequest(address.c_str(), nullptr, 0, setting.c_str(), HttpRecord::OnReply, &own);
  StartWinInetRequest(address.c_str(), "", nullptr, 0, setting.c_str(), HttpRecord::OnReply, &system);
  ASSERT_TRUE(own.WaitFinal(10000) && system.WaitFinal(10000));
  EXPECT_EQ(own.First().status, kHttpCompleted);
  EXPECT_EQ(own.First().body, "proxied");
  EXPECT_EQ(system.First().status, kHttpCompleted) << guarded->Log();
  EXPECT_EQ(system.First().body, "proxied");
}

}  // namespace
