// IPv4 TCP sockets over POSIX.
//
// A connection's socket has one owner thread: the one that connected it.
// Only that thread closes it. Other threads that want the owner to stop
// clear its running flag and call its SocketWaiter's Wake, so no descriptor
// is ever closed (and perhaps reused) under a thread that is waiting on it.
//
// Life of a connection: ConnectTcp gives a blocking, connected socket; the
// proxy handshakes use SendBlocking and RecvBlocking on it; then
// SetNonBlocking(s, true), and the event loop waits with SocketWaiter and
// moves bytes with SendSome and RecvSome.
//
// Sends never raise SIGPIPE: a peer that has gone away is reported as an
// error result.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/kernel/win_types.h"

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;

// Resolves host to an IPv4 address in network byte order. A text of only
// digits and dots is taken as a dotted address (inet_addr; "1.2.3.999" fails
// without any look-up); anything else is looked up by name and its first
// IPv4 address taken. False, with *addr untouched, for a null or empty host
// or a failed look-up.
bool ResolveIPv4(const char* host, uint32_t* addrNetworkOrder);

// Connects a new TCP socket to addr:port, waiting at most timeoutMs of real
// time (INFINITE: no limit). keepGoing (optional) is polled at least every 50
// ms; once it reads false the attempt is abandoned. Returns a connected
// socket in blocking mode, owned by the caller, or INVALID_SOCKET on refusal,
// time-out, abandon or any error.
SOCKET ConnectTcp(uint32_t addrNetworkOrder, uint16_t port, DWORD timeoutMs,
                  const std::atomic<bool>* keepGoing = nullptr);

// Sends all len bytes, waiting at most timeoutMs in all (INFINITE: no limit)
// and stopping early when keepGoing reads false. Returns the count sent: len
// on success, fewer on time-out or abandon; -1 on a socket error.
int SendBlocking(SOCKET s, const void* data, int len, DWORD timeoutMs,
                 const std::atomic<bool>* keepGoing = nullptr);

// Receives exactly len bytes, waiting at most timeoutMs in all (INFINITE: no
// limit) and stopping early when keepGoing reads false. Returns the count
// received: len on success; fewer when the peer closed, the time ran out or
// the wait was abandoned; -1 on a socket error.
int RecvBlocking(SOCKET s, void* data, int len, DWORD timeoutMs,
                 const std::atomic<bool>* keepGoing = nullptr);

// Switches O_NONBLOCK. False for a bad socket.
bool SetNonBlocking(SOCKET s, bool nonBlocking);

// Closes the socket; INVALID_SOCKET is ignored. Only the owner thread calls it.
void CloseSocket(SOCKET s);

enum SocketIo { kIoWouldBlock = -2, kIoError = -1 };

// One non-blocking send: >0 bytes taken (possibly fewer than len),
// kIoWouldBlock when the socket cannot take any now, kIoError on failure.
// len 0 returns 0.
int SendSome(SOCKET s, const void* data, int len);

// One non-blocking receive: >0 bytes, 0 when the peer has closed the
// connection, kIoWouldBlock when nothing is waiting, kIoError on failure.
int RecvSome(SOCKET s, void* data, int len);

enum SocketWaitBits {
  kWaitReadable = 1,  // bytes (or the end of the stream) can be received
  kWaitWritable = 2,  // only when asked for: the socket can take bytes
  kWaitClosed = 4,    // the peer closed or the connection failed
  kWaitWoken = 8,     // another thread called Wake
};

// Waits for events on one socket, for its owner thread. Wake may be called
// from any thread for as long as the waiter exists; a Wake that comes while
// nobody waits is kept and ends the next Wait at once.
class SocketWaiter {
 public:
  // s may be INVALID_SOCKET: Wait then only sees wake-ups and time-outs.
  explicit SocketWaiter(SOCKET s);
  ~SocketWaiter();
  SocketWaiter(const SocketWaiter&) = delete;
  SocketWaiter& operator=(const SocketWaiter&) = delete;

  // Waits at most timeoutMs of real time (INFINITE: no limit). Writable is
  // watched only when wantWrite (ask only while bytes wait to be sent: a
  // connected socket is nearly always writable). Returns the bits of
  // SocketWaitBits that hold, 0 on time-out, -1 when the wait itself failed.
  // A peer close is reported as kWaitClosed together with kWaitReadable while
  // any bytes remain, so the caller receives them first (RecvSome returns 0
  // once they are all in).
  int Wait(DWORD timeoutMs, bool wantWrite);

  // Makes the current or next Wait return with kWaitWoken. Any thread.
  void Wake();

  // False when the wake-up descriptor could not be created (Wait then fails).
  bool Valid() const { return wakeFd_ >= 0; }

 private:
  SOCKET socket_;    // watched, never closed here
  int wakeFd_ = -1;  // eventfd, owned
};
