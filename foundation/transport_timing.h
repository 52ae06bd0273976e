// Intervals of the framed transport and the HTTP request layer.
//
// The defaults are the system's own; tests shorten them. A connection or a
// request reads the values once when its thread starts.
#pragma once

#include "platform/kernel/win_types.h"

struct TransportTimings {
  DWORD connectTimeoutMs = 21000;    // TCP connect to a server or proxy
  DWORD handshakeTimeoutMs = 30000;  // whole proxy handshake, after the connect
  DWORD handshakeStepMs = 1000;      // handshake reads check the running flag this often
  DWORD frameWaitStepMs = 1000;      // connection thread's socket-event wait
  DWORD keepAliveMs = 5000;          // keep-alive frame when this much time has passed
  DWORD frameMissPauseMs = 100;      // pause after an empty receive while completing a frame
  int frameMissLimit = 100;          // empty receives in a row before a frame waits for later
  DWORD httpWaitStepMs = 10000;      // request worker's socket-event wait
  DWORD httpMissPauseMs = 100;       // pause after an empty receive of a reply body
  int httpMissLimit = 20;            // empty receives in a row before the body read returns
  DWORD httpTimeoutMs = 15000;       // own HTTP client's time-out
  DWORD systemHttpTimeoutMs = 45000;  // system HTTP stack's time-out
};

TransportTimings GetTransportTimings();
// Tests: replaces the intervals for threads started from now on.
void SetTransportTimings(const TransportTimings& timings);

// Tests: while set, starting a connection or request thread fails as if the
// platform could not create it.
void SetThreadStartFailsForTesting(bool fails);
bool TransportThreadStartFails();
