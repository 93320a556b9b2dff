#include "app/ClientSettings.h"

#include "app/Settings.h"
#include "app/SettingsKeys.h"

ClientDefaults ClientDefaultsFromSettings(const Settings& settings,
                                          const ProgramKeys& programKeys) {
    ClientDefaults defaults;
    // Only a pair that loaded is announced.
    defaults.publicKey = programKeys.PublicKeyText();
    defaults.privateKey =
        programKeys.RSA1.PrivateKeyLoaded() ? programKeys.RSA1.PrivateKey() : std::string();
    defaults.keyLengthText = programKeys.CurrentKeyLength;
    defaults.keyBitsText = programKeys.CurrentKeyBits;
    defaults.socksServer = settings.GetString(keys::SocksServer);
    defaults.socksPort = settings.GetString(keys::SocksPort);
    defaults.socksUsername = settings.GetString(keys::SocksUsername);
    defaults.socksPassword = settings.GetString(keys::SocksPassword);
    defaults.passiveMode = settings.GetBool(keys::PassiveMode);
    defaults.timeoutSeconds = settings.GetInt(keys::ClientTimeout);
    return defaults;
}
