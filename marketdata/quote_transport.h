// The connection operations the QuoteEngine needs, as an interface so that
// unit tests can put an in-memory transport in place of the framed TCP one.
//
// The operations and their contracts are those of foundation/frame_transport.h:
// ids are integers, callbacks run on the connection's thread (a failed send
// reports state 3 on the caller's thread), and Close returns only after the
// connection's callbacks have returned.
#pragma once

#include "foundation/frame_transport.h"

class QuoteTransport {
 public:
  virtual ~QuoteTransport() = default;
  virtual int Create() = 0;
  virtual void SetCallbacks(int id, ConnectionStateCallback callback, void* user) = 0;
  virtual void SetDataCallback(int id, FrameDataCallback callback, void* user) = 0;
  virtual void SetHost(int id, const char* host, int port) = 0;
  virtual void SetProxy(int id, const char* proxySetting) = 0;
  virtual void SetKeepAlive(int id, int on) = 0;
  virtual void Start(int id) = 0;
  // length <= 0 sends an empty frame.
  virtual void Send(int id, const char* payload, int length) = 0;
  virtual void Close(int id) = 0;
};

// The process-wide framed TCP transport (never freed).
QuoteTransport* FrameQuoteTransport();
