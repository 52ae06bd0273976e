// Connection states and who makes each transition:
//
//   created --StartConnection--> connecting --(connect/handshake ok)--> up
//   connecting --failure--> reports 2 or 3, freed by its thread
//   up --peer closed / wait failed--> reports 1, freed by its thread
//   up --oversized frame--> reports 3, freed by its thread
//   any --CloseConnection--> running flag cleared, callbacks forgotten; the
//        thread leaves at its next step without a report and frees the record
//   created --thread cannot start--> reports 4; freed by CloseConnection
//
// Locks: the registry lock, then a connection's send-queue lock; no callback
// runs while either is held. The registry lock guards the list, the
// callbacks, host, proxy, socket and waiter fields of every record; the
// send-queue lock guards the queue and every send on the socket. SendFrame
// lets the registry lock go once it holds the send-queue lock; a record
// leaving the registry therefore takes its send-queue lock once before its
// socket closes and it is freed.
#include "foundation/frame_transport.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/callback_gate.h"
#include "foundation/proxy_handshake.h"
#include "foundation/proxy_setting.h"
#include "foundation/transport_timing.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_socket.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/kernel_thread.h"

namespace {

constexpr size_t kQueueStep = 10240;
constexpr size_t kFrameHeader = 5;

struct FrameConnection {
  char host[128] = {};                 // target host, at most 127 bytes
  int port = 0;                        // target TCP port
  SOCKET socket = INVALID_SOCKET;      // set once up; -1 after CloseConnection (registry lock)
  std::atomic<bool> running{false};    // the thread's "go on" flag
  bool started = false;                // StartConnection was called (registry lock)
  bool threadAlive = false;            // a thread owns and will free the record
  ConnectionStateCallback stateCallback = nullptr;  // registry lock
  void* stateUser = nullptr;
  FrameDataCallback dataCallback = nullptr;         // registry lock
  void* dataUser = nullptr;
  CriticalSection sendLock;            // guards the queue and sends on the socket
  char* queue = nullptr;               // bytes the socket did not take yet
  size_t queueCapacity = 0;
  size_t queueWaiting = 0;
  unsigned char header[8] = {};        // first five bytes of the current frame
  char* frame = nullptr;               // current frame, header included (thread only)
  size_t frameCapacity = 0;
  size_t received = 0;                 // bytes of the current frame in, header included
  size_t total = 0;                    // payload + 5 once the header is in, else 0
  int id = 0;
  ProxyFields proxy;                   // registry lock
  std::atomic<bool> keepAlive{false};
  SocketWaiter* waiter = nullptr;      // the thread's waiter while up (registry lock)
  std::shared_ptr<CallbackGate> gate = std::make_shared<CallbackGate>();
};

struct Registry {
  CriticalSection lock;
  std::vector<std::pair<int, FrameConnection*>> nodes;  // in creation order
  int lastId = 0;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // lives for the whole process
  return *registry;
}

FrameConnection* Find(int id) {
  if (id <= 0) return nullptr;
  for (auto& node : TheRegistry().nodes) {
    if (node.first == id) return node.second;
  }
  return nullptr;
}

void DeleteRecord(FrameConnection* c) {
  std::free(c->queue);
  std::free(c->frame);
  delete c;
}

// A callback with its user and the connection's gate, copied under the
// registry lock and then run with no lock held: nothing when the callback is
// null or the gate is shut.
template <class Callback>
struct GatedCallback {
  Callback callback = nullptr;
  void* user = nullptr;
  std::shared_ptr<CallbackGate> gate;

  template <class... Args>
  void Run(Args... args) const {
    if (callback == nullptr || !gate->Enter()) return;
    callback(user, args...);
    gate->Leave();
  }
};

// Reports a state to the connection that find() returns under the registry
// lock (none: nothing happens).
template <class FindConnection>
void ReportStateOf(FindConnection find, int code) {
  GatedCallback<ConnectionStateCallback> call;
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    const FrameConnection* c = find();
    if (c == nullptr) return;
    call = {c->stateCallback, c->stateUser, c->gate};
  }
  call.Run(code);
}

void ReportState(FrameConnection* c, int code) {
  ReportStateOf([c] { return c; }, code);
}

void ReportStateById(int id, int code) {
  ReportStateOf([id] { return Find(id); }, code);
}

void DeliverFrame(FrameConnection* c) {
  GatedCallback<FrameDataCallback> call;
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    call = {c->dataCallback, c->dataUser, c->gate};
  }
  call.Run(c->frame, static_cast<int>(c->total));
}

// The most bytes the send queue holds: one frame of the largest size. A
// frame that would take it past this is refused, as a failed send is.
constexpr size_t kMaxQueueBytes = kMaxFramePayload + kFrameHeader;

