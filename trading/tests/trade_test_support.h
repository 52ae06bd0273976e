// Helpers of the trade protocol tests: plain texts of replies, their wire
// bytes under the client's own codec, and the fields of a request body.
#pragma once

#include <string>
#include <vector>

#include "trading/trade_key.h"
#include "trading/trade_session.h"

namespace trade_test {

// A reply body: records of fields, each field ended by 0x00, each record by
// 0x01.
inline std::string ReplyBody(const std::vector<std::vector<std::string>>& records) {
  std::string body;
  for (const auto& record : records) {
    for (const auto& field : record) {
      body += field;
      body += '\0';
    }
    body += '\x01';
  }
  return body;
}

// The plain text of a reply: a creation header with the given byte-14 field,
// session bytes and body length, then the body.
inline std::string ReplyPlain(const std::string& body, const char* more = "0", const std::string& token = "") {
  BYTE header[kTradeHeaderSize];
  MakeTradeHeaderTemplate(header);
  header[14] = static_cast<BYTE>(more[0]);
  for (size_t i = 0; i < token.size() && i < 25; ++i) header[23 + i] = static_cast<BYTE>(token[i]);
  char digits[8];
  snprintf(digits, sizeof(digits), "%04d", static_cast<int>(body.size()));
  for (int i = 0; i < 5; ++i) header[75 + i] = static_cast<BYTE>(digits[i]);
  return std::string(reinterpret_cast<const char*>(header), kTradeHeaderSize) + body;
}

inline const BlowfishContext& ClientKey() {
  static BlowfishContext key = [] {
    BlowfishContext k{};
    BlowfishSetKey(&k, 1, reinterpret_cast<const BYTE*>(kTradeCipherKey), kTradeCipherKeyLength);
    return k;
  }();
  return key;
}

// "||" and the Blowfish buffer of plain (any length up to 65,535).
inline std::string Wire(const std::string& plain, const BlowfishContext& key = ClientKey()) {
  std::vector<BYTE> out(plain.size() + 16);
  BlowfishContext cipher = key;
  int n = BlowfishEncryptBuffer(&cipher, reinterpret_cast<const BYTE*>(plain.data()), static_cast<int>(plain.size()),
                                0, static_cast<int>(plain.size()), out.data(), static_cast<int>(out.size()));
  return "||" + std::string(reinterpret_cast<const char*>(out.data()), n > 0 ? n : 0);
}

// The fields of a request body (the bytes before the final 0x01, split at
// each zero byte).
inline std::vector<std::string> BodyFields(const TradeFrame& frame) {
  std::vector<std::string> fields;
  if (frame.bodyLength <= 0) return fields;
  std::string current;
  for (int i = 0; i < frame.bodyLength - 1; ++i) {
    if (frame.body[i] == 0) {
      fields.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(frame.body[i]);
    }
  }
  return fields;
}

}  // namespace trade_test
