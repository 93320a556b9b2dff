#pragma once
// Failed logins per address: how long each refusal's reply waits, and bans
// of addresses that fail too often within a window. Pure logic on a clock;
// the owner decides which addresses are exempt and keeps the bans stored.
#include "net/LoopClock.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace accounts {

struct GuardSettings {
    int banAfterFailedLogins = 10; // 0: no bans
    int banWindowMinutes = 5;
    int banHours = 1;
};

struct Ban {
    std::string address;
    std::int64_t untilMs = 0; // wall clock, milliseconds since the epoch
    int failures = 0;         // failed logins that led to it
    friend bool operator==(const Ban&, const Ban&) = default;
};

class LoginGuard {
public:
    static constexpr std::int64_t kFirstDelayMs = 1000;
    static constexpr std::int64_t kLongestDelayMs = 10000;

    explicit LoginGuard(LoopClock& clock) : clock_(clock) {}

    struct [[nodiscard]] Failure {
        std::int64_t delayMs = 0;
        int failures = 0;       // failures of the address within the window
        bool bannedNow = false; // this failure started a ban
    };
    // A refused login from address. With delay, its reply waits; with mayBan
    // the address is banned once it has failed often enough in the window.
    Failure Failed(const std::string& address, const GuardSettings& settings, bool delay,
                   bool mayBan);
    // A successful login forgets the address's failures.
    void Succeeded(const std::string& address);

    // The ban in force for address, or nullptr (expired bans are dropped).
    const Ban* BanOf(const std::string& address);
    // Bans in force, by address.
    std::vector<Ban> ActiveBans();
    bool Lift(const std::string& address);
    // Replaces every ban (the stored file was read).
    void SetBans(const std::vector<Ban>& bans);

    // 1 s, 2 s, 4 s, 8 s, then 10 s for the n-th failure in a row.
    static std::int64_t DelayFor(int failures);

private:
    void DropExpired();

    LoopClock& clock_;
    std::map<std::string, std::deque<std::int64_t>> failures_; // steady times
    std::map<std::string, Ban> bans_;
};

} // namespace accounts
