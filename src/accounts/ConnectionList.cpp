#include "accounts/ConnectionList.h"

#include <cstdio>

namespace accounts {

std::vector<ConnectionRow> ConnectionRows(const LoginTable& table) {
    std::vector<ConnectionRow> rows;
    for (int n = 1; n <= kLoginSlots; ++n) {
        const LoginSlot& slot = table[n];
        if (slot.InUse)
            rows.push_back({slot.Id,
                            slot.UserName,
                            slot.Address,
                            slot.Action,
                            slot.Location,
                            slot.Result,
                            {},
                            -1,
                            -1,
                            0,
                            false});
    }
    return rows;
}

std::string SpeedText(long long byteCount, long long elapsedMs) {
    if (elapsedMs <= 0)
        return std::to_string(byteCount);
    if (byteCount < 1)
        return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f",
                  static_cast<double>(byteCount) / (static_cast<double>(elapsedMs) / 1000.0) /
                      1024.0);
    return text;
}

double BytesPerSecond(long long byteCount, long long elapsedMs) {
    if (elapsedMs <= 0 || byteCount < 1)
        return 0;
    return static_cast<double>(byteCount) * 1000.0 / static_cast<double>(elapsedMs);
}

} // namespace accounts
