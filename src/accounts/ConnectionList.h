#pragma once
#include "accounts/LoginTable.h"

#include <string>
#include <vector>

namespace accounts {

// One row of the connection list on the "Server Session" page.
struct ConnectionRow {
    std::string Id, UserName, Address, Action, Location, Progress, Speed;
};

// Rows for every slot in use, slots 1 to 128 in order.
std::vector<ConnectionRow> ConnectionRows(const LoginTable& table);

// The transfer speed of byteCount bytes in elapsedMs milliseconds: the byte
// count itself when no time has passed, "0" below one byte, otherwise
// kilobytes per second with two decimals.
std::string SpeedText(long long byteCount, long long elapsedMs);

} // namespace accounts
