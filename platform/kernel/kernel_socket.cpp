#include "platform/kernel/kernel_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/kernel/kernel_clock.h"

namespace {

constexpr DWORD kAbandonPollMs = 50;  // how often a cancellable wait looks at its flag

bool OnlyDigitsAndDots(const char* text) {
  for (const char* p = text; *p; ++p) {
    if ((*p < '0' || *p > '9') && *p != '.') return false;
  }
  return true;
}

bool StillGoing(const std::atomic<bool>* keepGoing) {
  return !keepGoing || keepGoing->load(std::memory_order_acquire);
}

// Milliseconds left until deadline (real ticks), INFINITE for no deadline.
DWORD Remaining(ULONGLONG deadline, bool unlimited) {
  if (unlimited) return INFINITE;
  ULONGLONG now = RealTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Polls one descriptor for events, for at most ms (INFINITE: no limit),
// cut into slices when keepGoing is given. Returns poll's revents, 0 on
// time-out or abandon, -1 on failure.
int PollOne(int fd, short events, DWORD ms, const std::atomic<bool>* keepGoing) {
  bool unlimited = ms == INFINITE;
  ULONGLONG deadline = RealTickCount64() + (unlimited ? 0 : ms);
  for (;;) {
    if (!StillGoing(keepGoing)) return 0;
    DWORD left = Remaining(deadline, unlimited);
    int slice = left == INFINITE ? -1 : static_cast<int>(left);
    if (keepGoing && (slice < 0 || slice > static_cast<int>(kAbandonPollMs))) slice = kAbandonPollMs;
    struct pollfd pfd {fd, events, 0};
    int n = ::poll(&pfd, 1, slice);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n > 0) return pfd.revents;
    if (!unlimited && Remaining(deadline, false) == 0) return 0;
  }
}

}  // namespace

bool ResolveIPv4(const char* host, uint32_t* addrNetworkOrder) {
  if (!host || !*host || !addrNetworkOrder) return false;
  if (OnlyDigitsAndDots(host)) {
    in_addr_t addr = ::inet_addr(host);
    if (addr == INADDR_NONE && std::strcmp(host, "255.255.255.255") != 0) return false;
    *addrNetworkOrder = addr;
    return true;
  }
  struct addrinfo hints {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
  bool ok = false;
  for (struct addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr) continue;
    *addrNetworkOrder = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    ok = true;
    break;
  }
  ::freeaddrinfo(found);
  return ok;
}

SOCKET ConnectTcp(uint32_t addrNetworkOrder, uint16_t port, DWORD timeoutMs, const std::atomic<bool>* keepGoing) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (s < 0) return INVALID_SOCKET;
  struct sockaddr_in to {};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = addrNetworkOrder;
  int rc = ::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (rc != 0 && errno != EINPROGRESS && errno != EINTR) {
    ::close(s);
    return INVALID_SOCKET;
  }
  if (rc != 0) {
    int revents = PollOne(s, POLLOUT, timeoutMs, keepGoing);
    int error = 0;
    socklen_t len = sizeof error;
    if (revents <= 0 || ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
      ::close(s);
      return INVALID_SOCKET;
    }
  }
  if (!SetNonBlocking(s, false)) {
    ::close(s);
    return INVALID_SOCKET;
  }
  int one = 1;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return s;
}

int SendBlocking(SOCKET s, const void* data, int len, DWORD timeoutMs, const std::atomic<bool>* keepGoing) {
  if (s < 0 || len < 0 || (!data && len > 0)) return -1;
  const char* bytes = static_cast<const char*>(data);
  bool unlimited = timeoutMs == INFINITE;
  ULONGLONG deadline = RealTickCount64() + (unlimited ? 0 : timeoutMs);
  int sent = 0;
  while (sent < len) {
    int n = SendSome(s, bytes + sent, len - sent);
    if (n == kIoError) return -1;
    if (n > 0) {
      sent += n;
      continue;
    }
    DWORD left = Remaining(deadline, unlimited);
    if (left == 0) break;
    int revents = PollOne(s, POLLOUT, left, keepGoing);
    if (revents < 0) return -1;
    if (revents == 0) break;  // time-out or abandon
  }
  return sent;
}

