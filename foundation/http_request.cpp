// Request lifecycle: registered and alive from LaunchHttpRequest until its
// worker ends (unregistered and freed by the worker). The alive flag is the
// request's CallbackGate: AbandonHttpRequest closes it, the time-out and the
// worker's final report close it in the same step as they enter it, so only
// one of them reports. The worker deletes the timer (waiting for a running
// time-out routine) before it frees the record, so the time-out never uses a
// freed request.
//
// Socket worker: connect (direct or through the proxy) -> send the request
// bytes when writable -> read the header byte by byte -> read the body ->
// final report. Locks: the registry lock guards the list, the gates'
// opening and the waiter pointers; the request lock guards the request
// bytes. No callback runs with either held.
#include "foundation/http_request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/callback_gate.h"
#include "foundation/http_request_internal.h"
#include "foundation/proxy_handshake.h"
#include "foundation/transport_timing.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_thread.h"

namespace {

struct HttpRegistry {
  CriticalSection lock;
  std::vector<std::pair<int, HttpRequest*>> nodes;  // in start order
  int lastId = 0;
};

HttpRegistry& TheRegistry() {
  static HttpRegistry* registry = new HttpRegistry;  // lives for the whole process
  return *registry;
}

HttpRequest* FindRequest(int id) {
  for (auto& node : TheRegistry().nodes) {
    if (node.first == id) return node.second;
  }
  return nullptr;
}

void CopyText(char* out, size_t size, const char* text) {
  std::memset(out, 0, size);
  if (text != nullptr) std::strncpy(out, text, size - 1);
}

void FreeRecord(HttpRequest* r) {
  std::free(r->address);
  std::free(r->requestBytes);
  FreeReplyBody(&r->reply);
  delete r;
}

void HttpTimeout(int id) {
  HttpRequest* r = nullptr;
  std::shared_ptr<CallbackGate> gate;
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    r = FindRequest(id);
    if (r == nullptr) return;
    gate = r->gate;
    if (!gate->EnterFinal()) return;
    // The worker ends within one wait step, also inside a proxy handshake.
    r->running = false;
    if (r->waiter != nullptr) r->waiter->Wake();
  }
  OutputDebugStringA("HttpTimeout: request timed out\n");
  if (r->callback != nullptr) r->callback(r, r->user, nullptr, 0, kHttpTimedOut);
  gate->Leave();
}

// ---- socket worker -------------------------------------------------------

enum ReadEnd { kReadOpen, kReadPeerGone };

// Reads the header one byte at a time into replyHeader, continuing where the
// last call stopped, until the empty line. Returns false when the header
// does not fit the 1,024-byte area.
bool ReadHttpHeader(HttpRequest* r, ReadEnd* end) {
  while (!r->headerComplete) {
    if (r->replyHeaderLength >= sizeof r->replyHeader - 1) return false;
    char c;
    int got = RecvSome(r->socket, &c, 1);
    if (got == kIoWouldBlock) return true;
    if (got <= 0) {
      *end = kReadPeerGone;
      return true;
    }
    r->replyHeader[r->replyHeaderLength++] = c;
    size_t n = r->replyHeaderLength;
    if (n >= 4 && std::memcmp(r->replyHeader + n - 4, "\r\n\r\n", 4) == 0) r->headerComplete = true;
  }
  return true;
}

struct BodyState {
  HttpReplyHead head;
  ChunkedDecoder chunked;
  bool chunkedDone = false;
  bool failed = false;  // body over the cap or malformed coding
};

// Receives body bytes until count raw bytes are in, the body is complete,
// the peer has gone, or httpMissLimit empty receives came in a row.
void ReceiveHttpBody(HttpRequest* r, BodyState* b, SocketWaiter* waiter, size_t count, const TransportTimings& t,
                     ReadEnd* end) {
  char piece[16384];
  size_t got = 0;
  int misses = 0;
  while (got < count && HttpRequestWanted(r) && !b->chunkedDone && !b->failed) {
    size_t want = count - got < sizeof piece ? count - got : sizeof piece;
    int n = RecvSome(r->socket, piece, static_cast<int>(want));
    if (n > 0) {
      got += static_cast<size_t>(n);
      misses = 0;
      if (b->head.chunked) {
        size_t used = 0;
        int result = FeedChunked(&b->chunked, piece, static_cast<size_t>(n), &r->reply, &used);
        if (result == kChunkedError) b->failed = true;
        if (result == kChunkedDone) b->chunkedDone = true;
      } else if (!AppendReplyBody(&r->reply, piece, static_cast<size_t>(n))) {
        b->failed = true;
      }
      ReportHttpProgress(r, static_cast<int>(static_cast<unsigned long long>(n) * 80 / count + 20));
      continue;
    }
    if (n == 0 || n == kIoError) {
      *end = kReadPeerGone;
      return;
    }
    if (++misses >= t.httpMissLimit) return;
    waiter->Wait(t.httpMissPauseMs, false);
  }
}

