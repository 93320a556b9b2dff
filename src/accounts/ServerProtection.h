#pragma once
// The server's defences against password guessing and crowding: the delay
// of refused logins, bans of addresses that fail too often (kept in the data
// folder's ban file, which a running server re-reads when another program
// changed it), and the limit of connections per address. Counts what it
// refused for the status line.
#include "accounts/LoginGuard.h"
#include "base/LogColour.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

namespace accounts {

struct ProtectionPolicy {
    GuardSettings guard;
    bool exemptLoopback = true;
    int maxConnectionsPerAddress = 10; // 0: no limit
};

// 127.0.0.0/8 and ::1, also written as IPv4-mapped IPv6.
bool IsLoopbackAddress(const std::string& address);

class ServerProtection {
public:
    // How often the ban file is looked at for changes by another program.
    static constexpr int kBanFileCheckMs = 2000;

    ServerProtection(LoopClock& clock, std::string dataFolder, LogWriter log);

    enum class Verdict { Admitted, Banned, TooManyFromAddress };
    // A new connection from address, which now holds connections
    // connections (the new one included). Refusals are logged and counted.
    Verdict Admit(const std::string& address, int connections, const ProtectionPolicy& policy);
    // Whether address is banned now (an exempt loopback address never is).
    bool Banned(const std::string& address, const ProtectionPolicy& policy);

    struct [[nodiscard]] LoginFailure {
        std::int64_t delayMs = 0;
        bool close = false; // the address is banned: the connection ends
    };
    // A refused login; allowListed: the address is on the IP allow list,
    // which is never banned.
    LoginFailure Failed(const std::string& address, const ProtectionPolicy& policy,
                        bool allowListed);
    void Succeeded(const std::string& address);

    std::vector<Ban> Bans();
    // Lifts a ban and stores the list; false when the address had none.
    bool Lift(const std::string& address);
    // Reads the ban file again when another program changed it.
    void SyncFromFile();

    int BannedRefusals() const { return bannedRefusals_; }
    int AddressLimitRefusals() const { return addressLimitRefusals_; }
    std::int64_t WallMs() const { return clock_.WallMs(); }

private:
    void Store();
    void Log(const std::string& text, TColor colour) const;

    LoopClock& clock_;
    std::string folder_;
    LogWriter log_;
    LoginGuard guard_;
    std::string fileStamp_;
    QTimer fileCheck_;
    int bannedRefusals_ = 0;
    int addressLimitRefusals_ = 0;
};

} // namespace accounts
