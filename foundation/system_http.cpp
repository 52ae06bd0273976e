// Worker of the system-stack path: one libcurl easy handle per request,
// configured from the record, performed on the request's own thread. The
// transfer is aborted from its progress function as soon as the request is
// abandoned or timed out; the worker then ends without a report.
#include "foundation/system_http.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "foundation/callback_gate.h"
#include "foundation/http_request_internal.h"
#include "foundation/transport_timing.h"
#include "platform/kernel/debug_sink.h"

const char* const kSystemAcceptTypes[8] = {"text/html",  "application/xml;q=0.9", "application/xhtml+xml",
                                           "image/png",  "image/jpeg",            "image/gif",
                                           "image/x-xbitmap", "*/*;q=0.1"};

namespace {

struct SystemRequest {
  std::string body;        // POST body (empty for GET)
  std::string extraHeader;
};

struct Transfer {
  HttpRequest* request;
  bool overflow = false;  // body passed its capacity or kMaxHttpBody
};

size_t WriteBody(char* data, size_t size, size_t count, void* context) {
  Transfer* t = static_cast<Transfer*>(context);
  size_t n = size * count;
  if (!HttpRequestWanted(t->request)) return 0;  // abort: abandoned or timed out
  if (!AppendReplyBody(&t->request->reply, data, n)) {
    t->overflow = true;
    return 0;
  }
  return n;
}

int TransferProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  Transfer* t = static_cast<Transfer*>(context);
  return HttpRequestWanted(t->request) ? 0 : 1;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void SetProxyCredential(CURL* curl, CURLoption option, const std::string& value) {
  if (value.empty()) return;
  CURLcode code = curl_easy_setopt(curl, option, value.c_str());
  if (code != CURLE_OK) {
    char line[64];
    std::snprintf(line, sizeof line, "internetsetoption() failed: %i\n", static_cast<int>(code));
    DebugWrite(DebugChannel::Stdout, line);
  }
}

void SystemHttpWorker(HttpRequest* r, const SystemRequest& s) {
  InitCurlOnce();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    FinishHttpRequest(r, nullptr, 0, kHttpFailed);
    EndHttpRequest(r);
    return;
  }
  Transfer transfer{r};
  const bool post = !s.body.empty();
  const bool https = std::strstr(r->address, "https://") != nullptr;
  curl_easy_setopt(curl, CURLOPT_URL, r->address);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "ZoRava");
  // Bodies go to the caller as they came (callers unpack gzip themselves).
  curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxHttpBody));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(GetTransportTimings().connectTimeoutMs));
  if (https) {
    // The servers' certificates are not checked (unknown authority, wrong
    // name and expiry accepted): the servers rely on it.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  SystemProxyPlan plan = PlanSystemProxy(r->proxy, r->address);
  // An empty proxy text makes the request direct whatever the environment says.
  curl_easy_setopt(curl, CURLOPT_PROXY, plan.curlProxy.c_str());
  if (!plan.curlProxy.empty()) {
    SetProxyCredential(curl, CURLOPT_PROXYUSERNAME, plan.user);
    SetProxyCredential(curl, CURLOPT_PROXYPASSWORD, plan.password);
  }
  std::string accept = "Accept: ";
  for (size_t i = 0; i < 8; ++i) accept += std::string(i ? ", " : "") + kSystemAcceptTypes[i];
  curl_slist* headers = curl_slist_append(nullptr, accept.c_str());
  if (!s.extraHeader.empty()) headers = curl_slist_append(headers, s.extraHeader.c_str());
  headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  if (post) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, s.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(s.body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  }
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, TransferProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

  CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t announced = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);

  if (!HttpRequestWanted(r)) {
    // Abandoned or timed out during the transfer: end without a report.
    FinishHttpRequest(r, nullptr, 0, kHttpFailed);
    EndHttpRequest(r);
    return;
  }
  const char* body = r->reply.length > 0 ? r->reply.data : nullptr;
  int length = static_cast<int>(r->reply.length);
  if (status != 200 || transfer.overflow || code == CURLE_FILESIZE_EXCEEDED) {
    FinishHttpRequest(r, nullptr, 0, kHttpFailed);
  } else if (code == CURLE_PARTIAL_FILE || (announced >= 0 && static_cast<curl_off_t>(r->reply.length) < announced)) {
    // Fewer bytes than announced: failed, with what arrived.
    FinishHttpRequest(r, body, length, kHttpFailed);
  } else if (code != CURLE_OK) {
    FinishHttpRequest(r, nullptr, 0, kHttpFailed);
  } else {
    if (body == nullptr && ReserveReplyBody(&r->reply, 0)) body = r->reply.data;
    FinishHttpRequest(r, body, length, kHttpCompleted);
  }
  EndHttpRequest(r);
}

}  // namespace

SystemProxyPlan PlanSystemProxy(const ProxyFields& proxy, const char* address) {
  SystemProxyPlan plan;
  const std::string host = proxy.address;
  const std::string port = std::to_string(proxy.port);
  switch (proxy.type) {
    case kProxySocks4:
      plan.proxyList = "SOCKS=" + host + ":" + port;
      plan.curlProxy = "socks4://" + host + ":" + port;
      break;
    case kProxySocks5:
      plan.proxyList = "SOCKS5=" + host + ":" + port;
      plan.curlProxy = "socks5://" + host + ":" + port;
      break;
    case kProxyHttpConnect: {
      const bool https = address != nullptr && std::strncmp(address, "https", 5) == 0;
      plan.proxyList = std::string(https ? "HTTPS" : "HTTP") + "=HTTP://" + host + ":" + port;
      plan.curlProxy = "http://" + host + ":" + port;
      break;
    }
    default:
      return plan;
  }
  plan.user = proxy.user;
  plan.password = proxy.password;
  return plan;
}

int StartWinInetRequest(const char* address, const char* extraHeader, const char* body, int bodyLength,
                        const char* proxySetting, HttpReplyCallback callback, void* user) {
  HttpRequest* r = NewHttpRequest(address, proxySetting, callback, user);
  r->useSystemStack = true;
  SystemRequest s;
  if (body != nullptr && bodyLength > 0) s.body.assign(body, static_cast<size_t>(bodyLength));
  if (extraHeader != nullptr) s.extraHeader = extraHeader;
  if (s.extraHeader.size() > 511) s.extraHeader.resize(511);
  std::strncpy(r->extraHeader, s.extraHeader.c_str(), sizeof r->extraHeader - 1);
  return LaunchHttpRequest(r, GetTransportTimings().systemHttpTimeoutMs,
                           [s](HttpRequest* request) { SystemHttpWorker(request, s); });
}
