// Wire side of the simulated trade service: decoding and validating a
// request, encoding a reply. Written from the wire format (see the terminal's
// trade protocol): "||", the Blowfish buffer, an 80-byte header, a body of
// zero-terminated fields closed by 0x01.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/simbroker/cipher/sim_blowfish.h"

namespace simtrade {

using simcipher::SimBlowfish;  // the simulated brokerage's one cipher

constexpr size_t kHeaderSize = 80;
constexpr size_t kMaxReplyBody = 9999;

struct DecodedRequest {
  std::string header;               // the 80 plain header bytes
  std::string code;                 // bytes 48-49
  int page = 0;                     // bytes 51-54
  std::vector<std::string> fields;  // body fields in order
  std::string token;                // bytes 23-47, cut at the first zero
};

// Checks and decodes a request body as received. Result true; false with
// *error saying what is wrong (header may then still hold the header when it
// could be deciphered).
bool DecodeRequest(const SimBlowfish& cipher, const std::string& received, DecodedRequest* request,
                   std::string* error);

// A reply: record 1 (code, message), then the column names and the rows
// when columns is not empty.
struct ReplyTable {
  std::string code = "0000";
  std::string message;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  bool more = false;  // header byte 14 "1"
};

// The reply body bytes.
std::string EncodeReplyBody(const ReplyTable& table);

// The plain reply: requestHeader (80 bytes; a fresh one when shorter) with
// byte 14, the token in bytes 23-47 and the body length in 75-79, then body.
std::string EncodeReplyPlain(const std::string& requestHeader, bool more, const std::string& token,
                             const std::string& body);

// "||" and the enciphered plain text.
std::string EncodeReplyWire(const SimBlowfish& cipher, const std::string& plain);

}  // namespace simtrade
