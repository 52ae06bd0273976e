// Handshakes: each one sends its request, reads its whole answer (the SOCKS5
// reply by its address type, the HTTP CONNECT answer byte by byte up to its
// empty line) and judges it. A
// read gives up when the peer closes, a read fails, the handshake time has
// run out or the caller's running flag is cleared.
#include "foundation/proxy_handshake.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/base64.h"
#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_clock.h"

namespace {

struct HandshakeIo {
  SOCKET socket;
  const TunnelContext* context;
  ULONGLONG deadline;
  SocketWaiter* waiter;
};

bool StillRunning(const HandshakeIo& io) {
  return io.context->running == nullptr || io.context->running->load();
}

bool SendAll(const HandshakeIo& io, const void* data, size_t length) {
  int sent = SendBlocking(io.socket, data, static_cast<int>(length), io.context->handshakeTimeoutMs);
  return sent == static_cast<int>(length);
}

// Reads exactly length bytes; false when they do not all arrive.
bool ReceiveAll(const HandshakeIo& io, void* buffer, size_t length) {
  char* out = static_cast<char*>(buffer);
  size_t got = 0;
  while (got < length) {
    if (!StillRunning(io) || GetTickCount64() >= io.deadline) return false;
    int events = io.waiter->Wait(io.context->stepMs, false);
    if (events < 0) return false;
    if ((events & (kWaitReadable | kWaitClosed)) == 0) continue;
    int r = RecvSome(io.socket, out + got, static_cast<int>(length - got));
    if (r == kIoWouldBlock) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool ResolveTarget(const char* host, uint32_t* address) {
  if (host == nullptr || host[0] == '\0') return false;
  return ResolveIPv4(host, address);
}


void PushPort(std::vector<unsigned char>* out, int port) {
  out->push_back(static_cast<unsigned char>((port >> 8) & 0xFF));
  out->push_back(static_cast<unsigned char>(port & 0xFF));
}

void PushAddress(std::vector<unsigned char>* out, uint32_t addressNetworkOrder) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&addressNetworkOrder);
  out->insert(out->end(), bytes, bytes + 4);
}

bool Socks4Handshake(const HandshakeIo& io, const ProxyFields& proxy, const char* host, int port) {
  uint32_t target = 0;
  if (!ResolveTarget(host, &target)) return false;
  std::vector<unsigned char> request = {0x04, 0x01};
  PushPort(&request, port);
  PushAddress(&request, target);
  request.insert(request.end(), proxy.user, proxy.user + std::strlen(proxy.user));
  request.push_back(0x00);
  if (!SendAll(io, request.data(), request.size())) return false;
  unsigned char reply[8];
  if (!ReceiveAll(io, reply, sizeof reply)) return false;
  return reply[1] == 0x5A;
}

bool Socks5Handshake(const HandshakeIo& io, const ProxyFields& proxy, const char* host, int port) {
  const bool credentials = proxy.user[0] != '\0' && proxy.password[0] != '\0';
  // Offering user/password only when both are set: a proxy never picks a
  // method the greeting did not offer.
  static const unsigned char kPlain[] = {0x05, 0x01, 0x00};
  static const unsigned char kWithAuth[] = {0x05, 0x02, 0x00, 0x02};
  bool sent = credentials ? SendAll(io, kWithAuth, sizeof kWithAuth) : SendAll(io, kPlain, sizeof kPlain);
  if (!sent) return false;
  unsigned char answer[2];
  if (!ReceiveAll(io, answer, sizeof answer)) return false;
  if (answer[0] == 0x05 && answer[1] == 0x02 && credentials) {
    size_t userLength = std::strlen(proxy.user);
    size_t passwordLength = std::strlen(proxy.password);
    std::vector<unsigned char> auth = {0x01, static_cast<unsigned char>(userLength)};
    auth.insert(auth.end(), proxy.user, proxy.user + userLength);
    auth.push_back(static_cast<unsigned char>(passwordLength));
    auth.insert(auth.end(), proxy.password, proxy.password + passwordLength);
    if (!SendAll(io, auth.data(), auth.size())) return false;
    unsigned char status[2];
    if (!ReceiveAll(io, status, sizeof status)) return false;
    if (status[0] != 0x01 || status[1] != 0x00) return false;
  } else if (answer[0] != 0x05 || answer[1] != 0x00) {
    return false;
  }
  uint32_t target = 0;
  if (!ResolveTarget(host, &target)) return false;
  std::vector<unsigned char> request = {0x05, 0x01, 0x00, 0x01};
  PushAddress(&request, target);
  PushPort(&request, port);
  if (!SendAll(io, request.data(), request.size())) return false;
  // VER REP RSV ATYP, then the bound address by its type and the port: the
  // whole reply is taken, so nothing of it is left in the tunnelled stream.
  unsigned char reply[4];
  if (!ReceiveAll(io, reply, sizeof reply)) return false;
  if (reply[0] != 0x05 || reply[1] != 0x00) return false;
  size_t rest = 0;
  if (reply[3] == 0x01) {
    rest = 4 + 2;  // IPv4
  } else if (reply[3] == 0x04) {
    rest = 16 + 2;  // IPv6
  } else if (reply[3] == 0x03) {
    unsigned char nameLength = 0;  // domain name: its length byte first
    if (!ReceiveAll(io, &nameLength, 1)) return false;
    rest = static_cast<size_t>(nameLength) + 2;
  } else {
    return false;
  }
  unsigned char bound[255 + 2];
  return ReceiveAll(io, bound, rest);
}

bool HttpConnectHandshake(const HandshakeIo& io, const ProxyFields& proxy, const char* host, int port) {
  std::string request = BuildConnectRequest(host, port, proxy.user, proxy.password);
  if (!SendAll(io, request.data(), request.size())) return false;
  // One byte at a time, so nothing of the tunnelled stream is taken away.
  size_t limit = io.context->connectReplyLimit > 1 ? io.context->connectReplyLimit - 1 : 0;
  std::string header;
  while (header.size() < limit) {
    char c;
    if (!ReceiveAll(io, &c, 1)) return false;
    header.push_back(c);
    if (header.size() >= 4 && header.compare(header.size() - 4, 4, "\r\n\r\n") == 0) {
      return ConnectReplyAccepted(header.c_str());
    }
  }
  return false;
}

}  // namespace

