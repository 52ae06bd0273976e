// The market-data server against a plain socket client on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "tools/simbroker/bar_reply_builders.h"
#include "tools/simbroker/market_replies.h"
#include "tools/simbroker/market_server.h"
#include "tools/simbroker/quote_field_values.h"
#include "tools/simbroker/quote_list_replies.h"

using namespace simbroker;

namespace {

class RawClient {
 public:
  explicit RawClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~RawClient() { ::close(fd_); }
  bool Connected() const { return connected_; }
  void Send(const Bytes& payload) {
    Bytes frame = MakeFrame(payload);
    ASSERT_EQ(::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
  }
  // The next frame's payload; false on close or after 2 s.
  bool Receive(Bytes* payload) {
    Bytes head;
    if (!ReadExactly(5, &head)) return false;
    size_t n = static_cast<size_t>(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
    return ReadExactly(n, payload);
  }
  bool Closed() {
    Bytes b;
    return !ReadExactly(1, &b);
  }
  // Walks the handshake with a correct (or spoiled) answer.
  bool Login(Bytes* result, bool spoil = false) {
    Bytes key;
    if (!Receive(&key) || key.size() != 24) return false;
    Bytes answer{4};
    Bytes products = ExpectedAnswerProducts(key.data() + 1, key.data() + 17);
    if (spoil) products[5] ^= 1;
    answer.insert(answer.end(), products.begin(), products.end());
    PutU64(&answer, 77);
    answer.resize(57, 0xAB);
    Send(answer);
    return Receive(result);
  }

 private:
  bool ReadExactly(size_t n, Bytes* out) {
    out->clear();
    while (out->size() < n) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) return false;
      unsigned char buf[4096];
      ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, n - out->size()), 0);
      if (got <= 0) return false;
      out->insert(out->end(), buf, buf + got);
    }
    return true;
  }
  int fd_ = -1;
  bool connected_ = false;
};

Bytes Request(int kind, int parameter, int type, int sequence, const Bytes& body) {
  Bytes p{static_cast<unsigned char>(kind), 1};
  PutU16(&p, static_cast<uint64_t>(parameter));
  PutU8(&p, 5);
  PutU8(&p, static_cast<uint64_t>(type));
  PutU8(&p, 1);
  PutU16(&p, static_cast<uint64_t>(sequence));
  p.insert(p.end(), body.begin(), body.end());
  return p;
}

