#pragma once
// Plain TCP sockets on 127.0.0.1 for tests, scripted peers and benchmarks:
// one listener, one connect and one accept for all of them.

namespace testing_support {

// A listening socket on 127.0.0.1 port 0; the descriptor (-1 on failure),
// with the port the kernel chose in port.
int ListenLoopback(int& port, int backlog = 4);

// A blocking connection to 127.0.0.1:port; the descriptor or -1.
int ConnectLoopback(int port);

// Accepts one connection within ms milliseconds (blocking); -1 otherwise.
int AcceptWithin(int listener, int ms);

// Switches fd to non-blocking mode; returns fd (-1 stays -1).
int NonBlocking(int fd);

// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0, read back).
int FreePort();

// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, int timeoutMs = 10000);

} // namespace testing_support
