// Loopback peers for the transport and HTTP tests: a listening socket on
// 127.0.0.1 with a free port whose accepted connections each run a script on
// a thread of their own, and small blocking I/O helpers for the scripts.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

inline long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Polls pred every 5 ms for at most ms; returns its last value. The default
// bound is generous: it only decides how long a failing test takes, and a
// loaded machine under ThreadSanitizer can take seconds to connect.
inline bool WaitFor(const std::function<bool()>& pred, int ms = 20000) {
  long long end = NowMs() + ms;
  while (NowMs() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

inline bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Receives exactly n bytes (fewer when the peer closes or ms pass).
inline std::string RecvN(int fd, size_t n, int ms = 5000) {
  std::string out;
  long long end = NowMs() + ms;
  while (out.size() < n) {
    long long left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[65536];
    size_t want = n - out.size() < sizeof buf ? n - out.size() : sizeof buf;
    ssize_t got = ::recv(fd, buf, want, 0);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

// Receives until the text ends with terminator (or closes / times out).
inline std::string RecvUntil(int fd, const std::string& terminator, int ms = 5000) {
  std::string out;
  while (out.size() < (1u << 20)) {
    std::string c = RecvN(fd, 1, ms);
    if (c.empty()) break;
    out += c;
    if (out.size() >= terminator.size() &&
        out.compare(out.size() - terminator.size(), terminator.size(), terminator) == 0)
      break;
  }
  return out;
}

// Receives whatever arrives until the peer closes or ms of silence.
inline std::string RecvAll(int fd, int ms = 2000) {
  std::string out;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) break;
    char buf[65536];
    ssize_t got = ::recv(fd, buf, sizeof buf, 0);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

// True when the peer has closed (EOF seen) within ms.
inline bool PeerClosed(int fd, int ms) {
  long long end = NowMs() + ms;
  while (NowMs() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[4096];
    ssize_t got = ::recv(fd, buf, sizeof buf, 0);
    if (got <= 0) return true;
  }
  return false;
}

// A free loopback port (bound, read, released).
inline int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// Connects to 127.0.0.1:port; -1 on failure.
inline int ConnectLoopback(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Listens on 127.0.0.1 (free port); every accepted connection runs script(fd)
// on its own thread; the fd is closed when the script returns. The
// destructor stops accepting and joins the scripts (scripts must end).
class Server {
 public:
  using Script = std::function<void(int fd)>;
  explicit Server(Script script, int receiveBuffer = 0) : script_(std::move(script)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (receiveBuffer > 0) ::setsockopt(listen_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 64);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~Server() {
    stop_ = true;
    acceptor_.join();
    ::close(listen_);
    std::vector<std::thread> scripts;
    {
      std::lock_guard<std::mutex> g(lock_);
      scripts.swap(scripts_);
    }
    for (auto& t : scripts) t.join();
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int port() const { return port_; }
  int accepted() const { return accepted_; }

 private:
  void AcceptLoop() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      ++accepted_;
      std::lock_guard<std::mutex> g(lock_);
      scripts_.emplace_back([this, fd] {
        script_(fd);
        ::close(fd);
      });
    }
  }

  Script script_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptor_;
  std::mutex lock_;
  std::vector<std::thread> scripts_;
};

// Thread-safe text log of what a test's callbacks saw.
class Log {
 public:
  void Add(const std::string& s) {
    std::lock_guard<std::mutex> g(lock_);
    items_.push_back(s);
  }
  std::vector<std::string> Items() {
    std::lock_guard<std::mutex> g(lock_);
    return items_;
  }
  size_t Count(const std::string& s) {
    std::lock_guard<std::mutex> g(lock_);
    size_t n = 0;
    for (auto& i : items_) n += i == s;
    return n;
  }
  size_t Size() {
    std::lock_guard<std::mutex> g(lock_);
    return items_.size();
  }

 private:
  std::mutex lock_;
  std::vector<std::string> items_;
};

// A text written by a server script and read by the test.
class Box {
 public:
  void Set(const std::string& s) {
    std::lock_guard<std::mutex> g(lock_);
    text_ = s;
  }
  void Append(const std::string& s) {
    std::lock_guard<std::mutex> g(lock_);
    text_ += s;
  }
  std::string Get() {
    std::lock_guard<std::mutex> g(lock_);
    return text_;
  }

 private:
  std::mutex lock_;
  std::string text_;
};

inline std::string Frame(const std::string& payload, char type = 1) {
  std::string f(5, '\0');
  size_t n = payload.size();
  f[0] = static_cast<char>((n >> 24) & 0xFF);
  f[1] = static_cast<char>((n >> 16) & 0xFF);
  f[2] = static_cast<char>((n >> 8) & 0xFF);
  f[3] = static_cast<char>(n & 0xFF);
  f[4] = type;
  return f + payload;
}

inline std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

}  // namespace nettest