Bytes Inflate(const Bytes& gz) {
  Bytes out(1 << 16);
  z_stream z{};
  inflateInit2(&z, 31);
  z.next_in = const_cast<Bytef*>(gz.data());
  z.avail_in = static_cast<uInt>(gz.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

MarketServerOptions Quiet() {
  MarketServerOptions o;
  o.pushIntervalMs = 0;
  return o;
}

TEST(MarketServerTest, HandshakeVerifiesTheAnswerAndSendsTheResult) {
  struct Case {
    const char* name;
    int32_t code;
    bool spoil;
    bool expectResult;
  };
  const Case cases[] = {{"accepted", -1, false, true},
                        {"refused -15", -15, false, true},
                        {"wrong products", -1, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MarketServerOptions options = Quiet();
    options.resultCode = c.code;
    MarketDataServer server(options);
    ASSERT_TRUE(server.Start());
    RawClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    Bytes result;
    EXPECT_EQ(client.Login(&result, c.spoil), c.expectResult);
    if (c.expectResult) {
      EXPECT_EQ(result, ResultMessage(c.code));
    }
    EXPECT_EQ(server.RefusedAnswers(), c.spoil ? 1 : 0);
    EXPECT_EQ(server.AcceptedConnections(), c.code == -1 && !c.spoil ? 1 : 0);
  }
}

TEST(MarketServerTest, SessionCheckRefusesAnotherUser) {
  MarketServerOptions options = Quiet();
  options.checkSession = true;
  options.sessionUser = 78;
  options.sessionToken = Bytes(16, 0xAB);
  MarketDataServer server(options);
  ASSERT_TRUE(server.Start());
  RawClient client(server.Port());
  Bytes result;
  EXPECT_FALSE(client.Login(&result));  // the client logs in as 77
  EXPECT_EQ(server.RefusedAnswers(), 1);
}

TEST(MarketServerTest, JournalParsesEveryRequestType) {
  MarketDataServer server(Quiet());
  ASSERT_TRUE(server.Start());
  RawClient client(server.Port());
  Bytes result;
  ASSERT_TRUE(client.Login(&result));
  auto code = [] {
    Bytes b;
    PutText(&b, "600000");
    PutU8(&b, 1);
    return b;
  };
  auto ids = [](std::vector<int> list) {
    Bytes b;
    PutU16(&b, list.size());
    for (int id : list) PutU16(&b, static_cast<uint64_t>(id));
    return b;
  };
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  struct Case {
    int kind;
    int type;
    Bytes body;
  };
  const Bytes bytes8{8, 1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes pairs{2, 5, 60, 3, 30};
  const std::vector<Case> cases = {
      {2, 1, Bytes{0, 1, '1'}},
      {2, 32, cat({Bytes{0, 1}, code(), ids({0, 8})})},
      {2, 33, cat({code(), ids({0, 8, 34})})},
      {2, 38, cat({code(), Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 50}})},
      {2, 80, cat({code(), Bytes{0, 0, 0, 0, 0, 50}})},
      {2, 40, cat({Bytes{0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 100, 0, 34, 0}, ids({1})})},
      {2, 42, cat({Bytes{3, 0xF3, 0, 0, 0, 100, 0, 34, 1}, ids({1})})},
      {2, 41, Bytes{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 28}},
      {2, 43, ids({0, 1})},
      {2, 48, cat({code(), Bytes{0xFF, 0xFF}, bytes8})},
      {2, 49, cat({code(), Bytes{33, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 100}, bytes8, pairs})},
      {2, 55, cat({code(), Bytes(8, 0)})},
      {2, 60, code()},
      {2, 61, cat({code(), Bytes{0, 40, 2, 1, 2}})},
      {2, 62, Bytes{0, 3, 2, 1, 2, 2, 1, 2}},
      {2, 67, cat({code(), Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 30, 3, 0, 1, 2}})},
      {2, 68, cat({code(), Bytes{33, 0, 0, 0, 0, 0, 0, 2, 0}, bytes8})},
      {2, 69, Bytes{1, 2, 1, 0, 34, 1}},
      {2, 70, code()},
      {2, 71, cat({code(), Bytes{9}})},
      {2, 91, cat({code(), Bytes{33, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0xC4}, bytes8, pairs})},
      {2, 92, cat({code(), Bytes{33, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0xC4}, bytes8, pairs})},
      {0x33, 2, cat({code(), Bytes{0, 0, 0, 0, 1, 0x34, 0xD7, 0xBB}})},
      {0x33, 3, cat({code(), Bytes(8, 1), Bytes(8, 2)})},
  };
  int sequence = 2000;
  for (const auto& c : cases) client.Send(Request(c.kind, 0, c.type, sequence++, c.body));
  // A short body is journalled as not parsed.
  client.Send(Request(2, 0, 33, sequence++, Bytes{'6', '0'}));
  ASSERT_TRUE(server.WaitForRequest([&](const JournalEntry& e) { return e.sequence == sequence - 1; }, 3000));
  auto journal = server.Journal();
  ASSERT_EQ(journal.size(), cases.size() + 1);
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "kind " << cases[i].kind << " type " << cases[i].type);
    EXPECT_EQ(journal[i].type, cases[i].type);
    EXPECT_EQ(journal[i].kind, cases[i].kind);
    EXPECT_TRUE(journal[i].parsedOk);
    EXPECT_EQ(journal[i].body, cases[i].body);
  }
  EXPECT_FALSE(journal.back().parsedOk);
  EXPECT_EQ(journal[1].parsed.stocks, (std::vector<std::pair<std::string, int>>{{"600000", 1}}));
  EXPECT_EQ(journal[2].parsed.fieldIds, (std::vector<int>{0, 8, 34}));
  EXPECT_EQ(journal[3].parsed.numbers, (std::vector<int64_t>{-1, 50}));
  EXPECT_EQ(journal[10].parsed.pairs, (std::vector<std::pair<int, int>>{{5, 60}, {3, 30}}));
  EXPECT_EQ(journal[14].parsed.text, std::string("\x01\x02"));
}

