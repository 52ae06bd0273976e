#include "marketdata/quote_transport.h"

namespace {

class FrameTransportAdapter final : public QuoteTransport {
 public:
  int Create() override { return CreateConnection(); }
  void SetCallbacks(int id, ConnectionStateCallback callback, void* user) override {
    SetConnectionCallbacks(id, callback, user);
  }
  void SetDataCallback(int id, FrameDataCallback callback, void* user) override {
    SetConnectionDataCallback(id, callback, user);
  }
  void SetHost(int id, const char* host, int port) override { SetConnectionHost(id, host, port); }
  void SetProxy(int id, const char* proxySetting) override { SetConnectionProxy(id, proxySetting); }
  void SetKeepAlive(int id, int on) override { SetConnectionKeepAlive(id, on); }
  void Start(int id) override { StartConnection(id); }
  void Send(int id, const char* payload, int length) override { SendFrame(id, payload, length); }
  void Close(int id) override { CloseConnection(id); }
};

}  // namespace

QuoteTransport* FrameQuoteTransport() {
  static FrameTransportAdapter adapter;
  return &adapter;
}
