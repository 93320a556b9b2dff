#include "app/ProgramKeySettings.h"

#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "crypto/KeyAnnouncement.h"

void LoadProgramKeys(Settings& settings, ProgramKeys& programKeys) {
    settings.LoadKeyPair(programKeys.RSA1);
    AnnounceStoredSizes(settings, programKeys);
}

void AnnounceStoredSizes(const Settings& settings, ProgramKeys& programKeys) {
    const std::string storedLength = settings.GetString(keys::CurrentKeyLength);
    const std::string storedBits = settings.GetString(keys::CurrentKeyBits);
    programKeys.CurrentKeyLength = SymKeyLengthFromText(storedLength)
                                       ? storedLength
                                       : SymKeyLengthText(programKeys.RSA1.SymKeyLength());
    programKeys.CurrentKeyBits =
        KeyBitsFromText(storedBits) ? storedBits : KeyBitsText(programKeys.RSA1.KeyBits());
}