size_t RoundedToQueueStep(size_t bytes) { return bytes / kQueueStep * kQueueStep + kQueueStep; }

// Appends bytes to the send queue (send-queue lock held). The queue grows to
// at least (needed / 10,240) x 10,240 + 10,240 bytes and at least doubles,
// so its copies cost a constant per byte. False when the queue would pass
// kMaxQueueBytes or memory runs out (the queue is then as it was).
bool QueueFrameBytes(FrameConnection* c, const char* bytes, size_t length) {
  size_t needed = c->queueWaiting + length;
  if (length > kMaxQueueBytes || needed > kMaxQueueBytes) {
    OutputDebugStringA("SendFrame: the send queue is full\n");
    return false;
  }
  if (needed > c->queueCapacity) {
    size_t capacity = std::min(std::max(RoundedToQueueStep(needed), 2 * c->queueCapacity),
                               RoundedToQueueStep(kMaxQueueBytes));
    char* grown = static_cast<char*>(std::realloc(c->queue, capacity));
    if (grown == nullptr) return false;
    c->queue = grown;
    c->queueCapacity = capacity;
  }
  std::memcpy(c->queue + c->queueWaiting, bytes, length);
  c->queueWaiting += length;
  return true;
}

enum SendOutcome { kSentAll, kSentPart, kSendError };

// Sends as much as the socket takes; *sent receives the count.
SendOutcome SendAsMuch(SOCKET s, const char* bytes, size_t length, size_t* sent) {
  *sent = 0;
  while (*sent < length) {
    int r = SendSome(s, bytes + *sent, static_cast<int>(length - *sent));
    if (r == kIoWouldBlock) return kSentPart;
    if (r <= 0) return kSendError;
    *sent += static_cast<size_t>(r);
  }
  return kSentAll;
}

// Writable socket: flushes the queue. Reports state 3 (outside the lock) on
// a send error, after emptying the queue.
void FlushQueue(FrameConnection* c, SOCKET s) {
  bool failed = false;
  {
    std::lock_guard<CriticalSection> guard(c->sendLock);
    if (c->queueWaiting == 0) return;
    size_t sent = 0;
    SendOutcome outcome = SendAsMuch(s, c->queue, c->queueWaiting, &sent);
    if (outcome == kSentPart) {
      std::memmove(c->queue, c->queue + sent, c->queueWaiting - sent);
      c->queueWaiting -= sent;
      return;
    }
    c->queueWaiting = 0;
    failed = outcome == kSendError;
  }
  if (failed) ReportState(c, kConnectionFailed);
}

bool QueueNotEmpty(FrameConnection* c) {
  std::lock_guard<CriticalSection> guard(c->sendLock);
  return c->queueWaiting > 0;
}

enum ReceiveEnd { kReceiveOpen, kReceivePeerGone };

// Receives until wanted bytes are in, the running flag is cleared, the peer
// has gone, or frameMissLimit empty receives came in a row (each followed
// by a pause of frameMissPauseMs that ends early when data arrive).
size_t ReceiveExact(FrameConnection* c, SOCKET s, SocketWaiter* waiter, char* buffer, size_t wanted,
                    const TransportTimings& t, ReceiveEnd* end) {
  size_t got = 0;
  int misses = 0;
  *end = kReceiveOpen;
  while (got < wanted && c->running) {
    int r = RecvSome(s, buffer + got, static_cast<int>(wanted - got));
    if (r > 0) {
      got += static_cast<size_t>(r);
      misses = 0;
      continue;
    }
    if (r == 0 || r == kIoError) {
      *end = kReceivePeerGone;
      break;
    }
    if (++misses >= t.frameMissLimit) break;
    waiter->Wait(t.frameMissPauseMs, false);
  }
  return got;
}

enum FrameStep { kFrameDone, kFrameWaiting, kFramePeerGone, kFrameTooLarge };

