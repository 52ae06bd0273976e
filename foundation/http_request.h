// Asynchronous HTTP requests: the request record, the registry of live
// requests by id, the reply callback contract, the time-out and abandon
// rules, and the program's own HTTP/1.1 client over sockets.
//
// A request runs on a thread of its own with a one-shot time-out timer
// (TransportTimings::httpTimeoutMs, 15 s) that carries its id. Exactly one
// final report (0 completed, 1 failed, 2 timed out) reaches the callback
// unless the caller abandons the request first; progress reports (4) come
// only before it. The worker frees the record when it ends.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "foundation/proxy_setting.h"
#include "foundation/http_reply.h"
#include "platform/kernel/kernel_socket.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/kernel_timer_queue.h"

enum HttpRequestStatus {
  kHttpCompleted = 0,  // body: the reply body followed by zero bytes; length: its bytes
  kHttpFailed = 1,     // body: null, or what arrived (partial or non-2xx reply); length 0 or its bytes
  kHttpTimedOut = 2,   // body null, length 0
  kHttpProgress = 4,   // body null, length: percentage 5, 10, 15, 20, then 20 to 100
};

struct HttpRequest;

// request: the record (read its id and address); body belongs to the
// request and is valid only during the call.
typedef void (*HttpReplyCallback)(HttpRequest* request, void* user, const char* body, int length, int status);

class CallbackGate;


// One request. Callers read address and id; the rest belongs to the worker
// and the registry (registry lock: gate state, waiter).
struct HttpRequest {
  char* address = nullptr;       // the caller's address, own copy (UTF-8)
  char host[256] = {};           // from the address, at most 255 bytes
  int port = 80;
  char extraHeader[512] = {};    // sent unchanged, at most 511 bytes
  char contentType[128] = {};    // empty: application/x-www-form-urlencoded
  int id = 0;
  SOCKET socket = INVALID_SOCKET;  // worker only
  std::atomic<bool> running{false};  // the worker's "go on" flag
  HttpReplyCallback callback = nullptr;
  void* user = nullptr;
  CriticalSection requestLock;   // guards the request bytes
  char* requestBytes = nullptr;  // header text then body, one zero byte after
  size_t requestSize = 0;
  size_t remaining = 0;          // bytes still to send, at the front of requestBytes
  ReplyBody reply;               // body bytes received
  long long contentLength = 0;   // 0: not given
  bool headerComplete = false;
  char replyHeader[1024] = {};   // the reply's header block as received
  size_t replyHeaderLength = 0;
  ProxyFields proxy;
  std::shared_ptr<CallbackGate> gate;  // open while alive
  SocketWaiter* waiter = nullptr;      // the worker's waiter while it waits (registry lock)
  TimerHandle timer = 0;               // time-out timer
  DWORD timeoutMs = 15000;
  bool useSystemStack = false;
};

// Starts a GET (bodyLength <= 0) or POST of body to an "http://host[:port]/path"
// address, through the proxy of proxySetting (null or empty: direct). Returns
// the new id (> 0). When the thread cannot start, status 1 is reported on the
// caller's thread before the return.
int StartHttpRequest(const char* address, const char* body, int bodyLength, const char* proxySetting,
                     HttpReplyCallback callback, void* user);
// The same with an extra header line (sent after Content-Type, before
// Connection; null or empty: none) and a content type (null or empty: the
// default).
int StartHttpRequestEx(const char* address, const char* extraHeader, const char* contentType, const char* body,
                       int bodyLength, const char* proxySetting, HttpReplyCallback callback, void* user);
// Stops reporting: no callback of the request begins after this returns, and
// callbacks running on other threads have returned. The worker ends and
// frees the request by itself. Unknown ids do nothing. Do not call it while
// holding a lock that the request's callback takes.
void AbandonHttpRequest(int id);

// Splits "http://host[:port]/path" into host (at most hostSize - 1 bytes) and
// port (80 when none is given).
void ParseHttpUrl(const char* address, char* host, size_t hostSize, int* port);
// The request bytes of the socket client: request line, headers, empty line
// and body, exactly as sent.
std::string BuildHttpRequestText(const char* address, const char* host, int port, const char* extraHeader,
                                 const char* contentType, const char* body, int bodyLength);

// Tests: number of registered requests.
int CountHttpRequestsForTesting();