TEST(MarketServerTest, SubscriptionsPushUpdatesUntilCancelled) {
  MarketDataServer server(Quiet());
  ASSERT_TRUE(server.Start());
  RawClient client(server.Port());
  Bytes result, reply;
  ASSERT_TRUE(client.Login(&result));
  client.Send(Request(2, 0, 3, 1001, {}));
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply, ReplyPacket(2, 1, 3, 1001, MarketInfoBody({{1, 20240315, 1}, {2, 20240315, 1}}), false));
  Bytes list{0, 2};
  PutText(&list, "1A0001");
  PutU8(&list, 1);
  PutText(&list, "399001");
  PutU8(&list, 2);
  PutU16(&list, 2);
  PutU16(&list, 0);
  PutU16(&list, 8);
  client.Send(Request(2, 1, 32, 1002, list));
  ASSERT_TRUE(client.Receive(&reply));
  // Complete reply: ids 0 and 8, two records of 33 + 4 bytes.
  ASSERT_EQ(reply.size(), 9u + 2 + 4 + 2 + 2 * 37);
  EXPECT_EQ(reply[1], 1);
  EXPECT_EQ(std::string(reply.begin() + 17, reply.begin() + 23), "1A0001");
  EXPECT_EQ(server.Subscriptions(), std::vector<int>{1002});
  server.Tick();
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply[1], 2);  // update
  EXPECT_EQ(reply[7] << 8 | reply[8], 1002);
  // Update ids: 1 first, then 8 (the key is not repeated).
  EXPECT_EQ(Bytes(reply.begin() + 9, reply.begin() + 15), (Bytes{0, 2, 0, 1, 0, 8}));
  // The same sequence again replaces the subscription with a fresh complete reply.
  client.Send(Request(2, 1, 32, 1002, list));
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply[1], 1);
  EXPECT_EQ(server.Subscriptions(), std::vector<int>{1002});
  // Cancel (operation 1) stops the pushes; renew is informational.
  client.Send(Request(2, 0, 17, 2, Bytes{0, 1, 0x03, 0xEA}));
  client.Send(Request(2, 0, 17, 1, Bytes{0, 1, 0x03, 0xEA}));
  ASSERT_TRUE(server.WaitForRequest([](const JournalEntry& e) { return e.type == 17 && e.sequence == 1; }, 2000));
  EXPECT_TRUE(server.Subscriptions().empty());
  server.Tick();
  EXPECT_FALSE(client.Receive(&reply));
}

TEST(MarketServerTest, KnobsShapeTheReplies) {
  MarketDataServer server(Quiet());
  ASSERT_TRUE(server.Start());
  RawClient client(server.Port());
  Bytes result, reply;
  ASSERT_TRUE(client.Login(&result));
  Bytes fields;
  PutText(&fields, "600000");
  PutU8(&fields, 1);
  PutU16(&fields, 1);
  PutU16(&fields, 8);
  server.SetGzip(true);
  client.Send(Request(2, 0, 33, 7, fields));
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply[0], 2);
  Bytes inner = Inflate(Bytes(reply.begin() + 1, reply.end()));
  Bytes expected = ReplyHeader(1, 33, 7);
  EXPECT_EQ(Bytes(inner.begin(), inner.begin() + 8), expected);
  EXPECT_EQ(inner.size(), 8u + 2 + 2 + 4);
  server.SetGzip(false);
  server.SetReplyTypeOverride(200);
  server.SetReplyModeOverride(3);
  client.Send(Request(2, 0, 33, 8, fields));
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply[1], 3);
  EXPECT_EQ(reply[5], 200);
  server.SetReplyTypeOverride(0);
  server.SetReplyModeOverride(0);
  // Truncated bodies: the last 3 bytes of the record are missing.
  server.SetReplyTruncation(3);
  client.Send(Request(2, 0, 33, 10, fields));
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply.size(), 9u + 2 + 2 + 4 - 3);
  server.SetReplyTruncation(0);
  // Pushed market information with a new date.
  server.PushMarketInfo({{1, 20240318, 1}});
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_EQ(reply, ReplyPacket(2, 1, 3, 0, MarketInfoBody({{1, 20240318, 1}}), false));
  // Drop after the next frame.
  server.SetDropAfterFrames(5);
  client.Send(Bytes{});  // empty frames are not counted as data
  client.Send(Request(2, 0, 3, 9, {}));
  ASSERT_TRUE(client.Receive(&reply));
  EXPECT_TRUE(client.Closed());
}