FrameStep ReadFrameStep(FrameConnection* c, SOCKET s, SocketWaiter* waiter, const TransportTimings& t) {
  ReceiveEnd end = kReceiveOpen;
  if (c->received < kFrameHeader) {
    if (c->received == 0) std::memset(c->header, 0, sizeof c->header);
    c->received += ReceiveExact(c, s, waiter, reinterpret_cast<char*>(c->header) + c->received,
                                kFrameHeader - c->received, t, &end);
    if (c->received < kFrameHeader) return end == kReceivePeerGone ? kFramePeerGone : kFrameWaiting;
    uint64_t payload = (uint64_t{c->header[0]} << 24) | (uint64_t{c->header[1]} << 16) |
                       (uint64_t{c->header[2]} << 8) | uint64_t{c->header[3]};
    if (payload > kMaxFramePayload) {
      OutputDebugStringA("ConnectionThread: frame length over the limit\n");
      return kFrameTooLarge;
    }
    c->total = static_cast<size_t>(payload) + kFrameHeader;
    if (c->frameCapacity < c->total) {
      std::free(c->frame);
      c->frameCapacity = 0;
      c->frame = static_cast<char*>(std::calloc(c->total + 8, 1));
      if (c->frame == nullptr) return kFrameTooLarge;
      c->frameCapacity = c->total;
    }
    std::memcpy(c->frame, c->header, kFrameHeader);
  }
  if (c->total == kFrameHeader) {
    c->received = 0;
    c->total = 0;
    ReportState(c, kConnectionEmptyFrame);
    return kFrameDone;
  }
  c->received += ReceiveExact(c, s, waiter, c->frame + c->received, c->total - c->received, t, &end);
  if (c->received < c->total) return end == kReceivePeerGone ? kFramePeerGone : kFrameWaiting;
  DeliverFrame(c);
  c->received = 0;
  c->total = 0;
  return kFrameDone;
}

// Unregisters and frees the record; the thread's own socket is closed here.
void FreeConnection(FrameConnection* c, SOCKET s) {
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    auto& nodes = TheRegistry().nodes;
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
      if (it->second == c) {
        nodes.erase(it);
        break;
      }
    }
    c->socket = INVALID_SOCKET;
    c->waiter = nullptr;
  }
  // A SendFrame that found the record before it left the registry holds its
  // send-queue lock; it ends before the socket closes and the record goes.
  { std::lock_guard<CriticalSection> sendGuard(c->sendLock); }
  if (s != INVALID_SOCKET) CloseSocket(s);
  DeleteRecord(c);
}

void ConnectionThread(FrameConnection* c) {
  const TransportTimings t = GetTransportTimings();
  ProxyFields proxy;
  char host[128];
  int port = 0;
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    proxy = c->proxy;
    std::memcpy(host, c->host, sizeof host);
    port = c->port;
  }
  TunnelContext context;
  context.running = &c->running;
  context.connectTimeoutMs = t.connectTimeoutMs;
  context.handshakeTimeoutMs = t.handshakeTimeoutMs;
  context.stepMs = t.handshakeStepMs;
  context.connectReplyLimit = 4096;
  SOCKET s = INVALID_SOCKET;
  int result = OpenTunnel(proxy, host, port, context, &s);
  if (result != kTunnelOk) {
    if (c->running) ReportState(c, result);
    FreeConnection(c, INVALID_SOCKET);
    return;
  }
  SetNonBlocking(s, true);
  SocketWaiter waiter(s);
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    if (c->running) {
      c->socket = s;
      c->waiter = &waiter;
    }
  }
  if (!c->running) {
    FreeConnection(c, s);
    return;
  }
  ReportState(c, kConnectionUp);
  c->keepAlive = false;
  ULONGLONG keepAliveTime = GetTickCount64();
  bool failed = false;
  while (c->running) {
    int events = waiter.Wait(t.frameWaitStepMs, QueueNotEmpty(c));
    if (c->keepAlive && GetTickCount64() - keepAliveTime >= t.keepAliveMs) {
      SendFrame(c->id, nullptr, 0);
      keepAliveTime = GetTickCount64();
    }
    if (events < 0) break;
    if (!c->running) break;
    bool closed = (events & kWaitClosed) != 0;
    if (events & (kWaitReadable | kWaitClosed)) {
      // One frame per wake-up; after the peer closed, every frame it left.
      FrameStep step;
      do {
        step = ReadFrameStep(c, s, &waiter, t);
      } while (step == kFrameDone && closed && c->running);
      if (step == kFrameTooLarge) {
        failed = true;
        break;
      }
      if (step == kFramePeerGone) closed = true;
    } else if (events & kWaitWritable) {
      FlushQueue(c, s);
    }
    if (closed) c->running = false;
  }
  ReportState(c, failed ? kConnectionFailed : kConnectionClosed);
  FreeConnection(c, s);
}

}  // namespace

int CreateConnection() {
  Registry& r = TheRegistry();
  std::lock_guard<CriticalSection> guard(r.lock);
  FrameConnection* c = new FrameConnection;
  c->id = ++r.lastId;
  r.nodes.emplace_back(c->id, c);
  return c->id;
}

void SetConnectionCallbacks(int id, ConnectionStateCallback callback, void* user) {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  FrameConnection* c = Find(id);
  if (c == nullptr) return;
  c->stateCallback = callback;
  c->stateUser = user;
}

void SetConnectionDataCallback(int id, FrameDataCallback callback, void* user) {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  FrameConnection* c = Find(id);
  if (c == nullptr) return;
  c->dataCallback = callback;
  c->dataUser = user;
}

