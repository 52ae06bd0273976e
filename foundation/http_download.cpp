// The download runs libcurl's easy interface on the caller's thread. The
// receive time-out is kept by the progress function: libcurl calls it at
// least once a second, and it ends the transfer when no byte has arrived
// for longer than the setting.
#include "foundation/http_download.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <mutex>

#include "platform/kernel/kernel_files.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Transfer {
  HttpDownloadSink sink;
  void* sinkUser;
  HttpDownloadProgress progress;
  void* progressUser;
  long receiveTimeoutMs;
  long long received = 0;
  Clock::time_point lastData = Clock::now();
  bool cancelled = false;
  bool timedOut = false;
};

size_t WritePiece(char* data, size_t size, size_t count, void* context) {
  Transfer* t = static_cast<Transfer*>(context);
  const size_t n = size * count;
  t->lastData = Clock::now();
  if (!t->sink(t->sinkUser, data, n)) {
    t->cancelled = true;
    return 0;
  }
  t->received += static_cast<long long>(n);
  return n;
}

int Progress(void* context, curl_off_t total, curl_off_t, curl_off_t, curl_off_t) {
  Transfer* t = static_cast<Transfer*>(context);
  if (t->progress && !t->progress(t->progressUser, t->received, total > 0 ? static_cast<long long>(total) : -1)) {
    t->cancelled = true;
    return 1;
  }
  const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t->lastData).count();
  if (t->receiveTimeoutMs > 0 && quiet > t->receiveTimeoutMs) {
    t->timedOut = true;
    return 1;
  }
  return 0;
}

bool InitCurlOnce() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

struct FileSink {
  FILE* file = nullptr;
  bool failed = false;
};

bool WriteToFile(void* user, const char* data, size_t size) {
  FileSink* f = static_cast<FileSink*>(user);
  if (std::fwrite(data, 1, size, f->file) == size) return true;
  f->failed = true;
  return false;
}

}  // namespace

bool HttpDownloadsReady() { return InitCurlOnce(); }

HttpDownloadResult DownloadUrl(const std::string& address, const HttpDownloadSettings& settings,
                               HttpDownloadSink sink, void* sinkUser, HttpDownloadProgress progress,
                               void* progressUser, HttpDownloadInfo* info) {
  HttpDownloadInfo local;
  if (!info) info = &local;
  *info = HttpDownloadInfo();
  if (!sink) return kHttpDownloadFailed;
  InitCurlOnce();
  CURL* curl = curl_easy_init();
  if (!curl) return kHttpDownloadFailed;
  Transfer t{sink, sinkUser, progress, progressUser, settings.receiveTimeoutMs};
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WritePiece);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  t.lastData = Clock::now();
  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t length = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  curl_easy_cleanup(curl);
  info->statusCode = status;
  info->contentLength = length >= 0 ? static_cast<long long>(length) : -1;
  info->received = t.received;
  if (code == CURLE_OK) return kHttpDownloadDone;
  if (t.cancelled) return kHttpDownloadCancelled;
  if (t.timedOut || code == CURLE_OPERATION_TIMEDOUT) return kHttpDownloadTimedOut;
  return kHttpDownloadFailed;
}

HttpDownloadResult DownloadUrlToFile(const std::string& address, const std::string& path,
                                     const HttpDownloadSettings& settings, HttpDownloadProgress progress,
                                     void* progressUser, HttpDownloadInfo* info) {
  if (info) *info = HttpDownloadInfo();
  FileSink f;
  f.file = std::fopen(NativePath(path).c_str(), "wb");
  if (!f.file) return kHttpDownloadFileError;
  HttpDownloadResult result = DownloadUrl(address, settings, WriteToFile, &f, progress, progressUser, info);
  if (std::fclose(f.file) != 0) f.failed = true;
  if (f.failed) return kHttpDownloadFileError;
  return result;
}
