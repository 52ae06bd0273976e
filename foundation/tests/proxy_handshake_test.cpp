// The three proxy handshakes of the framed transport against scripted fake
// proxies on loopback (the target addresses are only bytes: nothing is
// forwarded; after the handshake the fake proxy plays the frame server).
#include <gtest/gtest.h>

#include "foundation/frame_transport.h"
#include "transport_test_support.h"

namespace {

using namespace nettest;

class ProxyHandshake : public FastTimingTest {};

const std::string kSocks4Ok("\x00\x5A\x00\x00\x00\x00\x00\x00", 8);
const std::string kSocks5Ok("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10);
const std::string kSocks5Request = "05 01 00 01 0A 00 00 02 1F AE";  // 10.0.0.2:8110
// Replies whose bound address is a domain name or an IPv6 address.
const std::string kSocks5DomainOk = std::string("\x05\x00\x00\x03\x0Bproxy.local\x1F\xAE", 18);
const std::string kSocks5Ipv6Ok = std::string("\x05\x00\x00\x04", 4) + std::string(15, '\0') + "\x01\x1F\xAE";

TEST_F(ProxyHandshake, HandshakeTable) {
  struct Case {
    const char* name;
    int type;
    const char* user;
    const char* password;
    const char* host;
    std::vector<ProxyStep> steps;
    std::string sentHex;  // what the proxy must have received (hex) or, for CONNECT, text
    int state;
  };
  const std::string connectPlain = "CONNECT 10.0.0.2:8110 HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\n";
  const std::string connectAuth =
      "CONNECT 10.0.0.2:8110 HTTP/1.1\r\nConnection: Keep-Alive\r\nProxy-Authorization: Basic Ym9iOnB3\r\n\r\n";
  std::vector<Case> cases = {
      {"socks4 without user", 0, "", "", "10.0.0.2", {{9, kSocks4Ok}}, "04 01 1F AE 0A 00 00 02 00", 0},
      {"socks4 with user", 0, "bob", "", "10.0.0.2", {{12, kSocks4Ok}}, "04 01 1F AE 0A 00 00 02 62 6F 62 00", 0},
      {"socks4 refused", 0, "", "", "10.0.0.2", {{9, std::string("\x00\x5B\0\0\0\0\0\0", 8)}}, "04 01 1F AE 0A 00 00 02 00", 3},
      {"socks4 unresolvable target", 0, "", "", "1.2.3.999", {{9, kSocks4Ok}}, "", 3},
      {"socks5 without auth", 1, "", "", "10.0.0.2", {{3, std::string("\x05\x00", 2)}, {10, kSocks5Ok}}, "05 01 00 " + kSocks5Request, 0},
      {"socks5 user without password offers no auth", 1, "bob", "", "10.0.0.2", {{3, std::string("\x05\x00", 2)}, {10, kSocks5Ok}},
       "05 01 00 " + kSocks5Request, 0},
      {"socks5 user and password", 1, "bob", "pw", "10.0.0.2",
       {{4, "\x05\x02"}, {8, std::string("\x01\x00", 2)}, {10, kSocks5Ok}},
       "05 02 00 02 01 03 62 6F 62 02 70 77 " + kSocks5Request, 0},
      {"socks5 credentials but proxy wants none", 1, "bob", "pw", "10.0.0.2",
       {{4, std::string("\x05\x00", 2)}, {10, kSocks5Ok}}, "05 02 00 02 " + kSocks5Request, 0},
      {"socks5 bound to a domain name", 1, "", "", "10.0.0.2", {{3, std::string("\x05\x00", 2)}, {10, kSocks5DomainOk}},
       "05 01 00 " + kSocks5Request, 0},
      {"socks5 bound to an IPv6 address", 1, "", "", "10.0.0.2", {{3, std::string("\x05\x00", 2)}, {10, kSocks5Ipv6Ok}},
       "05 01 00 " + kSocks5Request, 0},
      {"socks5 bound to an unknown address type", 1, "", "", "10.0.0.2",
       {{3, std::string("\x05\x00", 2)}, {10, std::string("\x05\x00\x00\x05\0\0\0\0\0\0", 10)}},
       "05 01 00 " + kSocks5Request, 3},
      {"socks5 proxy closes inside the domain name", 1, "", "", "10.0.0.2",
       {{3, std::string("\x05\x00", 2)}, {10, kSocks5DomainOk.substr(0, 9), true}}, "05 01 00 " + kSocks5Request, 3},
      {"socks5 no acceptable method", 1, "", "", "10.0.0.2", {{3, "\x05\xFF"}}, "05 01 00", 3},
      {"socks5 password refused", 1, "bob", "pw", "10.0.0.2", {{4, "\x05\x02"}, {8, "\x01\x01"}},
       "05 02 00 02 01 03 62 6F 62 02 70 77", 3},
      {"socks5 request refused", 1, "", "", "10.0.0.2", {{3, std::string("\x05\x00", 2)}, {10, std::string("\x05\x05\x00\x01\0\0\0\0\0\0", 10)}},
       "05 01 00 " + kSocks5Request, 3},
      {"socks5 proxy closes mid-reply", 1, "", "", "10.0.0.2", {{3, "\x05", true}}, "05 01 00", 3},
      {"connect without user", 2, "", "", "10.0.0.2", {{0, "HTTP/1.1 200 Connection established\r\n\r\n"}}, connectPlain, 0},
      {"connect with user", 2, "bob", "pw", "10.0.0.2", {{0, "HTTP/1.0 200 OK\r\nProxy-agent: t\r\n\r\n"}}, connectAuth, 0},
      {"connect 407", 2, "", "", "10.0.0.2", {{0, "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n"}}, connectPlain, 3},
      {"connect 407 mentioning 200", 2, "", "", "10.0.0.2",
       {{0, "HTTP/1.1 407 Denied\r\nContent-Length: 1200\r\n\r\n"}}, connectPlain, 3},
      {"connect header never ends", 2, "", "", "10.0.0.2", {{0, "HTTP/1.1 200 OK\r\n" + std::string(5000, 'a')}},
       connectPlain, 3},
      {"connect proxy closes mid-reply", 2, "", "", "10.0.0.2", {{0, "HTTP/1.1 200", true}}, connectPlain, 3},
  };
  for (const Case& c : cases) {
    ScriptedProxy proxy(c.steps, EchoFrames);
    std::string setting = std::to_string(c.type) + "|127.0.0.1|" + std::to_string(proxy.port()) + "|" + c.user +
                          "|" + c.password + "|";
    ConnectionRecord record;
    long long start = NowMs();
    int id = OpenConnection(&record, c.host, 8110, setting.c_str());
    ASSERT_TRUE(WaitFor([&] { return !record.States().empty(); })) << c.name;
    EXPECT_EQ(record.States()[0], c.state) << c.name;
    if (c.state == 0) {
      SendFrame(id, "ping", 4);  // frames flow through the tunnel
      EXPECT_TRUE(WaitFor([&] { return record.Frames().size() == 1; })) << c.name;
      if (!record.Frames().empty()) {
        EXPECT_EQ(record.Frames()[0], Frame("ping")) << c.name;
      }
    }
    std::string received = proxy.Received();
    EXPECT_EQ(c.type == 2 ? received : Hex(received), c.sentHex) << c.name;
    CloseConnection(id);
    EXPECT_LT(NowMs() - start, 2500) << c.name;
  }
}

}  // namespace