// Sends what the socket takes of the request bytes; false on a send error.
bool SendRequestBytes(HttpRequest* r) {
  std::lock_guard<CriticalSection> guard(r->requestLock);
  size_t offset = r->requestSize - r->remaining;
  while (r->remaining > 0) {
    int n = SendSome(r->socket, r->requestBytes + offset, static_cast<int>(r->remaining));
    if (n == kIoWouldBlock) return true;
    if (n <= 0) {
      r->remaining = 0;
      return false;
    }
    offset += static_cast<size_t>(n);
    r->remaining -= static_cast<size_t>(n);
  }
  return true;
}

// Decides the outcome once the exchange has stopped.
int Outcome(HttpRequest* r, const BodyState& b, bool peerClosed) {
  if (!r->headerComplete || b.failed) return kHttpFailed;
  int outcome = kHttpFailed;
  if (b.head.chunked) {
    outcome = b.chunkedDone ? kHttpCompleted : kHttpFailed;
  } else if (r->contentLength > 0) {
    outcome = static_cast<long long>(r->reply.length) >= r->contentLength ? kHttpCompleted : kHttpFailed;
  } else if (peerClosed) {
    outcome = r->reply.length > 0 ? kHttpCompleted : kHttpFailed;
  }
  // Error pages are not results: only a 2xx reply completes.
  if (outcome == kHttpCompleted && (b.head.status < 200 || b.head.status > 299)) outcome = kHttpFailed;
  return outcome;
}

void SocketHttpWorker(HttpRequest* r) {
  const TransportTimings t = GetTransportTimings();
  ReportHttpProgress(r, 5);
  TunnelContext context;
  context.running = &r->running;
  context.connectTimeoutMs = t.connectTimeoutMs;
  context.handshakeTimeoutMs = t.handshakeTimeoutMs;
  context.stepMs = t.handshakeStepMs;
  context.connectReplyLimit = sizeof r->replyHeader;
  SOCKET s = INVALID_SOCKET;
  if (OpenTunnel(r->proxy, r->host, r->port, context, &s) != kTunnelOk) {
    FinishHttpRequest(r, nullptr, 0, kHttpFailed);
    EndHttpRequest(r);
    return;
  }
  r->socket = s;
  ReportHttpProgress(r, 10);
  SetNonBlocking(s, true);
  BodyState b;
  bool peerClosed = false;
  bool broken = false;  // wait or send failed, or the header overflowed
  {
    SocketWaiter waiter(s);
    SetHttpRequestWaiter(r, &waiter);
    while (HttpRequestWanted(r)) {
      bool wantWrite;
      {
        std::lock_guard<CriticalSection> guard(r->requestLock);
        wantWrite = r->remaining > 0;
      }
      int events = waiter.Wait(t.httpWaitStepMs, wantWrite);
      if (events < 0) {
        broken = true;
        break;
      }
      if (events == 0 || !HttpRequestWanted(r)) continue;
      ReadEnd end = kReadOpen;
      // A peer that has closed can still have bytes queued for us: the read
      // below may stop at the buffer's room before it reaches them.
      bool bodyLeft = false;
      if (events & (kWaitReadable | kWaitClosed)) {
        if (!r->headerComplete) {
          if (!ReadHttpHeader(r, &end)) {
            OutputDebugStringA("SocketHttpWorker: reply header too long\n");
            broken = true;
            break;
          }
          ReportHttpProgress(r, 20);
          if (r->headerComplete) {
            ParseHttpReplyHead(r->replyHeader, r->replyHeaderLength, &b.head);
            r->contentLength = b.head.contentLength;
            size_t capacity = r->contentLength > 0 ? static_cast<size_t>(r->contentLength) : kDefaultHttpBody;
            if (b.head.lengthInvalid || !ReserveReplyBody(&r->reply, capacity)) {
              OutputDebugStringA("SocketHttpWorker: unacceptable content length\n");
              broken = true;
              break;
            }
          }
        }
        if (r->headerComplete && end == kReadOpen) {
          size_t wanted = r->contentLength > 0 ? static_cast<size_t>(r->contentLength) : r->reply.capacity;
          if (b.head.chunked || wanted <= r->reply.length) wanted = r->reply.length + kDefaultHttpBody;
          ReceiveHttpBody(r, &b, &waiter, wanted - r->reply.length, t, &end);
          bodyLeft = end == kReadOpen;
          if (b.failed) {
            broken = true;
            break;
          }
          if (b.chunkedDone || (r->contentLength > 0 && static_cast<long long>(r->reply.length) >= r->contentLength)) {
            r->running = false;
            break;
          }
        }
      }
      if ((events & kWaitWritable) && !SendRequestBytes(r)) {
        broken = true;
        break;
      }
      if (events & kWaitWritable) ReportHttpProgress(r, 15);
      if (end == kReadPeerGone || ((events & kWaitClosed) && !bodyLeft)) {
        peerClosed = true;
        r->running = false;
      }
    }
    SetHttpRequestWaiter(r, nullptr);
  }
  CloseSocket(s);
  r->socket = INVALID_SOCKET;
  int outcome = broken ? kHttpFailed : Outcome(r, b, peerClosed);
  bool hasBody = r->reply.length > 0 && r->reply.data != nullptr;
  FinishHttpRequest(r, hasBody ? r->reply.data : nullptr, static_cast<int>(r->reply.length), outcome);
  EndHttpRequest(r);
}

