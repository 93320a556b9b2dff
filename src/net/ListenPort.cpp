#include "net/ListenPort.h"

#include <cerrno>
#include <cstdio>
#include <sys/random.h>
#include <sys/socket.h>

namespace {

struct PortRange {
    unsigned first = 32768;
    unsigned last = 60999;
};

// The range the system draws ports from; its default when unreadable.
PortRange SystemPortRange() {
    PortRange range;
    if (std::FILE* f = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "re")) {
        unsigned first = 0, last = 0;
        if (std::fscanf(f, "%u %u", &first, &last) == 2 && first > 0 && first <= last &&
            last <= 65535) {
            range.first = first;
            range.last = last;
        }
        std::fclose(f);
    }
    return range;
}

// SECURITY: a passive port must not be guessable (whoever connects first
// gets the transfer), so each try draws from the system's random source.
bool RandomPort(const PortRange& range, unsigned& port) {
    unsigned value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value))
        return false;
    // Ports at an odd distance from the start of the range, as the system
    // itself picks for listeners: it keeps the others for outgoing
    // connections, which then find a free one quickly.
    const unsigned pairs = (range.last - range.first) / 2;
    port = pairs == 0 ? range.first : range.first + 1 + 2 * (value % pairs);
    return true;
}

int Bind(int handle, const TSocketAddress& address) {
    if (::bind(handle, address.Raw(), address.Length()) == 0)
        return 0;
    return errno;
}

// SECURITY: the first port tried is drawn at random, so which port of the
// range a transfer gets cannot be foretold.
int BindInRange(int handle, TSocketAddress address, int first, int last) {
    const unsigned count = static_cast<unsigned>(last - first + 1);
    unsigned start = 0;
    if (::getrandom(&start, sizeof start, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof start))
        start = 0;
    for (unsigned i = 0; i < count; ++i) {
        address.SetPortNumber(first + static_cast<int>((start + i) % count));
        const int error = Bind(handle, address);
        if (error != EADDRINUSE)
            return error;
    }
    return EADDRINUSE;
}

} // namespace

int BindListeningSocket(int handle, TSocketAddress address, int rangeFirst, int rangeLast) {
    if (address.PortNumber() != 0)
        return Bind(handle, address);
    if (rangeFirst > 0 && rangeFirst <= rangeLast && rangeLast <= 65535)
        return BindInRange(handle, address, rangeFirst, rangeLast);
    static const PortRange range = SystemPortRange();
    constexpr int kTries = 8;
    for (int i = 0; i < kTries; ++i) {
        unsigned port = 0;
        if (!RandomPort(range, port))
            break;
        TSocketAddress tryAddress = address;
        tryAddress.SetPortNumber(static_cast<int>(port));
        const int error = Bind(handle, tryAddress);
        if (error == 0)
            return 0;
        if (error != EADDRINUSE)
            return error;
    }
    return Bind(handle, address);
}
