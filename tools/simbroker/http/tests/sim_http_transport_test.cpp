// How the services behave on the wire: reply framing, old clients, refused
// and silent services, the request log.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tools/simbroker/http/tests/sim_http_test_support.h"

using namespace simhttp;

namespace {

// Sends `request` raw to host:port and reads until the server closes.
std::string RawExchange(const std::string& host, int port, const std::string& request) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return "";
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::string reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, request.data(), request.size(), 0) == ssize_t(request.size())) {
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, size_t(n));
  }
  close(fd);
  return reply;
}

std::string HeaderValue(const std::string& reply, const std::string& name) {
  size_t end = reply.find("\r\n\r\n");
  std::string head = reply.substr(0, end);
  size_t at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "<missing>";
  at += name.size() + 4;
  return head.substr(at, head.find("\r\n", at) - at);
}

TEST_F(SimHttpFixture, RepliesAreFramedForEveryClient) {
  struct Case {
    const char* name;
    std::string request;
  } cases[] = {
      {"HTTP/1.0 GET without Host", "GET /randomcode HTTP/1.0\r\n\r\n"},
      {"HTTP/1.1 keep-alive asked", "GET /marquee HTTP/1.1\r\nHost: x\r\nConnection: keep-alive\r\n\r\n"},
      {"gzip accepted but not wanted",
       "POST /ialogin HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip, deflate, br\r\n"
       "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 84\r\n\r\n"
       "username=demo&password=demo123&randomCode=1234&clientversion=tq_winpc_tqx1_1.0.0.1_016"},
  };
  for (const Case& c : cases) {
    std::string reply = RawExchange("127.0.0.1", server_->Port(), c.request);
    ASSERT_EQ(0u, reply.find("HTTP/1.1 200 OK\r\n")) << c.name << "\n" << reply.substr(0, 200);
    EXPECT_EQ("close", HeaderValue(reply, "Connection")) << c.name;
    EXPECT_EQ("<missing>", HeaderValue(reply, "Transfer-Encoding")) << c.name;
    EXPECT_EQ("<missing>", HeaderValue(reply, "Content-Encoding")) << c.name;
    std::string body = reply.substr(reply.find("\r\n\r\n") + 4);
    EXPECT_EQ(std::to_string(body.size()), HeaderValue(reply, "Content-Length")) << c.name;
  }
  // Every plain service refuses to compress for a client that offers gzip.
  for (const char* path : {"/marquee", "/checkmsg?userid=demo", "/boardconf?timestamp=0", "/home.html",
                           "/update/update.ini", "/newslist?stockcode=600000&marketid=1"}) {
    std::string reply = RawExchange("127.0.0.2", server_->Port(),
                                    std::string("GET ") + path + " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip, br\r\n\r\n");
    EXPECT_EQ("<missing>", HeaderValue(reply, "Content-Encoding")) << path;
  }
  auto log = server_->Requests("page");
  ASSERT_FALSE(log.empty());
  auto first = server_->Requests("randomcode");
  ASSERT_EQ(1u, first.size());
  EXPECT_EQ("HTTP/1.0", first[0].version);
  EXPECT_FALSE(first[0].hasHost);
  EXPECT_EQ(200, first[0].status);
}

TEST_F(SimHttpFixture, SilentServiceHoldsItsReply) {
  SimHttpScenario s;
  s.silent = {"v2bin", "ialogin"};
  Set(s);
  auto started = std::chrono::steady_clock::now();
  auto r = Client(0, 300)->Post("/v2bin", "ver=x", "application/x-www-form-urlencoded");
  EXPECT_FALSE(r) << "the client's time-out comes first";
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1400));
  // Other services still answer at once; the held one answers after holdMs.
  EXPECT_FALSE(Get("/marquee").empty());
  auto late = Client(0, 4000)->Post("/ialogin", "username=demo&password=demo123&randomCode=1234&clientversion=x",
                                    "application/x-www-form-urlencoded");
  ASSERT_TRUE(late);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1400));
  EXPECT_EQ(1u, server_->Requests("v2bin").size()) << "held requests are logged";
  // Stop releases a held request at once.
  std::thread waiter([this] { Client(1, 4000)->Post("/v2bin", "ver=y", "text/plain"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto stopStarted = std::chrono::steady_clock::now();
  server_->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStarted, std::chrono::milliseconds(1200));
  waiter.join();
}

TEST_F(SimHttpFixture, StoppedSiteRefusesAndComesBack) {
  ASSERT_EQ(1, server_->SetSiteListening(1, false));
  auto refused = Client(1, 1000)->Post("/v2bin", "ver=x", "application/x-www-form-urlencoded");
  EXPECT_FALSE(refused);
  EXPECT_FALSE(Post("/v2bin", "ver=x", 2).empty()) << "other sites go on";
  ASSERT_EQ(1, server_->SetSiteListening(1, true));
  EXPECT_NE(std::string::npos, Post("/v2bin", "ver=x", 1).find("<SiteConf>127.0.0.2|"));
  EXPECT_EQ(0, server_->SetSiteListening(7, false));
  EXPECT_EQ(0u, server_->Requests().empty());
  server_->ClearRequests();
  EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(SimHttpFixture, ForcedStatusesAnswerWithoutBody) {
  SimHttpScenario s;
  s.status = {{"update.ini", 404}, {"ialogin", 500}, {"boardconf", 502}};
  Set(s);
  struct Case {
    const char* target;
    bool post;
    int status;
  } cases[] = {{"/update/update.ini", false, 404}, {"/ialogin", true, 500}, {"/boardconf?timestamp=0", false, 502},
               {"/marquee", false, 200}};
  for (const Case& c : cases) {
    auto r = c.post ? Client()->Post(c.target, "x", "text/plain") : Client()->Get(c.target);
    ASSERT_TRUE(r) << c.target;
    EXPECT_EQ(c.status, r->status) << c.target;
    if (c.status != 200) {
      EXPECT_TRUE(r->body.empty()) << c.target;
    }
  }
}

TEST(SimHttpServerStart, RunUntilStoppedOrRefuseABusyPort) {
  SimHttpOptions options;
  options.port = 0;
  SimHttpServer holder(options);
  ASSERT_EQ(1, holder.Start());
  options.port = holder.Port();
  std::atomic<bool> stop{false};
  EXPECT_EQ(1, RunHttpServices(options, SimHttpScenario(), &stop)) << "the port is taken";
  holder.Stop();
  int result = -1;
  std::thread runner([&] { result = RunHttpServices(options, SimHttpScenario(), &stop); });
  std::string reply;
  for (int i = 0; i < 100 && reply.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    reply = RawExchange("127.0.0.1", options.port, "GET /marquee HTTP/1.0\r\n\r\n");
  }
  EXPECT_NE(std::string::npos, reply.find("\"result\":\"true\""));
  stop = true;
  runner.join();
  EXPECT_EQ(0, result);
}

TEST(SimHttpServerStart, FixedPortAndBusyPort) {
  SimHttpOptions options;
  options.port = 0;
  SimHttpServer first(options);
  ASSERT_EQ(1, first.Start());
  SimHttpOptions same = options;
  same.port = first.Port();
  SimHttpServer second(same);
  EXPECT_EQ(0, second.Start()) << "the port is taken";
  first.Stop();
  first.Stop();  // repeated stops are harmless
}

}  // namespace