TEST(MarketServerTest, DictionaryReplyListsTheStocks) {
  MarketData data(1);
  JournalEntry request;
  request.kind = 2;
  request.type = 1;
  Bytes body;
  ASSERT_TRUE(BuildDictionaryReply(data, request, kReplyComplete, &body));
  size_t stocks = data.All().size();
  ASSERT_EQ(body.size(), 2u + 1 + 2 + 39 * stocks);
  EXPECT_EQ(Bytes(body.begin(), body.begin() + 5), (Bytes{0, 1, '1', 0, static_cast<unsigned char>(stocks)}));
  request.parsed.text = "1";
  body.clear();
  ASSERT_TRUE(BuildDictionaryReply(data, request, kReplyComplete, &body));
  EXPECT_EQ(body, (Bytes{0, 1, '1', 0, 0}));
}

// The items of a news-mark reply body: (yyyymmdd of pubTime, url).
std::vector<std::pair<int, std::string>> NewsItems(const Bytes& body) {
  std::vector<std::pair<int, std::string>> items;
  if (body.size() < 11) return items;
  const std::string json(body.begin() + 11, body.end());
  for (size_t at = json.find("\"pubTime\":\""); at != std::string::npos; at = json.find("\"pubTime\":\"", at + 1)) {
    const std::string day = json.substr(at + 11, 10);  // YYYY-MM-DD
    const size_t url = json.find("\"url\":\"", at) + 7;
    items.push_back({std::stoi(day.substr(0, 4) + day.substr(5, 2) + day.substr(8, 2)),
                     json.substr(url, json.find('"', url) - url)});
  }
  return items;
}

TEST(MarketServerTest, KLineNewsMarksSpreadOverTheAskedRangeWithLinksToTheSite) {
  MarketData data(1);
  data.SetHttpBase("http://127.0.0.1:18889");
  for (const char* code : {"600000", "600036", "600519", "000001", "000002"}) {
    SCOPED_TRACE(code);
    SimStock s;
    ASSERT_TRUE(data.Find(code, code[0] == '6' ? 1 : 2, &s));
    std::set<int> tradingDays;
    std::vector<int> ordered;
    for (const WireBar& bar : ServedBars(s, data.TradeDate(), 33)) {
      const int day = static_cast<int>((bar.time >> 20) * 10000 + (bar.time >> 16 & 0xF) * 100 + (bar.time >> 11 & 0x1F));
      tradingDays.insert(day);
      ordered.push_back(day);
    }
    ASSERT_GT(ordered.size(), 300u);
    JournalEntry request;
    request.kind = 0x33;
    request.type = 3;
    request.parsed.code = s.code;
    request.parsed.market = s.market;
    const int first = ordered[ordered.size() - 200], last = ordered[ordered.size() - 20];
    request.parsed.numbers = {first, last};
    Bytes body;
    ASSERT_TRUE(BuildNewsMarksReply(data, request, kReplyComplete, &body));
    const auto items = NewsItems(body);
    EXPECT_GE(items.size(), 5u);
    EXPECT_LE(items.size(), 8u);
    std::map<int, int> perDay;
    for (const auto& [day, url] : items) {
      ++perDay[day];
      EXPECT_TRUE(tradingDays.count(day)) << day;
      EXPECT_GE(day, first);
      EXPECT_LE(day, last);
      EXPECT_EQ(url.rfind("http://127.0.0.1:18889/news/" + s.code + "-", 0), 0u) << url;
    }
    EXPECT_GE(perDay.size(), 4u);
    EXPECT_LE(perDay.size(), 6u);
    EXPECT_EQ(perDay.begin()->second, 2);  // the first day has two
    // Spread: the days are not bunched at one end of the range.
    EXPECT_GT(perDay.rbegin()->first, ordered[ordered.size() - 110]);

    // A range without trading days gives an empty list; the minute chart's
    // request gets three items of its day with the same links.
    request.parsed.numbers = {19000101, 19000131};
    body.clear();
    ASSERT_TRUE(BuildNewsMarksReply(data, request, kReplyComplete, &body));
    EXPECT_TRUE(NewsItems(body).empty());
    request.type = 2;
    request.parsed.numbers = {int64_t{last} * 1000000};
    body.clear();
    ASSERT_TRUE(BuildNewsMarksReply(data, request, kReplyComplete, &body));
    const auto minute = NewsItems(body);
    ASSERT_EQ(minute.size(), 3u);
    for (const auto& [day, url] : minute) {
      EXPECT_EQ(day, last);
      EXPECT_EQ(url.rfind("http://127.0.0.1:18889/news/", 0), 0u) << url;
    }
  }
  // The server hands its option to the data the builders read.
  MarketServerOptions options = Quiet();
  options.httpBase = "http://127.0.0.1:7001";
  MarketDataServer server(options);
  EXPECT_EQ(server.Data().HttpBase(), "http://127.0.0.1:7001");
}

