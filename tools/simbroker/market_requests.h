// Requests as the market-data server receives them: the packet header, the
// body parsed by request type, and the journal record tests assert on.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

// The body of a request, parsed by type. Only the parts a type carries are
// filled; `numbers` holds its other numeric fields in body order.
struct ParsedRequest {
  std::string code;                                  // 6 characters (zeros kept)
  int market = -1;
  std::vector<std::pair<std::string, int>> stocks;   // type 32 entries
  std::vector<int> fieldIds;                         // FieldIdList
  std::vector<int> byteList;                         // byte list
  std::vector<std::pair<int, int>> pairs;            // pair list
  std::vector<int64_t> numbers;                      // other fields in order
  std::string text;                                  // type 1 version, type 62 bytes
};

struct JournalEntry {
  int connection = 0;   // 1 for the first accepted connection, and so on
  int kind = 0;         // packet kind: 2 or 0x33
  int flag = 0;
  int parameter = 0;    // 1: keep pushing
  int type = 0;
  int sequence = 0;     // type 17: the operation
  Bytes body;
  ParsedRequest parsed;
  bool parsedOk = false;  // the body held what its type needs, nothing more
};

// Parses a request packet (kind, 8-byte header, body). False when the packet
// is shorter than its header.
bool ParseRequestPacket(const Bytes& packet, JournalEntry* out);

// Body parser of one request type: fills out from the body; false when the
// body is short or has bytes left over.
typedef bool (*RequestBodyParser)(const Bytes& body, ParsedRequest* out);

// The parser for (kind, type), or null for a type the server does not know.
RequestBodyParser FindRequestParser(int kind, int type);

}  // namespace simbroker