int RecvBlocking(SOCKET s, void* data, int len, DWORD timeoutMs, const std::atomic<bool>* keepGoing) {
  if (s < 0 || len < 0 || (!data && len > 0)) return -1;
  char* bytes = static_cast<char*>(data);
  bool unlimited = timeoutMs == INFINITE;
  ULONGLONG deadline = RealTickCount64() + (unlimited ? 0 : timeoutMs);
  int got = 0;
  while (got < len) {
    int n = RecvSome(s, bytes + got, len - got);
    if (n == kIoError) return -1;
    if (n == 0) break;  // peer closed
    if (n > 0) {
      got += n;
      continue;
    }
    DWORD left = Remaining(deadline, unlimited);
    if (left == 0) break;
    int revents = PollOne(s, POLLIN, left, keepGoing);
    if (revents < 0) return -1;
    if (revents == 0) break;
  }
  return got;
}

bool SetNonBlocking(SOCKET s, bool nonBlocking) {
  if (s < 0) return false;
  int flags = ::fcntl(s, F_GETFL, 0);
  if (flags < 0) return false;
  int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return wanted == flags || ::fcntl(s, F_SETFL, wanted) == 0;
}

void CloseSocket(SOCKET s) {
  if (s < 0) return;
  ::close(s);
}

int SendSome(SOCKET s, const void* data, int len) {
  if (s < 0 || len < 0 || (!data && len > 0)) return kIoError;
  if (len == 0) return 0;
  for (;;) {
    ssize_t n = ::send(s, data, static_cast<size_t>(len), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kIoWouldBlock;
    return kIoError;
  }
}

int RecvSome(SOCKET s, void* data, int len) {
  if (s < 0 || len <= 0 || !data) return kIoError;
  for (;;) {
    ssize_t n = ::recv(s, data, static_cast<size_t>(len), MSG_DONTWAIT);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kIoWouldBlock;
    return kIoError;
  }
}

SocketWaiter::SocketWaiter(SOCKET s) : socket_(s), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SocketWaiter::~SocketWaiter() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SocketWaiter::Wake() {
  if (wakeFd_ < 0) return;
  uint64_t one = 1;
  while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

int SocketWaiter::Wait(DWORD timeoutMs, bool wantWrite) {
  if (wakeFd_ < 0) return -1;
  struct pollfd fds[2] = {
      {wakeFd_, POLLIN, 0},
      {socket_, static_cast<short>(POLLIN | POLLRDHUP | (wantWrite ? POLLOUT : 0)), 0},
  };
  nfds_t count = socket_ >= 0 ? 2 : 1;
  bool unlimited = timeoutMs == INFINITE;
  ULONGLONG deadline = RealTickCount64() + (unlimited ? 0 : timeoutMs);
  int n = 0;
  for (;;) {
    DWORD left = Remaining(deadline, unlimited);
    n = ::poll(fds, count, left == INFINITE ? -1 : static_cast<int>(left));
    if (n >= 0) break;
    if (errno != EINTR) return -1;
  }
  if (n == 0) return 0;
  int bits = 0;
  if (fds[0].revents & POLLIN) {
    uint64_t drained = 0;
    while (::read(wakeFd_, &drained, sizeof drained) < 0 && errno == EINTR) {
    }
    bits |= kWaitWoken;
  }
  if (count == 2) {
    short r = fds[1].revents;
    if (r & POLLNVAL) return -1;
    if (r & POLLIN) bits |= kWaitReadable;
    if (wantWrite && (r & POLLOUT)) bits |= kWaitWritable;
    if (r & (POLLRDHUP | POLLHUP | POLLERR)) bits |= kWaitClosed;
  }
  return bits;
}