TEST(MarketServerTest, QuoteFieldsUseTheWidthOfTheirId) {
  MarketData data(1);
  SimStock s;
  ASSERT_TRUE(data.Find("600000", 1, &s));
  struct Case {
    int id;
    size_t width;
  };
  const Case cases[] = {{0, 33},  {1, 7},    {2, 4},    {8, 4},    {9, 8},    {46, 0},   {357, 24}, {807, 1},
                        {1001, 2}, {2010, 2}, {5007, 4}, {5008, 8}, {5042, 4}, {5500, 8}, {885, 8},  {886, 0},
                        {419, 8},  {420, 0},  {1015, 8}, {706, 4},  {707, 8},  {5036, 4}, {5038, 8}, {5087, 0}};
  for (const auto& c : cases) {
    Bytes out;
    PutQuoteField(&out, s, c.id);
    EXPECT_EQ(out.size(), c.width) << c.id;
  }
  Bytes last;
  PutQuoteField(&last, s, 8);
  EXPECT_EQ(last, (Bytes{0, 0x01, 0x12, 0x9C}));  // 7.03 * 10,000 = 70,300
}

TEST(MarketServerTest, ThreeDayFieldsAgreeWithTheServedDayBars) {
  MarketData data(5);
  for (int step = 0; step < 5; ++step) data.Step();
  int checked = 0, moved = 0;
  for (const SimStock& listed : data.All()) {
    if (checked == 12) break;
    SimStock s;
    ASSERT_TRUE(data.Find(listed.code, listed.market, &s));
    ASSERT_EQ(s.tradeDate, data.TradeDate());
    const std::vector<WireBar> bars = ServedBars(s, data.TradeDate(), 33);
    ASSERT_GE(bars.size(), 4u) << s.code;
    const size_t n = bars.size();
    const double base = static_cast<double>(bars[n - 4].close);
    const int64_t change = std::llround((static_cast<double>(bars[n - 1].close) - base) / base * 10000.0);
    const int64_t turnover = TurnoverHundredths(s, bars[n - 1].volume + bars[n - 2].volume + bars[n - 3].volume);
    EXPECT_EQ(QuoteFieldValue(s, 5000), change) << s.code;
    EXPECT_EQ(QuoteFieldValue(s, 5001), turnover) << s.code;
    EXPECT_GT(turnover, QuoteFieldValue(s, 37)) << s.code << ": three days trade more than today";
    EXPECT_EQ(QuoteFieldValue(s, 37), TurnoverHundredths(s, s.volume)) << s.code;
    moved += change != 0;
    ++checked;
  }
  EXPECT_GT(moved, 0);
  // A stock that knows no trade date sends 0.
  SimStock unknown;
  ASSERT_TRUE(data.Find("600000", 1, &unknown));
  unknown.tradeDate = 0;
  EXPECT_EQ(QuoteFieldValue(unknown, 5000), 0);
  EXPECT_EQ(QuoteFieldValue(unknown, 5001), 0);
}

TEST(MarketServerTest, IndicesCarryTheBreadthOfTheirMarket) {
  MarketData data(7);
  for (int step = 0; step < 20; ++step) data.Step();
  const std::vector<SimStock> all = data.All();
  int checked = 0;
  for (const SimStock& index : all) {
    if (index.kind != 1) continue;
    int up = 0, down = 0;
    for (const SimStock& s : all) {
      if (s.kind != 2 || s.market != index.market) continue;
      up += s.last > s.prevClose;
      down += s.last < s.prevClose;
    }
    Bytes advancers, decliners;
    PutQuoteField(&advancers, index, 1001);
    PutQuoteField(&decliners, index, 1003);
    EXPECT_EQ(advancers, (Bytes{0, static_cast<uint8_t>(up)})) << index.code;
    EXPECT_EQ(decliners, (Bytes{0, static_cast<uint8_t>(down)})) << index.code;
    EXPECT_GT(up + down, 0) << index.code << ": twenty steps move some stock";
    ++checked;
  }
  EXPECT_EQ(checked, 4);
  // A stock carries no breadth.
  SimStock stock;
  ASSERT_TRUE(data.Find("600000", 1, &stock));
  Bytes none;
  PutQuoteField(&none, stock, 1001);
  EXPECT_EQ(none, (Bytes{0, 0}));
}

}  // namespace
