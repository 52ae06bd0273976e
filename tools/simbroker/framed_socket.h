// The socket work every framed server of the simulated brokerage shares:
// listening on loopback, accepting, sending whole buffers and cutting the
// received bytes into frames ([u32 big-endian length][type][payload]).
#pragma once

#include <cstddef>

#include "tools/simbroker/wire_encoders.h"

namespace simbroker {

// Largest request frame payload a server takes; a longer one ends the
// connection.
constexpr size_t kMaxRequestFrame = 1 << 20;

// Opens a TCP socket listening on 127.0.0.1:port (0: a free port chosen by
// the system) and stores the bound port in *boundPort. Returns the socket, or
// -1 when it cannot listen there.
int ListenOnLoopback(int port, int* boundPort);
// The same on another loopback address (dotted text, 127.x.y.z); -1 for an
// address that is not a loopback one or cannot be bound.
int ListenOnLoopbackAddress(const char* address, int port, int* boundPort);

// Waits up to waitMs for a connection on listenFd and accepts it with
// TCP_NODELAY set. Returns the connected socket, or -1 when none came.
int AcceptWithin(int listenFd, int waitMs);

// Sends all size bytes (no SIGPIPE). False when the peer is gone.
bool SendAll(int fd, const unsigned char* data, size_t size);

// Takes the first complete frame off the front of *buffer into *payload.
// Returns 1 when a frame was taken, 0 when more bytes are needed, and -1
// when the frame announces more than kMaxRequestFrame bytes.
int TakeFrame(Bytes* buffer, Bytes* payload);

}  // namespace simbroker
