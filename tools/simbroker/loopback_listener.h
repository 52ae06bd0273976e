// The listening socket every framed server of the simulated brokerage opens.
#pragma once

namespace simbroker {

// Opens a TCP socket listening on 127.0.0.1:port (0: a free port chosen by
// the system) and stores the bound port in *boundPort. Returns the socket, or
// -1 when it cannot listen there.
int ListenOnLoopback(int port, int* boundPort);

}  // namespace simbroker
