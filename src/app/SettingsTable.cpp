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
    };
    return order;
}

const OptionInfo* FindOption(const std::string& key) {
    for (const OptionInfo& o : SettingsTable())
        if (key == o.key)
            return &o;
    return nullptr;
}