std::string BuildConnectRequest(const char* host, int port, const char* user, const char* password) {
  char line[400];
  std::snprintf(line, sizeof line, "CONNECT %s:%d HTTP/1.1\r\nConnection: Keep-Alive\r\n", host, port);
  std::string text = line;
  if (user == nullptr || user[0] == '\0') return text + "\r\n";
  std::string pair = std::string(user) + ":" + (password ? password : "");
  std::vector<char> encoded(Base64EncodedSize(pair.size()));
  Base64Encode(encoded.data(), encoded.size(), pair.data(), pair.size());
  return text + "Proxy-Authorization: Basic " + encoded.data() + "\r\n\r\n";
}

bool ConnectReplyAccepted(const char* header) {
  // "HTTP/1.x 2xx": the status code must be the line's, not any "200" below.
  if (std::strncmp(header, "HTTP/", 5) != 0) return false;
  const char* space = std::strchr(header, ' ');
  const char* lineEnd = std::strstr(header, "\r\n");
  if (space == nullptr || (lineEnd != nullptr && space > lineEnd)) return false;
  return space[1] == '2' && space[2] >= '0' && space[2] <= '9' && space[3] >= '0' && space[3] <= '9' &&
         (space[4] == ' ' || space[4] == '\r');
}

int OpenTunnel(const ProxyFields& proxy, const char* host, int port, const TunnelContext& context,
               SOCKET* socketOut) {
  *socketOut = INVALID_SOCKET;
  const bool direct = proxy.type == kProxyNone;
  const int failure = direct ? kTunnelConnectFailed : kTunnelHandshakeFailed;
  if (!direct && proxy.type != kProxySocks4 && proxy.type != kProxySocks5 && proxy.type != kProxyHttpConnect) {
    OutputDebugStringA("OpenTunnel: unknown proxy type\n");
    return failure;
  }
  const char* peerHost = direct ? host : proxy.address;
  const int peerPort = direct ? port : proxy.port;
  uint32_t address = 0;
  if (peerHost == nullptr || peerHost[0] == '\0' || !ResolveIPv4(peerHost, &address)) return failure;
  if (peerPort <= 0 || peerPort > 65535) return failure;
  SOCKET s = ConnectTcp(address, static_cast<uint16_t>(peerPort), context.connectTimeoutMs, context.running);
  if (s == INVALID_SOCKET) return failure;
  if (direct) {
    *socketOut = s;
    return kTunnelOk;
  }
  bool ok = false;
  {
    SocketWaiter waiter(s);
    HandshakeIo io{s, &context, GetTickCount64() + context.handshakeTimeoutMs, &waiter};
    if (port > 0 && port <= 65535) {
      if (proxy.type == kProxySocks4) ok = Socks4Handshake(io, proxy, host, port);
      if (proxy.type == kProxySocks5) ok = Socks5Handshake(io, proxy, host, port);
      if (proxy.type == kProxyHttpConnect) ok = HttpConnectHandshake(io, proxy, host, port);
    }
  }
  if (!ok) {
    OutputDebugStringA("OpenTunnel: proxy handshake failed\n");
    CloseSocket(s);
    return failure;
  }
  *socketOut = s;
  return kTunnelOk;
}
