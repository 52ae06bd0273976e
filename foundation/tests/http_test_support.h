// Recorder of HttpReplyCallback calls and HTTP scripts for loopback servers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/http_request.h"
#include "transport_test_support.h"

namespace nettest {

struct HttpRecord {
  struct Final {
    int status;
    std::string body;
    bool hasBody;
    bool zeroAfter;
    std::thread::id thread;
  };
  std::mutex lock;
  std::vector<int> progress;
  std::vector<Final> finals;
  std::atomic<int> calls{0};
  std::atomic<int> active{0};  // callbacks in progress: the record outlives them
  std::atomic<bool> abandoned{false};  // set by a test once AbandonHttpRequest returned
  std::atomic<int> afterAbandon{0};    // callbacks that began after that

  ~HttpRecord() {
    while (active != 0) std::this_thread::yield();
  }
  static void OnReply(HttpRequest* request, void* user, const char* body, int length, int status) {
    auto* r = static_cast<HttpRecord*>(user);
    ++r->active;
    if (r->abandoned) ++r->afterAbandon;
    r->Record(request, body, length, status);
    --r->active;
  }
  void Record(HttpRequest*, const char* body, int length, int status) {
    HttpRecord* r = this;
    ++r->calls;
    std::lock_guard<std::mutex> g(r->lock);
    if (status == kHttpProgress) {
      EXPECT_EQ(body, nullptr);
      r->progress.push_back(length);
      return;
    }
    Final f{status, "", body != nullptr, false, std::this_thread::get_id()};
    if (body != nullptr) {
      f.body.assign(body, static_cast<size_t>(length));
      f.zeroAfter = body[length] == '\0';
    } else {
      EXPECT_EQ(length, 0);
    }
    r->finals.push_back(f);
  }
  size_t FinalCount() {
    std::lock_guard<std::mutex> g(lock);
    return finals.size();
  }
  Final First() {
    std::lock_guard<std::mutex> g(lock);
    return finals.empty() ? Final{-1, "", false, false, {}} : finals[0];
  }
  std::vector<int> Progress() {
    std::lock_guard<std::mutex> g(lock);
    return progress;
  }
  bool WaitFinal(int ms = 5000) {
    return WaitFor([&] { return FinalCount() > 0; }, ms);
  }
};

// Reads one HTTP request (header and Content-Length body) from fd.
inline std::string ReadHttpRequest(int fd) {
  std::string head = RecvUntil(fd, "\r\n\r\n");
  size_t at = head.find("Content-Length: ");
  if (at == std::string::npos) at = head.find("content-length: ");
  if (at == std::string::npos) return head;
  size_t n = std::strtoul(head.c_str() + at + 16, nullptr, 10);
  return head + RecvN(fd, n);
}

// A server script: read the request, then send the parts with a pause
// between them, then close.
inline Server::Script Reply(std::vector<std::string> parts, int pauseMs = 0, std::string* request = nullptr) {
  return [parts, pauseMs, request](int fd) {
    std::string r = ReadHttpRequest(fd);
    if (request) *request = r;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0 && pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
      if (!SendAll(fd, parts[i])) return;
    }
  };
}

inline std::string Url(int port, const std::string& path = "/") {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

}  // namespace nettest
