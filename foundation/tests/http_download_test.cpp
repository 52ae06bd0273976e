// Synchronous downloads against scripted loopback servers: statuses and
// lengths reported, redirections not followed, time-outs, cancelling, the
// environment's proxy, and files that cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "foundation/http_download.h"
#include "http_test_support.h"
#include "platform/kernel/kernel_files.h"

namespace {

using namespace nettest;

const char* const kProxyNames[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ALL_PROXY",
                                   "all_proxy",  "no_proxy",   "NO_PROXY"};

class HttpDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : kProxyNames) unsetenv(n);
    path_ = std::filesystem::temp_directory_path().string() + "/orv_download_" + std::to_string(::getpid()) + ".ini";
  }
  void TearDown() override {
    for (const char* n : kProxyNames) unsetenv(n);
    std::filesystem::remove(path_);
  }
  std::string File() const {
    std::string out;
    ReadWholeFile(path_, &out);
    return out;
  }
  std::string path_;
};

TEST_F(HttpDownload, RepliesAreReportedWithStatusAndLength) {
  struct Case {
    const char* name;
    std::vector<std::string> reply;
    long status;
    long long length;
    std::string body;
  } cases[] = {
      {"200 with length", {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n[Tamsel]\n"}, 200, 9, "[Tamsel]\n"},
      {"200 until close", {"HTTP/1.0 200 OK\r\n\r\nabc", "def"}, 200, -1, "abcdef"},
      {"404", {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnone"}, 404, 4, "none"},
      {"redirect not followed",
       {"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/x\r\nContent-Length: 0\r\n\r\n"}, 302, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string request;
    HttpDownloadInfo info;
    info.statusCode = -7;
    HttpDownloadResult result;
    {
      Server server(Reply(c.reply, 20, &request));
      result = DownloadUrlToFile(Url(server.port(), "/update/update.ini"), path_, HttpDownloadSettings(), nullptr,
                                 nullptr, &info);
    }
    EXPECT_EQ(result, kHttpDownloadDone);
    EXPECT_EQ(info.statusCode, c.status);
    EXPECT_EQ(info.contentLength, c.length);
    EXPECT_EQ(info.received, static_cast<long long>(c.body.size()));
    EXPECT_EQ(File(), c.body);
    EXPECT_EQ(request.substr(0, 26), "GET /update/update.ini HTT");
  }
}

TEST_F(HttpDownload, SilentServerTimesOutAndRefusedPortFails) {
  HttpDownloadSettings settings;
  settings.receiveTimeoutMs = 300;
  HttpDownloadInfo info;
  const long long start = NowMs();
  {
    Server server([](int fd) {
      ReadHttpRequest(fd);
      PeerClosed(fd, 20000);
    });
    EXPECT_EQ(DownloadUrlToFile(Url(server.port()), path_, settings, nullptr, nullptr, &info), kHttpDownloadTimedOut);
  }
  EXPECT_LT(NowMs() - start, 15000) << "ended by the receive time-out";
  EXPECT_EQ(info.statusCode, 0);
  // Half a reply, then silence.
  {
    Server hold([](int fd) {
      ReadHttpRequest(fd);
      SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart");
      PeerClosed(fd, 20000);
    });
    EXPECT_EQ(DownloadUrlToFile(Url(hold.port()), path_, settings, nullptr, nullptr, &info), kHttpDownloadTimedOut);
    EXPECT_EQ(info.statusCode, 200);
    EXPECT_EQ(info.received, 4);
  }
  const int closed = FreePort();
  EXPECT_EQ(DownloadUrlToFile(Url(closed), path_, settings, nullptr, nullptr, &info), kHttpDownloadFailed);
}

TEST_F(HttpDownload, ProgressCanCancel) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nabcd", "efgh"}, 300));
  int calls = 0;
  auto stop = [](void* user, long long, long long) {
    ++*static_cast<int*>(user);
    return false;
  };
  HttpDownloadInfo info;
  EXPECT_EQ(DownloadUrlToFile(Url(server.port()), path_, HttpDownloadSettings(), stop, &calls, &info),
            kHttpDownloadCancelled);
  EXPECT_GE(calls, 1);
}

TEST_F(HttpDownload, SinkReceivesThePiecesInOrder) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabc", "def"}, 50));
  std::string got;
  auto sink = [](void* user, const char* data, size_t size) {
    static_cast<std::string*>(user)->append(data, size);
    return true;
  };
  EXPECT_EQ(DownloadUrl(Url(server.port()), HttpDownloadSettings(), sink, &got, nullptr, nullptr, nullptr),
            kHttpDownloadDone);
  EXPECT_EQ(got, "abcdef");
  auto refuse = [](void*, const char*, size_t) { return false; };
  Server again(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"}));
  EXPECT_EQ(DownloadUrl(Url(again.port()), HttpDownloadSettings(), refuse, nullptr, nullptr, nullptr, nullptr),
            kHttpDownloadCancelled);
}

TEST_F(HttpDownload, UsesTheEnvironmentsProxy) {
  std::string request;
  Server proxy(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}, 0, &request));
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str(), 1);
  HttpDownloadInfo info;
  EXPECT_EQ(DownloadUrlToFile("http://update.example.invalid/u/update.ini", path_, HttpDownloadSettings(), nullptr,
                              nullptr, &info),
            kHttpDownloadDone);
  EXPECT_EQ(info.statusCode, 200);
  EXPECT_EQ(File(), "ok");
  EXPECT_EQ(request.rfind("GET http://update.example.invalid/u/update.ini HTTP/", 0), 0u) << request;
}

TEST_F(HttpDownload, UnwritableFileIsAFileError) {
  Server server(Reply({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}));
  HttpDownloadInfo info;
  EXPECT_EQ(DownloadUrlToFile(Url(server.port()), "/nonexistent-folder-orv/x/update.ini", HttpDownloadSettings(),
                              nullptr, nullptr, &info),
            kHttpDownloadFileError);
}

}  // namespace
