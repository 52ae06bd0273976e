#include "tools/simbroker/trade/trade_wire.h"

#include <cstdio>
#include <cstring>

namespace simtrade {
namespace {

// Field counts each function code takes ("07" takes 3 or 5).
int ExpectedFields(const std::string& code, size_t given) {
  static const struct {
    const char* code;
    int count;
  } kCounts[] = {{"39", 3}, {"08", 4}, {"03", 5}, {"20", 3}, {"11", 6}, {"05", 7}, {"06", 7}, {"01", 8},
                 {"21", 4}, {"02", 4}, {"12", 3}, {"13", 9}, {"33", 6}, {"31", 7}, {"32", 7}, {"09", 6}};
  if (code == "07") return given == 3 || given == 5 ? static_cast<int>(given) : 5;
  for (const auto& entry : kCounts) {
    if (code == entry.code) return entry.count;
  }
  return -1;
}

bool Digits(const std::string& text, size_t offset, size_t count, int* value) {
  *value = 0;
  for (size_t i = 0; i < count; ++i) {
    char ch = text[offset + i];
    if (ch < '0' || ch > '9') return false;
    *value = *value * 10 + (ch - '0');
  }
  return true;
}

std::string FreshHeader() {
  std::string header(kHeaderSize, '\0');
  memcpy(&header[0], "SLUTF8", 6);
  memcpy(&header[7], "13", 2);
  header[10] = 'C';
  header[12] = 'R';
  header[14] = '0';
  memcpy(&header[16], "000000", 6);
  return header;
}

}  // namespace

bool DecodeRequest(const SimBlowfish& cipher, const std::string& received, DecodedRequest* request,
                   std::string* error) {
  *request = DecodedRequest();
  if (received.size() < 5 || received[0] != '|' || received[1] != '|') {
    *error = "body does not start with ||";
    return false;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(received.data());
  if (bytes[2] != 0x01) {
    *error = "cipher marker is not 1";
    return false;
  }
  size_t stated = bytes[3] | (size_t{bytes[4]} << 8);
  if (5 + (stated + 7) / 8 * 8 != received.size()) {
    *error = "cipher length does not match the body";
    return false;
  }
  std::string plain;
  if (!cipher.DecipherBuffer(bytes + 2, received.size() - 2, &plain)) {
    *error = "cannot decipher";
    return false;
  }
  if (plain.size() < kHeaderSize + 1) {
    *error = "plain text too short";
    return false;
  }
  request->header = plain.substr(0, kHeaderSize);
  if (memcmp(plain.data(), "SLUTF8\0", 7) != 0) {
    *error = "magic is not SLUTF8";
    return false;
  }
  request->code = plain.substr(48, 2);
  int bodyLength = 0;
  if (!Digits(plain, 51, 4, &request->page) || !Digits(plain, 75, 4, &bodyLength)) {
    *error = "page or body length is not a number";
    return false;
  }
  if (static_cast<size_t>(bodyLength) != plain.size() - kHeaderSize) {
    *error = "body length does not match the plain length";
    return false;
  }
  std::string body = plain.substr(kHeaderSize);
  if (body.back() != '\x01') {
    *error = "body does not end with 0x01";
    return false;
  }
  body.pop_back();
  std::string field;
  for (char ch : body) {
    if (ch == '\0') {
      request->fields.push_back(field);
      field.clear();
    } else {
      field += ch;
    }
  }
  if (!field.empty()) request->fields.push_back(field);  // a last field without its zero
  std::string token = plain.substr(23, 25);
  request->token = token.substr(0, token.find('\0'));
  int expected = ExpectedFields(request->code, request->fields.size());
  if (expected < 0) {
    *error = "unknown function code " + request->code;
    return false;
  }
  if (static_cast<size_t>(expected) != request->fields.size()) {
    *error = "function " + request->code + " takes " + std::to_string(expected) + " fields, got " +
             std::to_string(request->fields.size());
    return false;
  }
  return true;
}

std::string EncodeReplyBody(const ReplyTable& table) {
  std::string body;
  auto record = [&body](const std::vector<std::string>& fields) {
    for (const auto& field : fields) {
      body += field;
      body += '\0';
    }
    body += '\x01';
  };
  record({table.code, table.message});
  if (!table.columns.empty()) {
    record(table.columns);
    for (const auto& row : table.rows) record(row);
  }
  return body;
}

std::string EncodeReplyPlain(const std::string& requestHeader, bool more, const std::string& token,
                             const std::string& body) {
  std::string header = requestHeader.size() >= kHeaderSize ? requestHeader.substr(0, kHeaderSize) : FreshHeader();
  header[14] = more ? '1' : '0';
  header[15] = '\0';
  for (size_t i = 0; i < 25; ++i) header[23 + i] = i < token.size() ? token[i] : '\0';
  char digits[8];
  snprintf(digits, sizeof(digits), "%04d", static_cast<int>(body.size() % 10000));
  memcpy(&header[75], digits, 5);
  return header + body;
}

std::string EncodeReplyWire(const SimBlowfish& cipher, const std::string& plain) {
  return "||" + cipher.EncipherBuffer(plain);
}

}  // namespace simtrade
