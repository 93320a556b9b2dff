#include "tools/FtpSessionSetup.h"

#include "app/ClientSettings.h"
#include "app/ProgramKeySettings.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "app/XdgPaths.h"
#include "base/PathText.h"
#include "client/SiteStore.h"
#include "crypto/TRSA.h"
#include "tools/FtpPrompts.h"
#include "tools/FtpTexts.h"

#include <climits>
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
                         ClientDefaults& defaults) {
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
    // The settings' passive choice only adds to the site's; an explicit
    // --active on the command line wins over it.
    defaults.passiveMode = defaults.passiveMode && !(o.passiveGiven && !o.passive);
    return {};
}

std::string BuildSite(const FtpToolOptions& o, const std::string& dataFolder, SiteRecord& site) {
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
        if (url.userGiven)
            site.UserName = url.user;
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
        site.LoginType = url.user == kDefaultUser ? 2 : 1;
    }
    if (site.Host.empty())
        return kSiteWithoutHost + site.Name;
    if (site.UserName.empty())
        site.UserName = kDefaultUser;
    if (site.Password.empty()) {
        // An anonymous login gets the usual placeholder; any other login
        // without a password could only be refused by the server.
        if (site.UserName != kDefaultUser)
            return kNoPasswordPrefix + site.UserName + kNoPasswordSuffix;
        site.Password = kDefaultPassword;
    }
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
                                  TRSA& rsa1) {
    FtpSessionSetup setup;
    setup.error = LoadDefaults(options, dataFolder, rsa1, setup.defaults);
    if (setup.error.empty())
        setup.error = BuildSite(options, dataFolder, setup.site);
    return setup;
}
