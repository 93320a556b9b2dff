#include "app/RegistryMigration.h"

#include "app/AppTexts.h"
#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "app/XdgPaths.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct RegistryValue {
    const char* name;   // value name in the store
    const char* option; // settings key it fills
};

// The store's value names in the order they are read.
constexpr RegistryValue kValues[] = {
    {"StartServerOnStartup", keys::StartServerOnStartUp},
    {"ServerPort", keys::ServerPort},
    {"DefaultHomeDirectory", keys::DefaultHomeDirectory},
    {"ShowSuperUserWarnings", keys::ShowSuperUserWarnings},
    {"EncryptedOnlyClients", keys::EncryptedOnlyClients},
    {"CheckForUpdateOnStartup", keys::CheckForUpdateOnStartup},
    {"StartMaximized", keys::StartMaximized},
    {"StartMinimized", keys::StartMinimized},
    {"DeleteTemporaryFiles", keys::DeleteTemporaryFiles},
    {"MinimizeToTray", keys::MinimizeToTray},
    {"HideFromTaskbar", keys::HideFromTaskbar},
    {"TimestampEvents", keys::TimestampEvents},
    {"LogToFile", keys::LogToFile},
    {"TimestampLogs", keys::TimestampLogs},
    {"AppendLogs", keys::AppendLogs},
    {"VerboseLogging", keys::VerboseLogging},
    {"ClientLogFile", keys::ClientLogFile},
    {"ServerLogFile", keys::ServerLogFile},
    {"MaximumConcurrentUsers", keys::MaximumConcurrentUsers},
    {"Deny", keys::Deny},
    {"Allow", keys::Allow},
    {"IdleTimeout", keys::IdleTimeout},
    {"IdleCount", keys::IdleCount},
    {"ShowServerLogWindow", keys::ShowServerLogWindow},
    {"ShowClientLogWindow", keys::ShowClientLogWindow},
    {"ConnectMessage", keys::ConnectMessage},
    {"LoginMessage", keys::LoginMessage},
    {"LogoutMessage", keys::LogoutMessage},
};

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string RegistryStorePath() {
    const std::string base = XdgConfigHome();
    if (base.empty())
        return {};
    return base + apptexts::kRegistryVendorFolder + "/" + apptexts::kRegistryProductFolder + "/" +
           apptexts::kRegistryFileName;
}

bool RegistryStoreExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void ReadRegistryStore(const std::string& path, Settings& settings) {
    const IniFile::LoadResult loaded = IniFile::Load(path);
    for (const RegistryValue& v : kValues) {
        const std::optional<std::string> stored =
            loaded.ini.Read(apptexts::kRegistrySection, v.name);
        if (!stored)
            continue;
        const OptionInfo* o = FindOption(v.option);
        int n = 0;
        switch (o->type) {
        case OptionType::Bool:
            if (ParseSettingInt(*stored, n))
                settings.SetBool(v.option, n != 0);
            break;
        case OptionType::Integer:
            if (ParseSettingInt(*stored, n))
                settings.SetInt(v.option, n);
            break;
        case OptionType::String:
            settings.SetString(v.option, *stored);
            break;
        }
    }
}

std::string DeleteRegistryStore(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return std::strerror(errno);
    // Remove the product folder, then the vendor folder, each only when empty.
    std::string folder = ParentOf(path);
    for (int level = 0; level < 2 && !folder.empty(); ++level) {
        const std::string name = BaseName(folder);
        const char* expected =
            level == 0 ? apptexts::kRegistryProductFolder : apptexts::kRegistryVendorFolder;
        if (name != expected || ::rmdir(folder.c_str()) != 0)
            break;
        folder = ParentOf(folder);
    }
    return {};
}
