#include "accounts/ServerProtection.h"

#include "accounts/AccountTexts.h"
#include "accounts/BanFile.h"
#include "base/StoredFile.h"

namespace accounts {

bool IsLoopbackAddress(const std::string& address) {
    std::string_view a = address;
    if (a.starts_with("::ffff:"))
        a.remove_prefix(7);
    return a.starts_with("127.") || a == "::1";
}

ServerProtection::ServerProtection(LoopClock& clock, std::string dataFolder, LogWriter log)
    : clock_(clock), folder_(std::move(dataFolder)), log_(std::move(log)), guard_(clock) {
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
    stored_file::RemoveLeftovers(folder_ + kBanFile);
    SyncFromFile();
    fileCheck_.setInterval(kBanFileCheckMs);
    QObject::connect(&fileCheck_, &QTimer::timeout, [this] { SyncFromFile(); });
    fileCheck_.start();
}

void ServerProtection::Log(const std::string& text, TColor colour) const {
    if (log_)
        log_(logServer, text, colour);
}

void ServerProtection::SyncFromFile() {
    const std::string stamp = BanFileStamp(folder_);
    if (stamp == fileStamp_)
        return;
    std::vector<Ban> bans;
    const int error = ReadBanFile(folder_, bans);
    if (error != 0) {
        Log(texts::BanFileUnreadable(folder_ + kBanFile, stored_file::ErrorText(error)),
            colours::clRed);
        return;
    }
    fileStamp_ = stamp;
    guard_.SetBans(bans);
}

void ServerProtection::Store() {
    const int error = WriteBanFile(folder_, guard_.ActiveBans());
    if (error != 0)
        Log(texts::BanFileUnwritable(folder_ + kBanFile, stored_file::ErrorText(error)),
            colours::clRed);
    fileStamp_ = BanFileStamp(folder_);
}

bool ServerProtection::Banned(const std::string& address, const ProtectionPolicy& policy) {
    if (policy.exemptLoopback && IsLoopbackAddress(address))
        return false;
    // One stat: a ban lifted by another program counts at once.
    SyncFromFile();
    return guard_.BanOf(address) != nullptr;
}

ServerProtection::Verdict ServerProtection::Admit(const std::string& address, int connections,
                                                  const ProtectionPolicy& policy) {
    // SECURITY: a banned address is turned away before it sees a greeting.
    if (Banned(address, policy)) {
        ++bannedRefusals_;
        Log(texts::BannedRefused(address, guard_.BanOf(address)->failures), colours::clRed);
        return Verdict::Banned;
    }
    // SECURITY: counted before login, so connections that never log in
    // cannot take every place of the server from one address.
    if (policy.maxConnectionsPerAddress > 0 && connections > policy.maxConnectionsPerAddress) {
        ++addressLimitRefusals_;
        Log(texts::AddressLimitRefused(address, policy.maxConnectionsPerAddress), colours::clRed);
        return Verdict::TooManyFromAddress;
    }
    return Verdict::Admitted;
}

ServerProtection::LoginFailure ServerProtection::Failed(const std::string& address,
                                                        const ProtectionPolicy& policy,
                                                        bool allowListed) {
    LoginFailure result;
    // Loopback stays usable by the local window whatever happens.
    if (policy.exemptLoopback && IsLoopbackAddress(address))
        return result;
    // A ban lifted by another program in the meantime counts from now on.
    SyncFromFile();
    // A connection opened before its address was banned just ends.
    if (guard_.BanOf(address) != nullptr) {
        result.close = true;
        return result;
    }
    const LoginGuard::Failure failure = guard_.Failed(address, policy.guard, true, !allowListed);
    result.delayMs = failure.delayMs;
    if (failure.bannedNow) {
        Log(texts::BanStarted(address, failure.failures, policy.guard.banHours), colours::clRed);
        Store();
    }
    result.close = failure.bannedNow;
    return result;
}

void ServerProtection::Succeeded(const std::string& address) {
    guard_.Succeeded(address);
}

std::vector<Ban> ServerProtection::Bans() {
    SyncFromFile();
    return guard_.ActiveBans();
}

bool ServerProtection::Lift(const std::string& address) {
    SyncFromFile();
    if (!guard_.Lift(address))
        return false;
    Log(texts::BanLifted(address), colours::clBlue);
    Store();
    return true;
}

} // namespace accounts
