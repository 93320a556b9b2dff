#pragma once
#include "accounts/LoginTable.h"

#include <string>
#include <vector>

namespace accounts {

// One row of the connection list on the "Server Session" page.
struct ConnectionRow {
    std::string Id, UserName, Address, Action, Location, Progress, Speed;
    // The running transfer's figures behind Progress and Speed, for a display
    // with units: bytes moved (-1 while no transfer ran), the file's whole
    // size (-1 when unknown, as for uploads), the rate in bytes per second
    // and whether the transfer has ended.
    long long Bytes = -1;
    long long Total = -1;
    double BytesPerSecond = 0;
    bool Complete = false;
};

// Rows for every slot in use, slots 1 to 128 in order.
std::vector<ConnectionRow> ConnectionRows(const LoginTable& table);

// The transfer speed of byteCount bytes in elapsedMs milliseconds: the byte
// count itself when no time has passed, "0" below one byte, otherwise
// kilobytes per second with two decimals.
std::string SpeedText(long long byteCount, long long elapsedMs);
// Bytes per second of byteCount bytes in elapsedMs milliseconds; 0 when no
// time has passed.
double BytesPerSecond(long long byteCount, long long elapsedMs);

} // namespace accounts
