// Pure texts and parsers of the transport and request layer: Base64, the
// ProxySetting text, the CONNECT request and reply, the request bytes of the
// socket client, the reply header and the chunked coding, the proxy list of
// the system stack.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/base64.h"
#include "foundation/http_reply.h"
#include "foundation/http_request.h"
#include "foundation/proxy_handshake.h"
#include "foundation/proxy_setting.h"
#include "foundation/system_http.h"

namespace {

TEST(Base64Encode, Rfc4648Vectors) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"user:pass", "dXNlcjpwYXNz"}};
  for (const Case& c : cases) {
    char out[64];
    std::memset(out, 'x', sizeof out);
    int n = Base64Encode(out, sizeof out, c.input, std::strlen(c.input));
    EXPECT_EQ(std::string(out), c.expected) << c.input;
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.expected))) << c.input;
  }
}

TEST(Base64Encode, ZeroLengthTakesTextLengthAndBinaryWorks) {
  char out[16];
  EXPECT_EQ(Base64Encode(out, sizeof out, "foob", 0), 8);
  EXPECT_STREQ(out, "Zm9vYg==");
  const unsigned char bytes[] = {0x00, 0xFF, 0xFE};
  EXPECT_EQ(Base64Encode(out, sizeof out, bytes, 3), 4);
  EXPECT_STREQ(out, "AP/+");
}

TEST(Base64Encode, TooSmallOutputWritesEmptyText) {
  char out[16];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(Base64Encode(out, 8, "foob", 4), -1);  // needs 9 bytes with the zero
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(out[1], 'x');
  EXPECT_EQ(Base64Encode(out, 9, "foob", 4), 8);
  EXPECT_STREQ(out, "Zm9vYg==");
}

TEST(ProxySettingParse, Table) {
  struct Case {
    const char* name;
    const char* text;
    int type;
    const char* address;
    int port;
    const char* user;
    const char* password;
  } cases[] = {
      {"null text", nullptr, -1, "", 0, "", ""},
      {"empty text", "", -1, "", 0, "", ""},
      {"explicit direct", "-1||||", -1, "", 0, "", ""},
      {"socks5 without user", "1|10.0.0.1|1080|||", 1, "10.0.0.1", 1080, "", ""},
      {"socks4 with user", "0|proxy.example|1081|bob|pw|", 0, "proxy.example", 1081, "bob", "pw"},
      {"connect", "2|10.0.0.1|8080|||", 2, "10.0.0.1", 8080, "", ""},
      {"unknown type kept", "7|10.0.0.1|1|||", 7, "10.0.0.1", 1, "", ""},
      {"type only", "1", 1, "", 0, "", ""},
      {"three fields", "1|h|99", 1, "h", 99, "", ""},
      {"four fields", "2|h|99|u", 2, "h", 99, "u", ""},
  };
  for (const Case& c : cases) {
    ProxyFields f;
    f.port = 12345;
    ParseProxySetting(c.text, &f);
    EXPECT_EQ(f.type, c.type) << c.name;
    EXPECT_STREQ(f.address, c.address) << c.name;
    EXPECT_EQ(f.port, c.port) << c.name;
    EXPECT_STREQ(f.user, c.user) << c.name;
    EXPECT_STREQ(f.password, c.password) << c.name;
  }
}

TEST(ProxySettingParse, CallerTextUntouchedAndLongFieldsCut) {
  char text[] = "1|10.0.0.1|1080|user|secret|";
  const std::string before = text;
  ProxyFields f;
  ParseProxySetting(text, &f);
  EXPECT_EQ(std::string(text), before);
  ParseProxySetting(text, &f);  // a second reader of the same text sees the same fields
  EXPECT_STREQ(f.user, "user");
  std::string longText = "2|" + std::string(400, 'a') + "|80|" + std::string(300, 'u') + "|p|";
  ParseProxySetting(longText.c_str(), &f);
  EXPECT_EQ(std::strlen(f.address), 255u);
  EXPECT_EQ(std::strlen(f.user), 255u);
  EXPECT_EQ(f.port, 80);
}