int StartSocketRequest(const char* address, const char* extraHeader, const char* contentType, const char* body,
                       int bodyLength, const char* proxySetting, HttpReplyCallback callback, void* user) {
  HttpRequest* r = NewHttpRequest(address, proxySetting, callback, user);
  ParseHttpUrl(r->address, r->host, sizeof r->host, &r->port);
  CopyText(r->extraHeader, sizeof r->extraHeader, extraHeader);
  CopyText(r->contentType, sizeof r->contentType, contentType);
  std::string text = BuildHttpRequestText(r->address, r->host, r->port, r->extraHeader, r->contentType, body,
                                          bodyLength);
  {
    std::lock_guard<CriticalSection> guard(r->requestLock);
    r->requestBytes = static_cast<char*>(std::calloc(text.size() + 1, 1));
    if (r->requestBytes != nullptr) {
      std::memcpy(r->requestBytes, text.data(), text.size());
      r->requestSize = text.size();
      r->remaining = text.size();
    }
  }
  return LaunchHttpRequest(r, GetTransportTimings().httpTimeoutMs, SocketHttpWorker);
}

}  // namespace

// ---- shared registry and reports ------------------------------------------

HttpRequest* NewHttpRequest(const char* address, const char* proxySetting, HttpReplyCallback callback,
                            void* user) {
  HttpRequest* r = new HttpRequest;
  r->address = strdup(address != nullptr ? address : "");
  r->callback = callback;
  r->user = user;
  r->gate = std::make_shared<CallbackGate>();
  ParseProxySetting(proxySetting, &r->proxy);
  return r;
}

int LaunchHttpRequest(HttpRequest* r, DWORD timeoutMs, std::function<void(HttpRequest*)> worker) {
  int id = 0;
  {
    HttpRegistry& registry = TheRegistry();
    std::lock_guard<CriticalSection> guard(registry.lock);
    id = ++registry.lastId;
    r->id = id;
    r->timeoutMs = timeoutMs;
    r->running = true;
    registry.nodes.emplace_back(id, r);
    // The timer exists before the worker, so no path stores into a freed record.
    r->timer = ScheduleTimer(timeoutMs, [id] { HttpTimeout(id); });
  }
  bool started = !TransportThreadStartFails() && StartThread([r, worker] { worker(r); });
  if (!started) {
    OutputDebugStringA("StartHttpRequest: worker thread not started\n");
    r->running = false;
    FinishHttpRequest(r, nullptr, 0, kHttpFailed);
    EndHttpRequest(r);
  }
  return id;
}

bool HttpRequestWanted(HttpRequest* r) { return r->running && r->gate->IsOpen(); }

