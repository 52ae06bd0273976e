#include "tools/simbroker/market_requests.h"

#include <map>

namespace simbroker {

namespace {

// Reads the body front to back; every read checks the bytes left.
class BodyCursor {
 public:
  explicit BodyCursor(const Bytes& body) : body_(body) {}
  bool Number(int bytes, int64_t* value) {
    if (bytes > Left()) return Fail();
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | body_[pos_++];
    // Sign-extend 4-byte fields (start positions may be -1).
    if (bytes == 4) *value = static_cast<int32_t>(v);
    else *value = static_cast<int64_t>(v);
    return true;
  }
  bool Keep(int bytes, ParsedRequest* out) {
    int64_t v = 0;
    if (!Number(bytes, &v)) return false;
    out->numbers.push_back(v);
    return true;
  }
  bool Text(int bytes, std::string* out) {
    if (bytes > Left()) return Fail();
    out->assign(body_.begin() + pos_, body_.begin() + pos_ + bytes);
    pos_ += bytes;
    return true;
  }
  bool Code(ParsedRequest* out) {
    int64_t market = 0;
    if (!Text(6, &out->code) || !Number(1, &market)) return false;
    out->market = static_cast<int>(market);
    return true;
  }
  bool FieldIds(ParsedRequest* out) {
    int64_t count = 0;
    if (!Number(2, &count)) return false;
    for (int64_t i = 0; i < count; ++i) {
      int64_t id = 0;
      if (!Number(2, &id)) return false;
      out->fieldIds.push_back(static_cast<int>(id));
    }
    return true;
  }
  bool ByteList(ParsedRequest* out) {
    int64_t count = 0;
    if (!Number(1, &count)) return false;
    for (int64_t i = 0; i < count; ++i) {
      int64_t b = 0;
      if (!Number(1, &b)) return false;
      out->byteList.push_back(static_cast<int>(b));
    }
    return true;
  }
  bool PairList(ParsedRequest* out) {
    int64_t count = 0;
    if (!Number(1, &count)) return false;
    for (int64_t i = 0; i < count; ++i) {
      int64_t a = 0, b = 0;
      if (!Number(1, &a) || !Number(1, &b)) return false;
      out->pairs.emplace_back(static_cast<int>(a), static_cast<int>(b));
    }
    return true;
  }
  bool End() const { return pos_ == static_cast<int>(body_.size()); }
  int Left() const { return static_cast<int>(body_.size()) - pos_; }

