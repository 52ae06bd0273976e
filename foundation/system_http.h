// HTTP requests through the system HTTP stack (libcurl here): "http://" and
// "https://" addresses, the reply's status code checked, no progress
// reports. Shares the request record, registry, callback contract, abandon
// and time-out of http_request.h; the time-out is
// TransportTimings::systemHttpTimeoutMs (45 s).
#pragma once

#include <string>

#include "foundation/http_request.h"
#include "foundation/proxy_setting.h"

// Starts a GET (bodyLength <= 0, sent as HTTP/1.0) or POST of body with the
// user agent "ZoRava", the extra header line (null or empty: none) and
// "Content-Type: application/x-www-form-urlencoded", through the proxy of
// proxySetting (null or empty: direct, ignoring the environment's proxies).
// Certificates are not checked. Only status 200 completes; the body is
// handed over as received (no content decoding). Returns the id; when the
// thread cannot start, status 1 is reported on the caller's thread first.
int StartWinInetRequest(const char* address, const char* extraHeader, const char* body, int bodyLength,
                        const char* proxySetting, HttpReplyCallback callback, void* user);

// How a ProxySetting reaches the stack.
struct SystemProxyPlan {
  std::string proxyList;  // the system stack's proxy list ("SOCKS=h:p", ...); empty: direct
  std::string curlProxy;  // the same proxy as libcurl takes it ("socks4://h:p", ...); empty: direct
  std::string user;       // proxy user name and password; empty: none
  std::string password;
};

// Maps the parsed proxy and the request address to the proxy list: type 0
// "SOCKS=%s:%d", 1 "SOCKS5=%s:%d", 2 "HTTPS=HTTP://%s:%d" when the address
// begins with "https", else "HTTP=HTTP://%s:%d". Direct (type -1) and
// unknown types give an empty plan.
SystemProxyPlan PlanSystemProxy(const ProxyFields& proxy, const char* address);

// The accept types sent with every request, in order.
extern const char* const kSystemAcceptTypes[8];
