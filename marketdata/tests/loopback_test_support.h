// Test support of the loopback tests: the engine on its real framed
// transport against a simulated market-data server on 127.0.0.1, and an
// owner base whose counters change under its lock and whose waits are
// bounded condition waits (never sleeps).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "marketdata/tests/engine_test_support.h"
#include "tools/simbroker/market_server.h"

namespace engine_test {

// Bound of every loopback wait: generous, so that a loaded machine does not
// fail a test that would pass.
constexpr int kLoopbackWaitMs = 20000;

// The owner of the engine's events and of the requests' replies in a
// loopback test. Derived owners add their counters and change them with
// Note, which wakes WaitFor.
struct LoopbackOwner {
  QuoteEngine* engine = nullptr;
  std::mutex lock;
  std::condition_variable changed;
  int readyEvents = 0;   // event 0 (ready) seen so many times

  // On ready: resends what waits in the pending list (as the quote view
  // does), then counts the event.
  static void OnEvent(void* owner, const void*, int event) {
    auto* self = static_cast<LoopbackOwner*>(owner);
    if (event == kQuoteEventReady) ResendPendingRequests(self->engine);
    self->Note([&] {
      if (event == kQuoteEventReady) ++self->readyEvents;
    });
  }
  // Runs change under the lock and wakes the waiters.
  template <typename Change>
  void Note(Change change) {
    std::lock_guard<std::mutex> hold(lock);
    change();
    changed.notify_all();
  }
  // Waits until done() holds (checked under the lock); false after
  // kLoopbackWaitMs.
  bool WaitFor(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, std::chrono::milliseconds(kLoopbackWaitMs), done);
  }
};

// The engine of EngineFixture on the real transport with a test user's
// credentials; the server is started by the test (StartServer) and stopped,
// with the connection closed, at the end.
class LoopbackFixture : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    SetQuoteTransportForTesting(engine, nullptr);
    SetQuoteCredentials(engine, "10086", "00112233445566778899aabbccddeeff");
  }
  void TearDown() override {
    CloseQuoteConnection(engine);
    if (server) server->Stop();
    EngineFixture::TearDown();
  }
  // Makes owner the engine's event owner with handler.
  void UseOwner(LoopbackOwner* owner, QuoteEventHandler handler = LoopbackOwner::OnEvent) {
    owner->engine = engine;
    SetQuoteEventHandler(engine, handler, owner);
  }
  // Starts a server that pushes only when the test ticks it; false when it
  // cannot listen.
  bool StartServer(simbroker::MarketServerOptions options = {}) {
    options.pushIntervalMs = 0;
    server = std::make_unique<simbroker::MarketDataServer>(options);
    return server->Start();
  }
  void Connect() { ConnectQuoteServer(engine, "127.0.0.1", server->Port(), "http://127.0.0.1/q"); }

  std::unique_ptr<simbroker::MarketDataServer> server;
};

}  // namespace engine_test
