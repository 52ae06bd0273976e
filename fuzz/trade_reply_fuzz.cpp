// Trade reply path on arbitrary bytes: the first byte chooses whether the
// rest is taken as received wire bytes or as a plain text that is enciphered
// first (so that headers and bodies past the cipher are reached), then the
// frame is decoded, unpacked and every reply table parsed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "trading/trade_key.h"
#include "trading/trade_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 70000) return 0;
  static BlowfishContext key = [] {
    BlowfishContext k{};
    BlowfishSetKey(&k, 1, reinterpret_cast<const BYTE*>(kTradeCipherKey), kTradeCipherKeyLength);
    return k;
  }();
  std::vector<BYTE> wire;
  if (data[0] & 1) {
    wire.assign(data + 1, data + size);
  } else {
    size_t plain = size - 1 > 65535 ? 65535 : size - 1;
    wire.assign(2 + 3 + (plain + 7) / 8 * 8, 0);
    BlowfishContext cipher = key;
    if (BlowfishEncryptBuffer(&cipher, data + 1, static_cast<int>(plain), 0, static_cast<int>(plain), wire.data() + 2,
                              static_cast<int>(wire.size() - 2)) < 0) {
      return 0;
    }
  }
  TradeFrame frame;
  if (!DecodeTradeFrame(&key, wire.data(), static_cast<int>(wire.size()), &frame)) return 0;
  if (frame.bodyLength < 0 || frame.bodyLength > frame.plainLength - 80) __builtin_trap();
  TradeReply reply;
  if (UnpackTradeReply(&frame, data[0] >> 1, &reply)) {
    if (strlen(reply.errorCode) > 7 || strlen(reply.message) > 255) __builtin_trap();
    TradeLoginInfo login;
    BankList banks;
    OrderInfo info;
    char captcha[kTradeCaptchaSize] = {};
    ParseLoginInfo(&login, reply.records);
    ParseBankList(&banks, reply.records);
    ParseOrderInfo(&info, reply.records);
    ParseCaptchaText(captcha, reply.records);
    FreeRecordList(&reply.records);
  }
  FreeTradeFrame(&frame);
  return 0;
}
