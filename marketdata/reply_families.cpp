#include "marketdata/reply_families.h"

namespace {

// The family of a kind-2 type: its smallest member, or the type itself.
int QuoteFamily(int type) {
  switch (type) {
    case 40: case 42: return 40;
    case 43: case 45: case 46: return 43;
    case 37: case 48: case 50: case 93: return 37;
    case 49: case 68: case 91: case 92: return 49;
    case 38: case 80: case 81: case 83: case 84: return 38;
    default: return type;
  }
}

}  // namespace

bool ReplyFitsRequest(int kind, int requestType, int replyType) {
  if (kind == 0x33) return (requestType == 2 || requestType == 3) && (replyType == 2 || replyType == 3);
  return QuoteFamily(requestType) == QuoteFamily(replyType);
}
