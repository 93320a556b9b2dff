#include "app/SettingsTable.h"

#include "app/AppTexts.h"
#include "app/SettingsKeys.h"

namespace {
using enum OptionType;
constexpr const char* kCurrent = nullptr; // a missing key keeps the current value
} // namespace

const std::vector<OptionInfo>& SettingsTable() {
    static const std::vector<OptionInfo> table = {
        {sections::Server, keys::StartServerOnStartUp, Bool, "0", kCurrent},
        {sections::Server, keys::ServerPort, String, "21", kCurrent},
        {sections::Server, keys::DefaultHomeDirectory, String, "", kCurrent},
        {sections::Server, keys::EncryptedOnlyClients, Bool, "0", kCurrent},
        {sections::Server, keys::MaximumConcurrentUsers, String, "3", kCurrent},
        {sections::Server, keys::IdleCount, Integer, "300", kCurrent},
        {sections::Server, keys::IdleTimeout, Bool, "1", kCurrent},
        {sections::Server, keys::Allow, Bool, "0", kCurrent},
        {sections::Server, keys::Deny, Bool, "1", kCurrent},
        {sections::Server, keys::LogoutMessage, String, "", kCurrent},
        {sections::Server, keys::LoginMessage, String, "", kCurrent},
        {sections::Server, keys::ConnectMessage, String, "", kCurrent},
        {sections::Server, keys::BanAfterFailedLogins, Integer, "10", "10"},
        {sections::Server, keys::BanWindowMinutes, Integer, "5", "5"},
        {sections::Server, keys::BanHours, Integer, "1", "1"},
        {sections::Server, keys::ExemptLoopback, Bool, "1", "1"},
        {sections::Server, keys::MaxConnectionsPerAddress, Integer, "10", "10"},
        {sections::Server, keys::ServerDownloadLimit, Integer, "0", "0"},
        {sections::Server, keys::ServerUploadLimit, Integer, "0", "0"},
        {sections::Server, keys::ConnectionSpeedLimit, Integer, "0", "0"},
        {sections::Server, keys::PassivePortMin, Integer, "0", kCurrent},
        {sections::Server, keys::PassivePortMax, Integer, "0", kCurrent},
        {sections::Server, keys::PassiveExternalAddress, String, "", kCurrent},
        {sections::Server, keys::PassiveExternalForLocal, Bool, "0", kCurrent},
        {sections::Global, keys::ShowSuperUserWarnings, Bool, "1", kCurrent},
        {sections::Global, keys::CheckForUpdateOnStartup, Bool, "0", kCurrent},
        {sections::Global, keys::StartMaximized, Bool, "0", kCurrent},
        {sections::Global, keys::StartMinimized, Bool, "0", kCurrent},
        {sections::Global, keys::DeleteTemporaryFiles, Bool, "0", kCurrent},
        {sections::Global, keys::MinimizeToTray, Bool, "0", kCurrent},
        {sections::Global, keys::HideFromTaskbar, Bool, "0", kCurrent},
        {sections::Global, keys::TimestampEvents, Bool, "0", kCurrent},
        {sections::Global, keys::LogToFile, Bool, "0", kCurrent},
        {sections::Global, keys::TimestampLogs, Bool, "0", kCurrent},
        {sections::Global, keys::AppendLogs, Bool, "0", kCurrent},
        {sections::Global, keys::ClientLogFile, String, "", kCurrent},
        {sections::Global, keys::ServerLogFile, String, "", kCurrent},
        {sections::Global, keys::ShowClientLogWindow, Bool, "1", kCurrent},
        {sections::Global, keys::ShowServerLogWindow, Bool, "1", kCurrent},
        {sections::Global, keys::VerboseLogging, Bool, "0", kCurrent},
        {sections::Global, keys::MaskPasswords, Bool, "1", kCurrent},
        {sections::Global, keys::PublicKey, String, "", ""},
        {sections::Global, keys::PrivateKey, String, "", ""},
        {sections::Global, keys::SymKeyLength, String, "256", "64"},
        {sections::Global, keys::RSAKeyBits, String, "2048", "512"},
        {sections::Global, keys::CurrentKeyBits, String, "", ""},
        {sections::Global, keys::CurrentKeyLength, String, "", ""},
        {sections::Global, keys::UpdateHost, String, apptexts::kDefaultUpdateHost, kCurrent},
        {sections::Client, keys::SocksServer, String, "", ""},
        {sections::Client, keys::SocksPort, String, "", ""},
        {sections::Client, keys::SocksUsername, String, "", ""},
        {sections::Client, keys::SocksPassword, String, "", ""},
        {sections::Client, keys::PassiveMode, Bool, "0", kCurrent},
        {sections::Client, keys::ClientTimeout, Integer, "20", kCurrent},
        {sections::Client, keys::DownloadLimit, Integer, "0", "0"},
        {sections::Client, keys::UploadLimit, Integer, "0", "0"},
        {sections::Client, keys::MaxSimultaneousTransfers, Integer, "2", "2"},
    };
    return table;
}

