#pragma once
#include "accounts/ServerLists.h"
#include "base/LogColour.h"

#include <string>
#include <vector>

namespace accounts {

// Whether a peer address is admitted by the IP list. Every entry is examined
// in list order without stopping at a match; an entry's pattern is its text
// before the first "*" (or the whole text) and matches an address that begins
// with it; an empty pattern matches nothing. Each match is logged. An empty
// list admits everyone; otherwise Deny mode starts admitted and Allow mode
// refused, and a match sets the verdict of its mode. Entries holding ":"
// are IPv6 prefixes and match IPv6 addresses only; the others match IPv4
// addresses only.
bool IpAdmitted(const std::vector<std::string>& list, IpMode mode, const std::string& address,
                const LogWriter& log);

} // namespace accounts
