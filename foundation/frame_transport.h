// Framed TCP transport: one connection per id, each run by a thread of its
// own that connects (directly or through a proxy), assembles the incoming
// frames and hands them to callbacks.
//
// Frame on the wire (both directions): payload length n (4 bytes, big-
// endian), type (1 byte: 1 data, 0 empty), n payload bytes. The receiver
// looks only at the length: n == 0 is an empty frame (state 5, not
// delivered); anything else is delivered whole, header included. Incoming
// frames longer than kMaxFramePayload end the connection with state 3.
//
// Callers keep the integer id; every operation looks the connection up in a
// process-wide registry, because the connection's thread frees it when it
// ends. Ids run from 1 and are never reused; 0 and negative ids name nothing.
//
// Callbacks run without any transport lock held, on the connection's thread
// (state 3 of a failed SendFrame and state 4 run on the caller's thread), and
// may call every operation here, CloseConnection of their own id included.
#pragma once

#include <cstddef>

// State codes reported to the ConnectionStateCallback.
enum ConnectionState {
  kConnectionUp = 0,            // connected (after the proxy handshake, if any)
  kConnectionClosed = 1,        // ended by itself (peer closed, wait failed)
  kConnectionConnectFailed = 2, // direct resolution or connect failed
  kConnectionFailed = 3,        // proxy handshake, send or oversized frame
  kConnectionNoThread = 4,      // the thread could not be started
  kConnectionEmptyFrame = 5,    // an empty (keep-alive) frame arrived
};

typedef void (*ConnectionStateCallback)(void* user, int code);
// frame: the whole frame, header included; length: payload + 5. The buffer
// belongs to the connection and is valid only during the call.
typedef void (*FrameDataCallback)(void* user, const char* frame, int length);

constexpr size_t kMaxFramePayload = 64u * 1024 * 1024;

// Registers a new connection (no thread yet, keep-alive off); returns its id.
int CreateConnection();
// Store the callbacks and their user data; nothing for an unknown id.
void SetConnectionCallbacks(int id, ConnectionStateCallback callback, void* user);
void SetConnectionDataCallback(int id, FrameDataCallback callback, void* user);
// Stores at most 127 bytes of host (name or dotted IPv4) and the port.
void SetConnectionHost(int id, const char* host, int port);
// Parses a ProxySetting text (null or empty: direct). The text is not changed.
void SetConnectionProxy(int id, const char* proxySetting);
// Non-zero switches the empty keep-alive frame on, sent whenever
// TransportTimings::keepAliveMs (5 s) have passed since the last one. It is
// forced off when state 0 is reported.
void SetConnectionKeepAlive(int id, int on);
// Starts the connection's thread; when it cannot start, reports state 4 on
// the caller's thread. A second call does nothing.
void StartConnection(int id);
// Sends one frame of length payload bytes (length <= 0: an empty frame).
// Bytes the socket cannot take at once wait in the connection's send queue;
// a frame never overtakes bytes already waiting. A send failure (also before
// the connection is up) reports state 3 on the caller's thread. Unknown id:
// nothing.
void SendFrame(int id, const char* payload, int length);
// Stops the connection: no callback of it begins after this returns, and
// callbacks running on other threads have returned. Its thread closes the
// socket and frees the record. Unknown ids (0, -1, freed) do nothing. Do not
// call it while holding a lock that this connection's callbacks take.
void CloseConnection(int id);

// Tests: bytes waiting in the send queue and the queue's capacity; false for
// an unknown id.
bool GetConnectionQueueForTesting(int id, size_t* waiting, size_t* capacity);
// Tests: number of registered connections.
int CountConnectionsForTesting();
