// Opening a TCP connection directly or through a SOCKS4, SOCKS5 or HTTP
// CONNECT proxy, shared by the framed transport and the HTTP client.
//
// Every handshake runs on a blocking socket before the caller switches it to
// event mode. The proxy address is looked up by name (first IPv4 address);
// the target host of a SOCKS handshake is resolved here, never by the proxy.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "foundation/proxy_setting.h"
#include "platform/kernel/kernel_socket.h"

struct TunnelContext {
  const std::atomic<bool>* running = nullptr;  // cleared: give up at the next step
  DWORD connectTimeoutMs = 21000;
  DWORD handshakeTimeoutMs = 30000;  // all reads of one handshake together
  DWORD stepMs = 1000;               // reads look at *running this often
  size_t connectReplyLimit = 4096;   // HTTP CONNECT reply header area, its zero included
};

enum TunnelResult {
  kTunnelOk = 0,
  kTunnelConnectFailed = 2,    // direct connection: resolution or connect failed
  kTunnelHandshakeFailed = 3,  // proxy unreachable, refused or unknown type
};

// Connects to host:port directly (proxy->type -1) or through the proxy.
// On kTunnelOk *socketOut is a connected blocking socket owned by the
// caller; otherwise it is INVALID_SOCKET and nothing stays open.
int OpenTunnel(const ProxyFields& proxy, const char* host, int port, const TunnelContext& context,
               SOCKET* socketOut);

// Builds the HTTP CONNECT request text for host:port with the proxy user
// name and password (Basic authorisation when a user name is set).
std::string BuildConnectRequest(const char* host, int port, const char* user, const char* password);

// True when the proxy's reply header opens with a 2xx status line.
bool ConnectReplyAccepted(const char* header);
