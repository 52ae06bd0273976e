// Requests through the system HTTP stack (libcurl) against loopback HTTP and
// HTTPS servers and a scripted HTTP proxy.
#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/system_http.h"
#include "http_test_support.h"
#include "real_proxy.h"

namespace {

using namespace nettest;

class SystemHttp : public FastTimingTest {};

std::vector<std::string> HeaderLines(const std::string& request) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (;;) {
    size_t end = request.find("\r\n", at);
    if (end == std::string::npos || end == at) break;
    lines.push_back(request.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

const std::string kAccept =
    "Accept: text/html, application/xml;q=0.9, application/xhtml+xml, image/png, image/jpeg, image/gif, "
    "image/x-xbitmap, */*;q=0.1";

TEST_F(SystemHttp, PostAndGetRequestText) {
  std::string request;
  {
    Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}, 0, &request));
    HttpRecord record;
    std::string url = Url(server.port(), "/p?q=1");
    StartWinInetRequest(url.c_str(), "", "a=1", 3, "", HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal());
    EXPECT_EQ(record.First().status, kHttpCompleted);
    EXPECT_EQ(record.First().body, "ok");
  }
  std::string host = request.substr(request.find("Host: "), request.find("\r\n", request.find("Host: ")) -
                                                               request.find("Host: "));
  // Only the Content-Type line besides the stack's own request line, Host,
  // User-Agent, Accept and Content-Length.
  EXPECT_EQ(HeaderLines(request),
            (std::vector<std::string>{"POST /p?q=1 HTTP/1.1", host, "User-Agent: ZoRava", kAccept,
                                      "Content-Type: application/x-www-form-urlencoded", "Content-Length: 3"}));
  EXPECT_EQ(request.substr(request.size() - 7), "\r\n\r\na=1");

  {
    Server server(Reply({"HTTP/1.0 200 OK\r\n\r\nplain"}, 0, &request));
    HttpRecord record;
    std::string url = Url(server.port(), "/g");
    StartWinInetRequest(url.c_str(), "X-Extra: 1", nullptr, 0, nullptr, HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal());
    EXPECT_EQ(record.First().body, "plain");
  }
  std::vector<std::string> lines = HeaderLines(request);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "GET /g HTTP/1.0");
  EXPECT_EQ(lines[lines.size() - 2], "X-Extra: 1");
  EXPECT_EQ(lines.back(), "Content-Type: application/x-www-form-urlencoded");
  for (const std::string& l : lines) EXPECT_EQ(l.find("Accept-Encoding"), std::string::npos);
}

