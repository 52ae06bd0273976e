// Test support of the engine: an in-memory transport that records every
// frame the engine sends and lets the test inject frames and transport
// states on its own thread, and a fixture with a temporary data root.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/tests/temp_user_folders.h"
#include "foundation/user_folders.h"
#include "marketdata/quote_connection.h"
#include "marketdata/quote_engine.h"
#include "marketdata/quote_requests.h"
#include "marketdata/quote_transport.h"
#include "foundation/tests/hex_text.h"
#include "platform/kernel/kernel_files.h"

namespace engine_test {

using Bytes = std::vector<unsigned char>;

inline Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<unsigned char>(v));
  return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

using test_hex::Hex;

class FakeQuoteTransport final : public QuoteTransport {
 public:
  struct Sent {
    int id;
    Bytes payload;   // empty for an empty frame
  };

  int Create() override {
    std::lock_guard<std::mutex> hold(lock_);
    ++created;
    return ++lastId;
  }
  void SetCallbacks(int, ConnectionStateCallback callback, void* user) override {
    stateCallback = callback;
    user_ = user;
  }
  void SetDataCallback(int, FrameDataCallback callback, void* user) override {
    dataCallback = callback;
    user_ = user;
  }
  void SetHost(int, const char* h, int p) override {
    host = h ? h : "";
    port = p;
  }
  void SetProxy(int, const char* proxy) override { proxySetting = proxy ? proxy : ""; }
  void SetKeepAlive(int, int on) override { keepAlive = on; }
  void Start(int) override { ++started; }
  void Send(int id, const char* payload, int length) override {
    std::lock_guard<std::mutex> hold(lock_);
    Sent s{id, {}};
    if (length > 0) s.payload.assign(payload, payload + length);
    if (onSend) onSend(s);
    sent.push_back(std::move(s));
  }
  void Close(int id) override {
    std::lock_guard<std::mutex> hold(lock_);
    closed.push_back(id);
  }

  // Delivers one data frame with this payload (frame head added).
  void Inject(const Bytes& payload) {
    Bytes frame = Concat({B({static_cast<int>(payload.size() >> 24 & 255), static_cast<int>(payload.size() >> 16 & 255),
                             static_cast<int>(payload.size() >> 8 & 255), static_cast<int>(payload.size() & 255), 1}),
                          payload});
    dataCallback(user_, reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()));
  }
  void InjectState(int code) { stateCallback(user_, code); }

  std::vector<Sent> TakeSent() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<Sent> out;
    out.swap(sent);
    return out;
  }

  int created = 0;
  int lastId = 0;
  int started = 0;
  int keepAlive = 0;
  int port = 0;
  std::string host;
  std::string proxySetting;
  std::vector<int> closed;
  std::vector<Sent> sent;
  ConnectionStateCallback stateCallback = nullptr;
  FrameDataCallback dataCallback = nullptr;
  // Called inside Send with each frame, on the sending thread, at the moment
  // a real connection could already receive the answer.
  std::function<void(const Sent&)> onSend;

 private:
  std::mutex lock_;
  void* user_ = nullptr;
};

struct EventLog {
  struct Event {
    int code;
    std::string argument;
    bool hasArgument;
  };
  std::vector<Event> events;
  std::mutex lock;

  static void Handler(void* owner, const void* argument, int event) {
    auto* log = static_cast<EventLog*>(owner);
    std::lock_guard<std::mutex> hold(log->lock);
    Event e{event, {}, argument != nullptr};
    if (argument) e.argument = static_cast<const char*>(argument);
    log->events.push_back(e);
  }
  std::vector<int> Codes() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<int> out;
    for (auto& e : events) out.push_back(e.code);
    return out;
  }
};

// A temporary data root (no watch list), an engine on the fake transport.
class EngineFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = std::make_unique<TempUserFolders>("engine");
    ASSERT_TRUE(folders_->Ok());
    top_ = folders_->Top();
    InitAppFolders();
    BeforeEngine();
    engine = CreateQuoteEngine();
    ASSERT_NE(engine, nullptr);
    SetQuoteTransportForTesting(engine, &fake);
    SetQuoteEventHandler(engine, EventLog::Handler, &log);
  }

  void TearDown() override {
    FreeQuoteEngine(engine);
    folders_.reset();
  }

  // Runs before the engine is created (files it should find).
  virtual void BeforeEngine() {}

  std::string UserFile(const std::string& relative) const { return DataRoot() + relative; }

  // Connects to the fake and walks the handshake to the ready state.
  void MakeReady() {
    ConnectQuoteServer(engine, "127.0.0.1", 8110, "http://127.0.0.1:8110/q");
    fake.InjectState(kConnectionUp);
    fake.Inject(Bytes(24, 0));
    fake.Inject(B({0, 0xFF, 0xFF, 0xFF, 0xFF}));
    fake.Inject(B({2, 1, 0, 0, 5, 3, 1, 0, 0, 0}));
    ASSERT_EQ(engine->state.load(), kQuoteStateReady);
    fake.TakeSent();
    log.events.clear();
  }

  // The payload of the only frame sent since the last call.
  Bytes OnlySent() {
    auto sent = fake.TakeSent();
    EXPECT_EQ(sent.size(), 1u);
    return sent.empty() ? Bytes() : sent[0].payload;
  }

  std::unique_ptr<TempUserFolders> folders_;
  std::string top_;
  FakeQuoteTransport fake;
  EventLog log;
  QuoteEngine* engine = nullptr;
};

// A request packet's body (after kind and header).
inline Bytes BodyOf(const Bytes& payload) {
  return payload.size() >= 9 ? Bytes(payload.begin() + 9, payload.end()) : Bytes();
}

// A reply packet: kind, header (mode, 0, 0, 5, type, 1, sequence), body.
inline Bytes Reply(int kind, int mode, int type, int sequence, const Bytes& body) {
  return Concat({B({kind, mode, 0, 0, 5, type, 1, sequence >> 8 & 255, sequence & 255}), body});
}

}  // namespace engine_test
