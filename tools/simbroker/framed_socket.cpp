#include "tools/simbroker/framed_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace simbroker {

int ListenOnLoopback(int port, int* boundPort) { return ListenOnLoopbackAddress("127.0.0.1", port, boundPort); }

int ListenOnLoopbackAddress(const char* address, int port, int* boundPort) {
  in_addr host{};
  if (!address || ::inet_pton(AF_INET, address, &host) != 1 || (ntohl(host.s_addr) >> 24) != 127) return -1;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr = host;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return -1;
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  *boundPort = ntohs(addr.sin_port);
  return fd;
}

int AcceptWithin(int listenFd, int waitMs) {
  pollfd p{listenFd, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return -1;
  int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return -1;
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool SendAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int TakeFrame(Bytes* buffer, Bytes* payload) {
  if (buffer->size() < 5) return 0;
  const Bytes& b = *buffer;
  size_t length = static_cast<size_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
  if (length > kMaxRequestFrame) return -1;
  if (b.size() < length + 5) return 0;
  payload->assign(b.begin() + 5, b.begin() + 5 + static_cast<long>(length));
  buffer->erase(buffer->begin(), buffer->begin() + 5 + static_cast<long>(length));
  return 1;
}

}  // namespace simbroker
