// Synchronous downloads through the system HTTP stack (libcurl): the login's
// update check fetches the server's update.ini with it, the updater its
// files.
//
// One GET on the calling thread. The proxy is the system's pre-configured
// one (the environment's http_proxy, https_proxy and no_proxy, as libcurl
// reads them); the program's own proxy keys are not used. Redirections are
// not followed (a 3xx reply is reported with its status). The body is
// handed to a sink as it arrives, whatever the status; callers decide what
// a status other than 200 means. Certificates are not checked, as for every
// request of the system stack.
//
// No shared state besides libcurl's one-time initialisation: any number of
// threads may download at once.
#pragma once

#include <cstddef>
#include <string>

struct HttpDownloadSettings {
  long connectTimeoutMs = 10000;  // TCP (and TLS) connection
  long receiveTimeoutMs = 10000;  // longest time without a received byte once connected
};

// Called with each piece of the body in order; false stops the download
// (kHttpDownloadCancelled).
typedef bool (*HttpDownloadSink)(void* user, const char* data, size_t size);
// Called while the transfer runs (received bytes, Content-Length or -1 when
// unknown); false cancels the download (kHttpDownloadCancelled).
typedef bool (*HttpDownloadProgress)(void* user, long long received, long long total);

enum HttpDownloadResult {
  kHttpDownloadDone = 0,       // a whole reply arrived (any status; see statusCode)
  kHttpDownloadFailed = 1,     // no connection, broken reply, bad address
  kHttpDownloadTimedOut = 2,   // the connection or a wait for data took too long
  kHttpDownloadCancelled = 3,  // the sink or the progress function stopped it
  kHttpDownloadFileError = 4,  // DownloadUrlToFile: the file could not be written
};

struct HttpDownloadInfo {
  long statusCode = 0;          // the reply's status; 0 when none arrived
  long long contentLength = -1;  // the reply's Content-Length; -1 when none
  long long received = 0;       // body bytes handed to the sink
};

// Initialises the HTTP stack once; false when it cannot be (no download
// can then succeed).
bool HttpDownloadsReady();

// Downloads address (http:// or https://). info (optional) is filled in
// every case with what is known. progress may be null.
HttpDownloadResult DownloadUrl(const std::string& address, const HttpDownloadSettings& settings,
                               HttpDownloadSink sink, void* sinkUser, HttpDownloadProgress progress,
                               void* progressUser, HttpDownloadInfo* info);

// The same into the file at path (UTF-8, '\' accepted), created or
// truncated; the file holds the body bytes as received. On any result but
// kHttpDownloadDone the file may hold part of a body; on
// kHttpDownloadFileError it could not be created or written.
HttpDownloadResult DownloadUrlToFile(const std::string& address, const std::string& path,
                                     const HttpDownloadSettings& settings, HttpDownloadProgress progress,
                                     void* progressUser, HttpDownloadInfo* info);
