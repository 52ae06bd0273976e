// Fuzz target for the engine's receiving side: arbitrary bytes arrive as one
// frame of a ready connection (walk, gzip, header, pending lookup, decoders,
// the market-information reply, unknown-type cancels). The input is copied
// into a buffer of exactly its size, so any read past it is reported.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "marketdata/quote_connection.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/quote_transport.h"
#include "marketdata/request_builders.h"

namespace {

// Swallows everything the engine sends.
class NullTransport final : public QuoteTransport {
 public:
  int Create() override { return 1; }
  void SetCallbacks(int, ConnectionStateCallback, void*) override {}
  void SetDataCallback(int, FrameDataCallback, void*) override {}
  void SetHost(int, const char*, int) override {}
  void SetProxy(int, const char*) override {}
  void SetKeepAlive(int, int) override {}
  void Start(int) override {}
  void Send(int, const char*, int) override {}
  void Close(int) override {}
};

void CountReply(void* owner, PendingRequest*) { ++*static_cast<int*>(owner); }
void IgnoreEvent(void*, const void*, int) {}

QuoteEngine* ReadyEngine() {
  static NullTransport transport;
  static int replies = 0;
  static QuoteEngine* engine = [] {
    QuoteEngine* e = CreateQuoteEngine();
    SetQuoteTransportForTesting(e, &transport);
    SetQuoteEventHandler(e, IgnoreEvent, nullptr);
    e->state = 4;
    return e;
  }();
  // Keep a few standing requests (sequences from 1001 on) so that replies
  // find entries; cancelled ones are purged by the dispatch itself.
  if (CountActiveRequests(engine->pending) < 4) {
    RequestStockFields(engine, CountReply, &replies, "600000", 1, 0, 1, 0);
    RequestMinuteNewsMarks(engine, CountReply, &replies, "600000", 1, 0, 1, 20240315, 0, 0);
  }
  if (engine->sequenceCounter > 1100) {
    ClearPendingRequests(engine->pending);
    engine->sequenceCounter = 1001;
  }
  return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  QuoteEngine* engine = ReadyEngine();
  auto* frame = static_cast<char*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(frame, data, size);
  // As the transport delivers it (head included), and as a bare packet.
  OnQuoteFrame(engine, frame, static_cast<int>(size));
  DispatchQuoteReply(engine, reinterpret_cast<const unsigned char*>(frame), static_cast<int>(size));
  std::free(frame);
  return 0;
}
