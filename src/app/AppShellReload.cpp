#include "app/AppShell.h"

#include "app/AppTexts.h"
#include "app/SettingsKeys.h"

#include <unistd.h>

void AppShell::Reload() {
    logger_.WriteLog(logBoth, apptexts::kReloadBegin + settings_.SettingsPath(), colours::clBlue);
    const std::string runningPort = settings_.GetString(keys::ServerPort);
    const std::string publicKey = settings_.GetString(keys::PublicKey);
    const std::string privateKey = settings_.GetString(keys::PrivateKey);

    // A settings file that vanished is not recreated from defaults: the
    // options in use stay, and are written back at exit as always.
    if (::access(settings_.SettingsPath().c_str(), F_OK) != 0) {
        logger_.WriteLog(logBoth, settings_.SettingsPath() + apptexts::kReloadSettingsMissing,
                         colours::clRed);
    } else {
        // Every changed option goes through SettingChanged, so the user
        // limit and the idle timer apply at once.
        settings_.LoadSettingsFile();
        for (const std::string& error : settings_.LoadErrors())
            logger_.WriteLog(logBoth, error, colours::clRed);
        for (const std::string& correction : settings_.LoadCorrections())
            logger_.WriteLog(logBoth, correction, colours::clRed);
        ClearMissingMessagePaths();
    }

    accountFiles_->StartUp();
    lists_.Load(dataFolder_);

    const std::string storedPort = settings_.GetString(keys::ServerPort);
    if (server_.Active() && storedPort != runningPort)
        logger_.WriteLog(logBoth, apptexts::ReloadPortKept(runningPort, storedPort),
                         colours::clRed);
    // A session must never see the key pair change under it.
    if (settings_.GetString(keys::PublicKey) != publicKey ||
        settings_.GetString(keys::PrivateKey) != privateKey)
        logger_.WriteLog(logBoth, apptexts::kReloadKeysKept, colours::clRed);
    logger_.WriteLog(logBoth, apptexts::kReloadDone, colours::clBlue);
}
