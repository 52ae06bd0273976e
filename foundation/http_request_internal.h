// The request registry and report helpers shared by the two request paths
// (own socket client and system HTTP stack).
#pragma once

#include <functional>

#include "foundation/http_request.h"

// Allocates a record: alive, address copied, proxy parsed, callback stored.
HttpRequest* NewHttpRequest(const char* address, const char* proxySetting, HttpReplyCallback callback,
                            void* user);
// Registers the record under the next id, starts its time-out timer and then
// its worker thread. When the thread cannot start, reports status 1 on the
// calling thread and frees the record. Returns the id.
int LaunchHttpRequest(HttpRequest* request, DWORD timeoutMs, std::function<void(HttpRequest*)> worker);
// True while the request is alive (not abandoned, not timed out) and running.
bool HttpRequestWanted(HttpRequest* request);
// Progress report while alive.
void ReportHttpProgress(HttpRequest* request, int percent);
// The final report: deletes the timer (waiting for a running time-out) and,
// while alive, calls the callback once.
void FinishHttpRequest(HttpRequest* request, const char* body, int length, int status);
// Publishes (or with null withdraws) the worker's socket waiter, so abandon
// and time-out wake the worker.
void SetHttpRequestWaiter(HttpRequest* request, SocketWaiter* waiter);
// Unregisters and frees the record (worker's last step).
void EndHttpRequest(HttpRequest* request);