TEST_F(SystemHttp, RepliesTable) {
  const std::string gzip("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03\x4B\x04\x00\x43\xBE\xB7\xE8\x01\x00\x00\x00", 21);
  const std::string thousand(1000, 'k');
  struct Case {
    const char* name;
    std::vector<std::string> parts;
    int status;
    std::string body;
    bool hasBody;
  } cases[] = {
      {"404 without body", {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"}, 1, "", false},
      {"201 is not 200", {"HTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok"}, 1, "", false},
      {"1,000 bytes without length", {"HTTP/1.0 200 OK\r\n\r\n", thousand}, 0, thousand, true},
      {"gzip stays gzip", {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 21\r\n\r\n" + gzip}, 0, gzip,
       true},
      {"close before announced length", {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"}, 1, "abc", true},
      {"hostile content length", {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\nabc"}, 1, "", false},
      {"empty 200", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, 0, "", true},
      {"garbage", {"NOT HTTP AT ALL\r\n\r\n"}, 1, "", false},
  };
  for (const Case& c : cases) {
    HttpRecord record;
    {
      Server server(Reply(c.parts));
      StartWinInetRequest(Url(server.port(), "/r").c_str(), nullptr, nullptr, 0, "", HttpRecord::OnReply, &record);
      ASSERT_TRUE(record.WaitFinal()) << c.name;
    }
    HttpRecord::Final f = record.First();
    EXPECT_EQ(f.status, c.status) << c.name;
    EXPECT_EQ(f.hasBody, c.hasBody) << c.name;
    EXPECT_TRUE(f.body == c.body) << c.name;
    EXPECT_TRUE(record.Progress().empty()) << c.name;
    EXPECT_EQ(record.FinalCount(), 1u) << c.name;
  }
}

TEST_F(SystemHttp, HttpsWithSelfSignedCertificate) {
  if (!Installed("/usr/bin/openssl")) GTEST_SKIP() << "openssl is not installed";
  char folder[] = "/tmp/orv-tls-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::string dir = folder;
  std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=wrong.name -keyout " + dir +
                     "/key.pem -out " + dir + "/cert.pem >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  int port = FreePort();
  {
    ProxyProcess tls("/usr/bin/openssl",
                     {"s_server", "-accept", "127.0.0.1:" + std::to_string(port), "-cert", dir + "/cert.pem", "-key",
                      dir + "/key.pem", "-www", "-quiet"},
                     "", port);
    ASSERT_TRUE(tls.ready()) << tls.Log();
    HttpRecord record;
    std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    StartWinInetRequest(url.c_str(), "", nullptr, 0, "", HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal());
    EXPECT_EQ(record.First().status, kHttpCompleted) << tls.Log();
    EXPECT_NE(record.First().body.find("s_server"), std::string::npos);
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST_F(SystemHttp, DirectRequestIgnoresEnvironmentProxies) {
  std::atomic<int> proxied{0};
  Server trap([&](int fd) {
    ++proxied;
    ReadHttpRequest(fd);
    SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ntrap");
  });
  std::string trapUrl = "http://127.0.0.1:" + std::to_string(trap.port());
  const char* names[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"};
  for (const char* n : names) setenv(n, trapUrl.c_str(), 1);
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  HttpRecord record;
  {
    Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\ndirect"}));
    StartWinInetRequest(Url(server.port()).c_str(), "", nullptr, 0, "", HttpRecord::OnReply, &record);
    ASSERT_TRUE(record.WaitFinal());
  }
  for (const char* n : names) unsetenv(n);
  EXPECT_EQ(record.First().body, "direct");
  EXPECT_EQ(proxied, 0);
}

TEST_F(SystemHttp, ThroughScriptedHttpProxyWithCredentials) {
  std::string request;
  auto proxy = std::make_unique<Server>(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nvia"}, 0, &request));
  std::string setting = "2|127.0.0.1|" + std::to_string(proxy->port()) + "|bob|pw|";
  HttpRecord record;
  StartWinInetRequest("http://10.0.0.2:8889/news", "", nullptr, 0, setting.c_str(), HttpRecord::OnReply, &record);
  ASSERT_TRUE(record.WaitFinal());
  EXPECT_EQ(record.First().status, kHttpCompleted);
  EXPECT_EQ(record.First().body, "via");
  proxy.reset();
  EXPECT_EQ(request.rfind("GET http://10.0.0.2:8889/news HTTP/1.0\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("Proxy-Authorization: Basic Ym9iOnB3\r\n"), std::string::npos) << request;
}

TEST_F(SystemHttp, TimeOutAbandonAndThreadFailure) {
  TransportTimings t = FastTimings();
  t.systemHttpTimeoutMs = 300;
  SetTransportTimings(t);
  Server silent([](int fd) { PeerClosed(fd, 3000); });
  HttpRecord timedOut;
  StartWinInetRequest(Url(silent.port()).c_str(), "", nullptr, 0, "", HttpRecord::OnReply, &timedOut);
  ASSERT_TRUE(timedOut.WaitFinal());
  EXPECT_EQ(timedOut.First().status, kHttpTimedOut);

  HttpRecord abandoned;
  int id = StartWinInetRequest(Url(silent.port()).c_str(), "", nullptr, 0, "", HttpRecord::OnReply, &abandoned);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  AbandonHttpRequest(id);
  ASSERT_TRUE(WaitFor([] { return CountHttpRequestsForTesting() == 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(abandoned.calls, 0);
  EXPECT_EQ(timedOut.FinalCount(), 1u);

  SetThreadStartFailsForTesting(true);
  HttpRecord failed;
  StartWinInetRequest("http://127.0.0.1:1/", "", nullptr, 0, "", HttpRecord::OnReply, &failed);
  ASSERT_EQ(failed.FinalCount(), 1u);  // before the start returned
  EXPECT_EQ(failed.First().status, kHttpFailed);
  EXPECT_EQ(failed.First().thread, std::this_thread::get_id());
}

}  // namespace