void SetConnectionHost(int id, const char* host, int port) {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  FrameConnection* c = Find(id);
  if (c == nullptr) return;
  std::memset(c->host, 0, sizeof c->host);
  if (host != nullptr) std::strncpy(c->host, host, sizeof c->host - 1);
  c->port = port;
}

void SetConnectionProxy(int id, const char* proxySetting) {
  ProxyFields fields;
  ParseProxySetting(proxySetting, &fields);
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  FrameConnection* c = Find(id);
  if (c == nullptr) return;
  c->proxy = fields;
}

void SetConnectionKeepAlive(int id, int on) {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  FrameConnection* c = Find(id);
  if (c == nullptr) return;
  c->keepAlive = on != 0;
}

void StartConnection(int id) {
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    FrameConnection* c = Find(id);
    if (c == nullptr || c->started) return;
    c->started = true;
    c->running = true;
    bool ok = !TransportThreadStartFails() && StartThread([c] { ConnectionThread(c); });
    if (ok) {
      c->threadAlive = true;
      return;
    }
    c->running = false;
  }
  OutputDebugStringA("StartConnection: thread not started\n");
  ReportStateById(id, kConnectionNoThread);
}

void SendFrame(int id, const char* payload, int length) {
  const size_t n = length > 0 && payload != nullptr ? static_cast<size_t>(length) : 0;
  std::vector<char> bytes(n + kFrameHeader, 0);
  if (n > 0) {
    bytes[0] = static_cast<char>((n >> 24) & 0xFF);
    bytes[1] = static_cast<char>((n >> 16) & 0xFF);
    bytes[2] = static_cast<char>((n >> 8) & 0xFF);
    bytes[3] = static_cast<char>(n & 0xFF);
    bytes[4] = 1;
    std::memcpy(bytes.data() + kFrameHeader, payload, n);
  }
  bool failed = false;
  {
    // The registry lock only finds the record; the send and the copy into
    // the queue run under the send-queue lock alone, taken before the
    // registry lock is let go. The record's thread takes that lock once more
    // before it closes the socket and frees the record.
    std::unique_lock<CriticalSection> registryGuard(TheRegistry().lock);
    FrameConnection* c = Find(id);
    if (c == nullptr) return;
    std::lock_guard<CriticalSection> sendGuard(c->sendLock);
    const SOCKET socket = c->socket;
    SocketWaiter* const waiter = c->waiter;
    registryGuard.unlock();
    if (socket == INVALID_SOCKET) {
      failed = true;
    } else if (c->queueWaiting > 0) {
      // Bytes already wait: the new frame goes behind them, whole.
      failed = !QueueFrameBytes(c, bytes.data(), bytes.size());
    } else {
      size_t sent = 0;
      SendOutcome outcome = SendAsMuch(socket, bytes.data(), bytes.size(), &sent);
      if (outcome == kSentPart) {
        failed = !QueueFrameBytes(c, bytes.data() + sent, bytes.size() - sent);
        // The thread waits without asking for "writable"; wake it to ask.
        if (!failed && waiter != nullptr) waiter->Wake();
      }
      if (outcome == kSendError) failed = true;
    }
  }
  if (failed) ReportStateById(id, kConnectionFailed);
}

void CloseConnection(int id) {
  std::shared_ptr<CallbackGate> gate;
  FrameConnection* orphan = nullptr;
  {
    Registry& r = TheRegistry();
    std::lock_guard<CriticalSection> guard(r.lock);
    FrameConnection* c = Find(id);
    if (c == nullptr) return;
    c->keepAlive = false;
    c->running = false;
    c->socket = INVALID_SOCKET;  // the thread closes its own socket
    c->stateCallback = nullptr;
    c->dataCallback = nullptr;
    gate = c->gate;
    gate->Close();
    if (c->waiter != nullptr) c->waiter->Wake();
    if (!c->threadAlive) {
      // No thread will ever free it (never started, or it could not start).
      for (auto it = r.nodes.begin(); it != r.nodes.end(); ++it) {
        if (it->second == c) {
          r.nodes.erase(it);
          break;
        }
      }
      orphan = c;
    }
  }
  gate->WaitForOthers();
  if (orphan != nullptr) {
    { std::lock_guard<CriticalSection> sendGuard(orphan->sendLock); }  // as in FreeConnection
    DeleteRecord(orphan);
  }
}

bool GetConnectionQueueForTesting(int id, size_t* waiting, size_t* capacity) {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  FrameConnection* c = Find(id);
  if (c == nullptr) return false;
  std::lock_guard<CriticalSection> sendGuard(c->sendLock);
  *waiting = c->queueWaiting;
  *capacity = c->queueCapacity;
  return true;
}

int CountConnectionsForTesting() {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  return static_cast<int>(TheRegistry().nodes.size());
}