 private:
  bool Fail() { return false; }
  const Bytes& body_;
  int pos_ = 0;
};

bool ParseDictionary(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  int64_t n = 0;
  return c.Number(2, &n) && c.Text(static_cast<int>(n), &out->text) && c.End();
}
bool ParseEmpty(const Bytes& body, ParsedRequest*) { return body.empty(); }
bool ParsePushControl(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  int64_t count = 0;
  if (!c.Number(2, &count)) return false;
  for (int64_t i = 0; i < count; ++i) {
    if (!c.Keep(2, out)) return false;
  }
  return c.End();
}
bool ParseStockList(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  int64_t count = 0;
  if (!c.Number(2, &count)) return false;
  for (int64_t i = 0; i < count; ++i) {
    ParsedRequest entry;
    if (!c.Code(&entry)) return false;
    out->stocks.emplace_back(entry.code, entry.market);
  }
  return c.FieldIds(out) && c.End();
}
bool ParseStockFields(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.FieldIds(out) && c.End();
}
bool ParseTicks(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(4, out) && c.Keep(2, out) && c.End();
}
bool ParseFuturesTicks(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(4, out) && c.Keep(2, out) && c.ByteList(out) && c.End();
}
bool ParseSortedList(const Bytes& body, ParsedRequest* out) {  // 40
  BodyCursor c(body);
  return c.Keep(4, out) && c.Keep(4, out) && c.Keep(4, out) && c.Keep(2, out) && c.Keep(2, out) &&
         c.Keep(1, out) && c.FieldIds(out) && c.End();
}
bool ParseCategoryList(const Bytes& body, ParsedRequest* out) {  // 42
  BodyCursor c(body);
  return c.Keep(2, out) && c.Keep(2, out) && c.Keep(2, out) && c.Keep(2, out) && c.Keep(1, out) &&
         c.FieldIds(out) && c.End();
}
bool ParseRankings(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Keep(8, out) && c.Keep(2, out) && c.Keep(2, out) && c.End();
}
bool ParseFieldTable(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.FieldIds(out) && c.End();
}
bool ParseMinuteData(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(2, out) && c.ByteList(out) && c.End();
}
bool ParseBars(const Bytes& body, ParsedRequest* out) {  // 49, 91, 92
  BodyCursor c(body);
  return c.Code(out) && c.Keep(1, out) && c.Keep(4, out) && c.Keep(2, out) && c.Keep(2, out) && c.ByteList(out) &&
         c.PairList(out) && c.End();
}
bool ParseExRights(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(8, out) && c.End();
}
bool ParseCodeOnly(const Bytes& body, ParsedRequest* out) {  // 60, 70
  BodyCursor c(body);
  return c.Code(out) && c.End();
}
bool ParseAlertQuery(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(2, out) && c.ByteList(out) && c.End();
}
bool ParseAlertRecords(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  int64_t n = 0;
  return c.Keep(2, out) && c.Number(1, &n) && c.Text(static_cast<int>(n), &out->text) && c.ByteList(out) && c.End();
}
bool ParseKLine(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(1, out) && c.Keep(4, out) && c.Keep(4, out) && c.ByteList(out) && c.End();
}
bool ParseStockPool(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Keep(2, out) && c.Keep(1, out) && c.Keep(2, out) && c.Keep(1, out) && c.End();
}
bool ParseF10Item(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(1, out) && c.End();
}
bool ParseMinuteNews(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(8, out) && c.End();
}
bool ParseKLineNews(const Bytes& body, ParsedRequest* out) {
  BodyCursor c(body);
  return c.Code(out) && c.Keep(8, out) && c.Keep(8, out) && c.End();
}

const std::map<int, RequestBodyParser>& QuoteParsers() {
  static const std::map<int, RequestBodyParser> parsers = {
      {1, ParseDictionary},    {3, ParseEmpty},         {17, ParsePushControl}, {32, ParseStockList},
      {33, ParseStockFields},  {38, ParseTicks},        {80, ParseTicks},       {81, ParseTicks},
      {83, ParseTicks},        {84, ParseTicks},        {40, ParseSortedList},  {42, ParseCategoryList},
      {41, ParseRankings},     {43, ParseFieldTable},   {45, ParseFieldTable},  {46, ParseFieldTable},
      {48, ParseMinuteData},   {49, ParseBars},         {91, ParseBars},        {92, ParseBars},
      {55, ParseExRights},     {60, ParseCodeOnly},     {70, ParseCodeOnly},    {61, ParseAlertQuery},
      {62, ParseAlertRecords}, {67, ParseFuturesTicks}, {68, ParseKLine},       {69, ParseStockPool},
      {71, ParseF10Item},
  };
  return parsers;
}

}  // namespace

bool ParseRequestPacket(const Bytes& packet, JournalEntry* out) {
  if (packet.size() < 9) return false;
  out->kind = packet[0];
  out->flag = packet[1];
  out->parameter = packet[2] << 8 | packet[3];
  out->type = packet[5];
  out->sequence = packet[7] << 8 | packet[8];
  out->body.assign(packet.begin() + 9, packet.end());
  RequestBodyParser parser = FindRequestParser(out->kind, out->type);
  out->parsedOk = parser && parser(out->body, &out->parsed);
  return true;
}

RequestBodyParser FindRequestParser(int kind, int type) {
  if (kind == 0x33) {
    if (type == 2) return ParseMinuteNews;
    if (type == 3) return ParseKLineNews;
    return nullptr;
  }
  if (kind != 2) return nullptr;
  auto it = QuoteParsers().find(type);
  return it == QuoteParsers().end() ? nullptr : it->second;
}

}  // namespace simbroker