const std::vector<const char*>& SettingsReadOrder() {
    static const std::vector<const char*> order = {
        keys::StartServerOnStartUp,
        keys::ServerPort,
        keys::DefaultHomeDirectory,
        keys::EncryptedOnlyClients,
        keys::MaximumConcurrentUsers,
        keys::IdleCount,
        keys::IdleTimeout,
        keys::Allow,
        keys::Deny,
        keys::LogoutMessage,
        keys::LoginMessage,
        keys::ConnectMessage,
        keys::BanAfterFailedLogins,
        keys::BanWindowMinutes,
        keys::BanHours,
        keys::ExemptLoopback,
        keys::MaxConnectionsPerAddress,
        keys::ServerDownloadLimit,
        keys::ServerUploadLimit,
        keys::ConnectionSpeedLimit,
        keys::PassivePortMin,
        keys::PassivePortMax,
        keys::PassiveExternalAddress,
        keys::PassiveExternalForLocal,
        keys::ShowSuperUserWarnings,
        keys::CheckForUpdateOnStartup,
        keys::StartMaximized,
        keys::StartMinimized,
        keys::DeleteTemporaryFiles,
        keys::MinimizeToTray,
        keys::HideFromTaskbar,
        keys::TimestampEvents,
        keys::LogToFile,
        keys::TimestampLogs,
        keys::AppendLogs,
        keys::ClientLogFile,
        keys::ServerLogFile,
        keys::ShowClientLogWindow,
        keys::ShowServerLogWindow,
        keys::VerboseLogging,
        keys::MaskPasswords,
        keys::PublicKey,
        keys::PrivateKey,
        keys::RSAKeyBits,
        keys::SymKeyLength,
        keys::CurrentKeyLength,
        keys::CurrentKeyBits,
        keys::UpdateHost,
        keys::SocksServer,
        keys::SocksPort,
        keys::SocksUsername,
        keys::SocksPassword,
        keys::PassiveMode,
        keys::ClientTimeout,
        keys::DownloadLimit,
        keys::UploadLimit,
    };
    return order;
}

IntegerRange RangeOf(const std::string& key) {
    // Speed limits in KiB/s: up to about 10 GiB/s.
    constexpr int kMaxRate = 10 * 1024 * 1024;
    static const std::vector<std::pair<const char*, IntegerRange>> ranges = {
        // The idle-seconds control only holds 60..3600: an idle limit of a
        // few seconds (or a negative one) would drop every client at once.
        {keys::IdleCount, {60, 3600}},
        // A client that never waits could not log in; one that waits for
        // ever hangs on a silent server.
        {keys::ClientTimeout, {1, 600}},
        {keys::PassivePortMin, {0, 65535}},
        {keys::PassivePortMax, {0, 65535}},
        {keys::BanAfterFailedLogins, {0, 1000}},
        {keys::BanWindowMinutes, {1, 1440}},
        {keys::BanHours, {1, 8760}},
        {keys::MaxConnectionsPerAddress, {0, 10000}},
        {keys::ServerDownloadLimit, {0, kMaxRate}},
        {keys::ServerUploadLimit, {0, kMaxRate}},
        {keys::ConnectionSpeedLimit, {0, kMaxRate}},
        {keys::DownloadLimit, {0, kMaxRate}},
        {keys::UploadLimit, {0, kMaxRate}},
        {keys::MaxSimultaneousTransfers, {1, 10}},
    };
    for (const auto& [name, range] : ranges)
        if (key == name)
            return range;
    return {};
}

const OptionInfo* FindOption(const std::string& key) {
    for (const OptionInfo& o : SettingsTable())
        if (key == o.key)
            return &o;
    return nullptr;
}
