// Recorders and fast intervals shared by the transport and HTTP tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/frame_transport.h"
#include "foundation/transport_timing.h"
#include "net_test_util.h"

namespace nettest {

// Short intervals so that waits and time-outs take milliseconds. The miss
// windows (pause x limit) stay near one second: a loaded machine can stall a
// test server that long, and a shorter window would cut a body short.
inline TransportTimings FastTimings() {
  TransportTimings t;
  t.connectTimeoutMs = 3000;
  t.handshakeTimeoutMs = 3000;
  t.handshakeStepMs = 50;
  t.frameWaitStepMs = 50;
  t.keepAliveMs = 250;
  t.frameMissPauseMs = 25;
  t.frameMissLimit = 40;
  t.httpWaitStepMs = 100;
  t.httpMissPauseMs = 50;
  t.httpMissLimit = 20;
  t.httpTimeoutMs = 4000;
  t.systemHttpTimeoutMs = 4000;
  return t;
}

class FastTimingTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTransportTimings(FastTimings()); }
  void TearDown() override {
    SetTransportTimings(TransportTimings{});
    SetThreadStartFailsForTesting(false);
  }
};

// What one connection's callbacks saw.
struct ConnectionRecord {
  std::mutex lock;
  std::vector<int> states;
  std::vector<std::string> frames;
  std::atomic<int> id{0};
  std::atomic<int> active{0};  // callbacks in progress: the record outlives them

  ~ConnectionRecord() {
    while (active != 0) std::this_thread::yield();
  }
  static void OnState(void* user, int code) {
    auto* r = static_cast<ConnectionRecord*>(user);
    ++r->active;
    {
      std::lock_guard<std::mutex> g(r->lock);
      r->states.push_back(code);
    }
    --r->active;
  }
  static void OnFrame(void* user, const char* frame, int length) {
    auto* r = static_cast<ConnectionRecord*>(user);
    ++r->active;
    {
      std::lock_guard<std::mutex> g(r->lock);
      r->frames.emplace_back(frame, static_cast<size_t>(length));
    }
    --r->active;
  }
  std::vector<int> States() {
    std::lock_guard<std::mutex> g(lock);
    return states;
  }
  std::vector<std::string> Frames() {
    std::lock_guard<std::mutex> g(lock);
    return frames;
  }
  bool HasState(int code) {
    std::lock_guard<std::mutex> g(lock);
    for (int s : states)
      if (s == code) return true;
    return false;
  }
};

// The clients' calling order: create, callbacks, data callback, host, proxy, start.
inline int OpenConnection(ConnectionRecord* record, const char* host, int port, const char* proxy = "") {
  int id = CreateConnection();
  record->id = id;
  SetConnectionCallbacks(id, ConnectionRecord::OnState, record);
  SetConnectionDataCallback(id, ConnectionRecord::OnFrame, record);
  SetConnectionHost(id, host, port);
  SetConnectionProxy(id, proxy);
  StartConnection(id);
  return id;
}

}  // namespace nettest

namespace nettest {

// One exchange of a scripted proxy: read `expect` bytes (0: up to the empty
// line of an HTTP header), then answer `reply` (and hang up when close).
struct ProxyStep {
  size_t expect;
  std::string reply;
  bool close = false;
};

// A fake proxy that never forwards: it plays its handshake steps, records
// what it received, and then plays the server itself with `after`.
class ScriptedProxy {
 public:
  ScriptedProxy(std::vector<ProxyStep> steps, std::function<void(int)> after)
      : steps_(std::move(steps)), after_(std::move(after)), server_([this](int fd) { Run(fd); }) {}
  int port() const { return server_.port(); }
  std::string Received() {
    std::lock_guard<std::mutex> g(lock_);
    return received_;
  }

 private:
  void Run(int fd) {
    for (const ProxyStep& s : steps_) {
      std::string got = s.expect == 0 ? RecvUntil(fd, "\r\n\r\n") : RecvN(fd, s.expect);
      {
        std::lock_guard<std::mutex> g(lock_);
        received_ += got;
      }
      if (got.empty() || (s.expect != 0 && got.size() < s.expect)) return;
      SendAll(fd, s.reply);
      if (s.close) return;
    }
    if (after_) after_(fd);
  }

  std::vector<ProxyStep> steps_;
  std::function<void(int)> after_;
  std::mutex lock_;
  std::string received_;
  Server server_;  // last: its scripts use the members above
};

// Echoes every frame back until the peer goes away.
inline void EchoFrames(int fd) {
  for (;;) {
    std::string h = RecvN(fd, 5, 3000);
    if (h.size() < 5) return;
    size_t n = (static_cast<unsigned char>(h[0]) << 24) | (static_cast<unsigned char>(h[1]) << 16) |
               (static_cast<unsigned char>(h[2]) << 8) | static_cast<unsigned char>(h[3]);
    if (!SendAll(fd, h + RecvN(fd, n))) return;
  }
}

}  // namespace nettest
