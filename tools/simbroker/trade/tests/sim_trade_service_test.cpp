// The service's HTTP front and request validation, driven by raw requests
// through the program's own HTTP client.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include "foundation/http_request.h"
#include "tools/simbroker/cipher/sim_blowfish.h"
#include "tools/simbroker/trade/trade_service.h"
#include "trading/tests/trade_test_support.h"
#include "trading/trade_key.h"

namespace {

struct RawReply {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  int status = -1;
  std::string body;
};

void OnRaw(HttpRequest*, void* user, const char* body, int length, int status) {
  if (status == kHttpProgress) return;
  auto* reply = static_cast<RawReply*>(user);
  std::lock_guard<std::mutex> guard(reply->lock);
  reply->status = status;
  if (body != nullptr && length > 0) reply->body.assign(body, static_cast<size_t>(length));
  reply->finished = true;
  reply->done.notify_all();
}

// Posts body to address and waits for the final report.
void Post(const std::string& address, const std::string& body, RawReply* reply) {
  StartHttpRequest(address.c_str(), body.data(), static_cast<int>(body.size()), nullptr, OnRaw, reply);
  std::unique_lock<std::mutex> guard(reply->lock);
  reply->done.wait_for(guard, std::chrono::seconds(5), [reply] { return reply->finished; });
}

TEST(SimTradeService, MalformedRequestsGetAFormatErrorReply) {
  simtrade::TradeService* service = simtrade::RunTradeService(simtrade::TradeServiceOptions());
  ASSERT_NE(service, nullptr);
  simcipher::SimBlowfish cipher(kTradeCipherKey, kTradeCipherKeyLength);
  std::string goodHeader = trade_test::ReplyPlain("").substr(0, 80);
  std::string unknownCode = goodHeader;
  unknownCode[48] = '7';
  unknownCode[49] = '7';
  memcpy(&unknownCode[51], "0001", 4);
  memcpy(&unknownCode[75], "0003", 4);
  struct Case {
    const char* name;
    std::string body;
  } cases[] = {
      {"no bars", "xx" + cipher.EncipherBuffer(goodHeader)},
      {"not enciphered", "||plain text"},
      {"unknown function code", "||" + cipher.EncipherBuffer(unknownCode + std::string("0\0\x01", 3))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawReply reply;
    Post(simtrade::TradeServiceAddress(service), c.body, &reply);
    ASSERT_EQ(reply.status, kHttpCompleted);
    TradeFrame frame;
    ASSERT_EQ(DecodeTradeFrame(&trade_test::ClientKey(), reinterpret_cast<const BYTE*>(reply.body.data()),
                               static_cast<int>(reply.body.size()), &frame),
              1);
    TradeReply decoded;
    ASSERT_EQ(UnpackTradeReply(&frame, 1, &decoded), 1);
    EXPECT_STREQ(decoded.errorCode, "9001");
    EXPECT_STREQ(decoded.message, "请求格式错误");
    FreeRecordList(&decoded.records);
    FreeTradeFrame(&frame);
  }
  EXPECT_EQ(simtrade::TradeServiceLog(service).size(), 3u);
  // Another path is not the trade service.
  RawReply other;
  std::string address = simtrade::TradeServiceAddress(service) + "x";
  Post(address, "||", &other);
  EXPECT_EQ(other.status, kHttpFailed);
  simtrade::StopTradeService(service);
}

}  // namespace
