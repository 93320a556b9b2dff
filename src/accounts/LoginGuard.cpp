#include "accounts/LoginGuard.h"

#include <algorithm>

namespace accounts {

std::int64_t LoginGuard::DelayFor(int failures) {
    std::int64_t delay = kFirstDelayMs;
    for (int i = 1; i < failures && delay < kLongestDelayMs; ++i)
        delay *= 2;
    return std::min(delay, kLongestDelayMs);
}

LoginGuard::Failure LoginGuard::Failed(const std::string& address, const GuardSettings& settings,
                                       bool delay, bool mayBan) {
    const std::int64_t now = clock_.SteadyMs();
    const std::int64_t window = std::max(settings.banWindowMinutes, 1) * 60'000LL;
    std::deque<std::int64_t>& times = failures_[address];
    while (!times.empty() && now - times.front() >= window)
        times.pop_front();
    times.push_back(now);
    // SECURITY: a robot that spreads its guesses over many connections
    // still meets a bounded history per address.
    constexpr std::size_t kKept = 10'000;
    if (times.size() > kKept)
        times.pop_front();

    Failure failure;
    failure.failures = static_cast<int>(times.size());
    if (delay)
        failure.delayMs = DelayFor(failure.failures);
    if (mayBan && settings.banAfterFailedLogins > 0 &&
        failure.failures >= settings.banAfterFailedLogins && BanOf(address) == nullptr) {
        const std::int64_t hours = std::max(settings.banHours, 1);
        bans_[address] = Ban{address, clock_.WallMs() + hours * 3'600'000LL, failure.failures};
        failures_.erase(address);
        failure.bannedNow = true;
    }
    return failure;
}

void LoginGuard::Succeeded(const std::string& address) {
    failures_.erase(address);
}

void LoginGuard::DropExpired() {
    const std::int64_t now = clock_.WallMs();
    std::erase_if(bans_, [now](const auto& entry) { return entry.second.untilMs <= now; });
    // Histories whose last failure left the longest window are forgotten.
    const std::int64_t steady = clock_.SteadyMs();
    std::erase_if(failures_, [steady](const auto& entry) {
        return entry.second.empty() || steady - entry.second.back() > 24 * 3'600'000LL;
    });
}

const Ban* LoginGuard::BanOf(const std::string& address) {
    DropExpired();
    auto it = bans_.find(address);
    return it == bans_.end() ? nullptr : &it->second;
}

std::vector<Ban> LoginGuard::ActiveBans() {
    DropExpired();
    std::vector<Ban> bans;
    for (const auto& [address, ban] : bans_)
        bans.push_back(ban);
    return bans;
}

bool LoginGuard::Lift(const std::string& address) {
    failures_.erase(address);
    return bans_.erase(address) > 0;
}

void LoginGuard::SetBans(const std::vector<Ban>& bans) {
    bans_.clear();
    for (const Ban& ban : bans)
        bans_[ban.address] = ban;
    DropExpired();
}

} // namespace accounts