TEST(ProxyHandshakeText, ConnectRequestExact) {
  EXPECT_EQ(BuildConnectRequest("quote.host", 8110, "", ""),
            "CONNECT quote.host:8110 HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(BuildConnectRequest("10.0.0.2", 80, "user", "pass"),
            "CONNECT 10.0.0.2:80 HTTP/1.1\r\nConnection: Keep-Alive\r\n"
            "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
}

TEST(ProxyHandshakeText, ConnectReplyStatusLine) {
  struct Case {
    const char* reply;
    bool ok;
  } cases[] = {
      {"HTTP/1.1 200 Connection established\r\n\r\n", true},
      {"HTTP/1.0 200 OK\r\nProxy-agent: x\r\n\r\n", true},
      {"HTTP/1.1 204 No Content\r\n\r\n", true},
      {"HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", false},
      {"HTTP/1.1 407 Denied\r\nContent-Length: 1200\r\n\r\n", false},
      {"HTTP/1.1 403 Forbidden 200\r\n\r\n", false},
      {"XYZ 200\r\n\r\n", false},
      {"HTTP/1.1 2000 odd\r\n\r\n", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ConnectReplyAccepted(c.reply), c.ok) << c.reply;
}

TEST(HttpRequestText, ParseHttpUrl) {
  struct Case {
    const char* address;
    const char* host;
    int port;
  } cases[] = {{"http://h:8889/v2bin", "h", 8889},
               {"http://h", "h", 80},
               {"http://10.1.2.3/a/b?c=d:e", "10.1.2.3", 80},
               {"host.only:81", "host.only", 81},
               {"http://h:99", "h", 99}};
  for (const Case& c : cases) {
    char host[256];
    int port = -7;
    ParseHttpUrl(c.address, host, sizeof host, &port);
    EXPECT_STREQ(host, c.host) << c.address;
    EXPECT_EQ(port, c.port) << c.address;
  }
  char small[4];
  int port = 0;
  ParseHttpUrl("http://longhost:1/", small, sizeof small, &port);
  EXPECT_STREQ(small, "lon");
}

TEST(HttpRequestText, PostBytesExact) {
  EXPECT_EQ(BuildHttpRequestText("http://h:8889/v2bin", "h", 8889, "", "", "a=1&b=2345", 10),
            "POST /v2bin HTTP/1.1\r\nHost: h:8889\r\nContent-Length: 10\r\nAccept: */*\r\n"
            "Accept-Encoding: gzip, deflate\r\nContent-Type: application/x-www-form-urlencoded\r\n"
            "Connection: close\r\n\r\na=1&b=2345");
}

TEST(HttpRequestText, GetBytesExact) {
  EXPECT_EQ(BuildHttpRequestText("http://h", "h", 80, "", "", nullptr, 0),
            "GET / HTTP/1.1\r\nHost: h:80\r\nContent-Length: 0\r\nAccept: */*\r\n"
            "Accept-Encoding: gzip, deflate\r\nConnection: close\r\n\r\n");
}

TEST(HttpRequestText, ExtraHeaderAndContentType) {
  EXPECT_EQ(BuildHttpRequestText("http://h:1/p?q=1", "h", 1, "X-Token: abc", "application/octet-stream", "zz", 2),
            "POST /p?q=1 HTTP/1.1\r\nHost: h:1\r\nContent-Length: 2\r\nAccept: */*\r\n"
            "Accept-Encoding: gzip, deflate\r\nContent-Type: application/octet-stream\r\nX-Token: abc\r\n"
            "Connection: close\r\n\r\nzz");
  // A long path makes a long request line: the text is sized to fit.
  std::string address = "http://h/" + std::string(1000, 'p');
  std::string text = BuildHttpRequestText(address.c_str(), "h", 80, "", "", nullptr, 0);
  EXPECT_EQ(text.rfind("GET /" + std::string(1000, 'p') + " HTTP/1.1\r\n", 0), 0u);
}

TEST(HttpReplyParse, HeadTable) {
  struct Case {
    const char* name;
    const char* header;
    bool ok;
    int status;
    long long length;
    bool invalid;
    bool chunked;
  } cases[] = {
      {"plain", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", true, 200, 5, false, false},
      {"lower case", "HTTP/1.1 404 Not Found\r\ncontent-length:12\r\n\r\n", true, 404, 12, false, false},
      {"absent", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", true, 200, 0, false, false},
      {"hostile huge", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", true, 200, 0, true, false},
      {"over cap", "HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n", true, 200, 0, true, false},
      {"at cap", "HTTP/1.1 200 OK\r\nContent-Length: 67108864\r\n\r\n", true, 200, 67108864, false, false},
      {"negative", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", true, 200, 0, true, false},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", true, 200, 0, false, true},
      {"name inside a value", "HTTP/1.1 200 OK\r\nX: Content-Length: 9\r\n\r\n", true, 200, 0, false, false},
      {"no status line", "garbage\r\n\r\n", false, 0, 0, false, false},
  };
  for (const Case& c : cases) {
    HttpReplyHead head;
    EXPECT_EQ(ParseHttpReplyHead(c.header, std::strlen(c.header), &head), c.ok) << c.name;
    EXPECT_EQ(head.status, c.status) << c.name;
    EXPECT_EQ(head.contentLength, c.length) << c.name;
    EXPECT_EQ(head.lengthInvalid, c.invalid) << c.name;
    EXPECT_EQ(head.chunked, c.chunked) << c.name;
  }
}

TEST(HttpReplyParse, ChunkedDecodingWholeAndBytewise) {
  const std::string coded = "5;ext=1\r\nhello\r\nA\r\n 0123456\r\n\r\n0\r\nTrailer: x\r\n\r\n";
  const std::string expected = "hello 0123456\r\n";
  for (size_t step : {coded.size(), size_t{1}, size_t{3}}) {
    ChunkedDecoder d;
    ReplyBody body;
    int result = kChunkedMore;
    size_t at = 0;
    while (at < coded.size() && result == kChunkedMore) {
      size_t n = std::min(step, coded.size() - at);
      size_t used = 0;
      result = FeedChunked(&d, coded.data() + at, n, &body, &used);
      at += used;
    }
    EXPECT_EQ(result, kChunkedDone) << step;
    EXPECT_EQ(at, coded.size()) << step;
    EXPECT_EQ(std::string(body.data, body.length), expected) << step;
    EXPECT_EQ(body.data[body.length], '\0');
    FreeReplyBody(&body);
  }
}

TEST(HttpReplyParse, ChunkedMalformedAndHuge) {
  const char* bad[] = {"zz\r\n", "5\r\nhelloXX", "\r\n", "FFFFFFFFFFFFFFFF\r\n", "5000000\r\n"};
  for (const char* coded : bad) {
    ChunkedDecoder d;
    ReplyBody body;
    size_t used = 0;
    EXPECT_EQ(FeedChunked(&d, coded, std::strlen(coded), &body, &used), kChunkedError) << coded;
    FreeReplyBody(&body);
  }
}

TEST(HttpReplyParse, BodyGrowsToCapOnly) {
  ReplyBody body;
  std::string piece(300000, 'x');
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(AppendReplyBody(&body, piece.data(), piece.size()));
  EXPECT_EQ(body.length, 1200000u);
  EXPECT_GE(body.capacity, body.length);
  EXPECT_FALSE(ReserveReplyBody(&body, kMaxHttpBody + 1));
  EXPECT_FALSE(AppendReplyBody(&body, piece.data(), kMaxHttpBody));  // would pass the cap
  EXPECT_EQ(body.length, 1200000u);
  FreeReplyBody(&body);
}

TEST(SystemHttpProxy, ProxyListTable) {
  struct Case {
    const char* setting;
    const char* address;
    const char* list;
    const char* curl;
  } cases[] = {
      {"2|10.0.0.1|8080|||", "https://a/b", "HTTPS=HTTP://10.0.0.1:8080", "http://10.0.0.1:8080"},
      {"2|10.0.0.1|8080|||", "http://a/b", "HTTP=HTTP://10.0.0.1:8080", "http://10.0.0.1:8080"},
      {"0|p.host|1080|||", "http://a/b", "SOCKS=p.host:1080", "socks4://p.host:1080"},
      {"1|p.host|1081|u|w|", "https://a", "SOCKS5=p.host:1081", "socks5://p.host:1081"},
      {"", "http://a", "", ""},
      {"-1||||", "http://a", "", ""},
      {"7|p|1|||", "http://a", "", ""},
  };
  for (const Case& c : cases) {
    ProxyFields f;
    ParseProxySetting(c.setting, &f);
    SystemProxyPlan plan = PlanSystemProxy(f, c.address);
    EXPECT_EQ(plan.proxyList, c.list) << c.setting << " " << c.address;
    EXPECT_EQ(plan.curlProxy, c.curl) << c.setting << " " << c.address;
  }
  ProxyFields f;
  ParseProxySetting("1|p|1|usr|pwd|", &f);
  SystemProxyPlan plan = PlanSystemProxy(f, "http://a");
  EXPECT_EQ(plan.user, "usr");
  EXPECT_EQ(plan.password, "pwd");
}

}  // namespace
