#pragma once
#include "net/SocketAddress.h"

// Binds a stream socket (with SO_REUSEADDR set) to address. When the address
// asks for any port (0), a few ports drawn at random from the system's range
// for such ports are tried first, and the system's own choice only after
// them. Returns 0, or the errno of the failed bind.
//
// Why: the system picks a port that no socket uses at all, and on a busy
// server nearly every port in the range is still held by a closed data
// connection waiting out TIME_WAIT; the search then costs more than the
// transfer of a small file. A port held only by such leftovers can be bound
// at once under SO_REUSEADDR (never one with a listener on it).
//
// With rangeFirst > 0 and a port of 0 asked for, only the ports rangeFirst
// to rangeLast are tried, each once, from a random one on; EADDRINUSE when
// every one is taken.
int BindListeningSocket(int handle, TSocketAddress address, int rangeFirst = 0, int rangeLast = 0);