void ReportHttpProgress(HttpRequest* r, int percent) {
  if (r->callback == nullptr || !r->gate->Enter()) return;
  r->callback(r, r->user, nullptr, percent, kHttpProgress);
  r->gate->Leave();
}

void FinishHttpRequest(HttpRequest* r, const char* body, int length, int status) {
  CancelTimerAndWait(r->timer);
  r->timer = 0;
  if (!r->gate->EnterFinal()) return;
  if (r->callback != nullptr) r->callback(r, r->user, body, body != nullptr ? length : 0, status);
  r->gate->Leave();
}

void SetHttpRequestWaiter(HttpRequest* r, SocketWaiter* waiter) {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  r->waiter = waiter;
  if (waiter != nullptr && !r->gate->IsOpen()) waiter->Wake();
}

void EndHttpRequest(HttpRequest* r) {
  {
    HttpRegistry& registry = TheRegistry();
    std::lock_guard<CriticalSection> guard(registry.lock);
    for (auto it = registry.nodes.begin(); it != registry.nodes.end(); ++it) {
      if (it->second == r) {
        registry.nodes.erase(it);
        break;
      }
    }
  }
  FreeRecord(r);
}

// ---- public operations --------------------------------------------------

int StartHttpRequest(const char* address, const char* body, int bodyLength, const char* proxySetting,
                     HttpReplyCallback callback, void* user) {
  return StartSocketRequest(address, nullptr, nullptr, body, bodyLength, proxySetting, callback, user);
}

int StartHttpRequestEx(const char* address, const char* extraHeader, const char* contentType, const char* body,
                       int bodyLength, const char* proxySetting, HttpReplyCallback callback, void* user) {
  return StartSocketRequest(address, extraHeader, contentType, body, bodyLength, proxySetting, callback, user);
}

void AbandonHttpRequest(int id) {
  std::shared_ptr<CallbackGate> gate;
  {
    std::lock_guard<CriticalSection> guard(TheRegistry().lock);
    HttpRequest* r = FindRequest(id);
    if (r == nullptr) return;
    gate = r->gate;
    gate->Close();
    r->running = false;  // as after a time-out
    if (r->waiter != nullptr) r->waiter->Wake();
  }
  gate->WaitForOthers();
}

void ParseHttpUrl(const char* address, char* host, size_t hostSize, int* port) {
  *port = 80;
  std::memset(host, 0, hostSize);
  if (address == nullptr) return;
  const char* p = address;
  if (std::strncmp(p, "http://", 7) == 0) p += 7;
  const char* slash = std::strchr(p, '/');
  size_t partLength = slash != nullptr ? static_cast<size_t>(slash - p) : std::strlen(p);
  std::string part(p, partLength);
  size_t colon = part.find(':');
  std::string name = part.substr(0, colon);
  if (colon != std::string::npos) *port = std::atoi(part.c_str() + colon + 1);
  std::strncpy(host, name.c_str(), hostSize - 1);
}

std::string BuildHttpRequestText(const char* address, const char* host, int port, const char* extraHeader,
                                 const char* contentType, const char* body, int bodyLength) {
  const bool post = bodyLength > 0 && body != nullptr;
  std::string text = post ? "POST " : "GET ";
  const char* rest = address != nullptr ? address : "";
  if (std::strncmp(rest, "http://", 7) == 0) rest += 7;
  const char* path = std::strchr(rest, '/');
  text += path != nullptr ? path : "/";
  text += " HTTP/1.1\r\n";
  text += "Host: " + std::string(host) + ":" + std::to_string(port) + "\r\n";
  text += "Content-Length: " + std::to_string(post ? bodyLength : 0) + "\r\n";
  text += "Accept: */*\r\n";
  text += "Accept-Encoding: gzip, deflate\r\n";
  if (post) {
    const bool given = contentType != nullptr && contentType[0] != '\0';
    text += "Content-Type: " + std::string(given ? contentType : "application/x-www-form-urlencoded") + "\r\n";
  }
  if (extraHeader != nullptr && extraHeader[0] != '\0') text += std::string(extraHeader) + "\r\n";
  text += "Connection: close\r\n\r\n";
  if (post) text.append(body, static_cast<size_t>(bodyLength));
  return text;
}

int CountHttpRequestsForTesting() {
  std::lock_guard<CriticalSection> guard(TheRegistry().lock);
  return static_cast<int>(TheRegistry().nodes.size());
}
