#include "tools/FtpSessionSetup.h"

#include "app/ClientSettings.h"
#include "app/ProgramKeySettings.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "app/XdgPaths.h"
#include "base/PathText.h"
#include "client/SiteStore.h"
#include "crypto/TRSA.h"
#include "tools/FtpPasswords.h"
#include "tools/FtpPrompts.h"
#include "tools/FtpTexts.h"

#include <climits>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ftptool_texts;

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) + "/" + path : path;
}

// Loads the settings without writing anything: a missing file is simply not
// read (no key pair, every option at its initial value).
std::string LoadDefaults(const FtpToolOptions& o, const std::string& dataFolder, TRSA& rsa1,
                         ClientDefaults& defaults, int& parallel) {
    Settings settings(dataFolder);
    std::string path;
    if (o.settingsFile)
        path = SettingsPathFor(dataFolder, {*o.settingsFile});
    else if (!dataFolder.empty())
        path = settings.SettingsPath();
    if (o.settingsFile && !IsFile(path))
        return kNoSettingsFile + path;
    ProgramKeys keys;
    if (!path.empty() && IsFile(path)) {
        settings.SetSettingsPath(path);
        settings.LoadSettingsFile();
        if (!settings.LoadErrors().empty())
            return settings.LoadErrors().front();
        LoadProgramKeys(settings, keys);
    } else {
        AnnounceStoredSizes(settings, keys);
    }
    rsa1 = keys.RSA1;
    defaults = ClientDefaultsFromSettings(settings, keys);
    parallel = settings.GetInt(::keys::MaxSimultaneousTransfers);
    // The settings' passive choice only adds to the site's; an explicit
    // --active on the command line wins over it.
    defaults.passiveMode = defaults.passiveMode && !(o.passiveGiven && !o.passive);
    return {};
}

// Completes the user and the password that neither the address nor the
// stored site gave, in the order --help documents: the environment, then
// ~/.netrc, then the prompt; an anonymous login falls back to the
// placeholder address.
std::string CompleteLogin(SiteRecord& site, const AskPassword& askPassword, std::string& notice) {
    std::optional<NetrcLookup> netrc;
    auto lookUp = [&] {
        if (!netrc) {
            netrc = LookUpNetrc(site.Host, site.UserName);
            notice = netrc->notice;
        }
        return netrc->entry;
    };
    if (site.UserName.empty()) {
        auto entry = lookUp();
        site.UserName = entry && entry->login ? *entry->login : kDefaultUser;
        if (!entry || !entry->login)
            netrc.reset(); // look again for the anonymous login's entry
    }
    if (!site.Password.empty())
        return {};
    const bool anonymous = site.UserName == kDefaultUser;
    const char* variable = ::getenv(kPasswordVariable);
    if (!anonymous && variable && *variable) {
        site.Password = variable;
        return {};
    }
    if (auto entry = lookUp(); entry && entry->password && !entry->password->empty()) {
        site.Password = *entry->password;
        return {};
    }
    if (anonymous) {
        site.Password = kDefaultPassword;
        return {};
    }
    if (askPassword) {
        auto typed = askPassword(kPasswordPromptPrefix + site.UserName + "@" + site.Host +
                                 kPasswordPromptSuffix);
        if (typed && !typed->empty()) {
            site.Password = *typed;
            return {};
        }
    }
    return kNoPasswordPrefix + site.UserName + kNoPasswordSuffix;
}

std::string BuildSite(const FtpToolOptions& o, const std::string& dataFolder, SiteRecord& site,
                      const AskPassword& askPassword, std::string& notice) {
    const FtpUrl& url = o.url;
    if (o.site) {
        if (dataFolder.empty())
            return kSiteNeedsFolder;
        std::ostringstream ignored;
        FtpNoPrompts prompts(ignored);
        SiteStore store(dataFolder, prompts);
        std::optional<SiteRecord> found = store.Find(*o.site);
        if (!found)
            return kNoSuchSite + *o.site + kInStore + store.StorePath();
        site = *found;
        if (url.given)
            site.Host = url.host;
        if (url.portGiven)
            site.Port = url.port;
        // The stored password belongs to the stored user only.
        if (url.userGiven && url.user != site.UserName) {
            site.UserName = url.user;
            site.Password.clear();
        }
        if (url.passwordGiven)
            site.Password = url.password;
        if (o.passiveGiven)
            site.Passive = o.passive;
    } else {
        site.Name = url.host;
        site.Host = url.host;
        site.Port = url.port;
        site.UserName = url.user;
        site.Password = url.password;
        site.Passive = o.passive;
    }
    if (site.Host.empty())
        return kSiteWithoutHost + site.Name;
    // A login without a password could only be refused by the server:
    // refused here, before anything is sent.
    if (std::string refused = CompleteLogin(site, askPassword, notice); !refused.empty())
        return refused;
    if (!o.site)
        site.LoginType = site.UserName == kDefaultUser ? 2 : 1;
    if (!o.socksHost.empty()) {
        site.SocksServer = o.socksHost;
        site.SocksPort = o.socksPort;
        site.SocksUsername = o.socksUser;
        site.SocksPassword = o.socksPassword;
        site.NoSocks = false;
    }
    if (o.key) {
        site.LoginType = 3;
        site.EncryptionKey = *o.key;
    }
    if (o.mandatory)
        site.EncryptionMandatory = true;
    if (o.noRsa)
        site.NoRSA = true;
    return {};
}

} // namespace

FtpDataFolder FindFtpDataFolder(const std::optional<std::string>& dataDir) {
    FtpDataFolder folder;
    if (dataDir) {
        const std::string path = WithTrailingSlash(Absolute(*dataDir));
        if (!IsFolder(path))
            folder.error = kNoDataFolder + *dataDir;
        else
            folder.path = path;
        return folder;
    }
    const std::string base = XdgDataHome();
    if (!base.empty() && IsFolder(base + "vexa2/"))
        folder.path = base + "vexa2/";
    return folder;
}

FtpSessionSetup PrepareFtpSession(const FtpToolOptions& options, const std::string& dataFolder,
                                  TRSA& rsa1, const AskPassword& askPassword) {
    FtpSessionSetup setup;
    setup.error = LoadDefaults(options, dataFolder, rsa1, setup.defaults, setup.parallel);
    if (setup.error.empty())
        setup.error = BuildSite(options, dataFolder, setup.site, askPassword, setup.notice);
    return setup;
}
