// The part of loading the settings that touches the program's key pair.
#include "app/AppTexts.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "crypto/TRSA.h"

#include <exception>

void Settings::LoadSettings(TRSA& rsa1) {
    LoadSettingsFile();
    LoadKeyPair(rsa1);
}

void Settings::LoadKeyPair(TRSA& rsa1) {
    const std::string bits = GetString(keys::RSAKeyBits);
    if (bits == "2048")
        rsa1.SetKeyBits(kb2048);
    else if (bits == "1024")
        rsa1.SetKeyBits(kb1024);
    else if (bits == "512")
        rsa1.SetKeyBits(kb0512);

    const std::string length = GetString(keys::SymKeyLength);
    if (length == "64")
        rsa1.SetSymKeyLength(sk64);
    else if (length == "128")
        rsa1.SetSymKeyLength(sk128);
    else if (length == "192")
        rsa1.SetSymKeyLength(sk192);
    else if (length == "256")
        rsa1.SetSymKeyLength(sk256);

    storedKeysInvalid_ = false;
    const std::string publicKey = GetString(keys::PublicKey);
    const std::string privateKey = GetString(keys::PrivateKey);
    if (publicKey.empty() && privateKey.empty())
        return;
    if (!publicKey.empty() && !privateKey.empty()) {
        try {
            rsa1.SetPrivateKey(privateKey);
            rsa1.SetPublicKey(publicKey);
            SetCommandPortEncryption(apptexts::kEncryptionReady);
            return;
        } catch (const std::exception&) {
            // A key text that does not load leaves the program without a key pair.
        }
    }
    // The texts stay in the settings, so an exit does not erase them: they
    // may be mended by hand, or come from a newer program.
    rsa1.ClearKeys();
    storedKeysInvalid_ = true;
    SetCommandPortEncryption(apptexts::kEncryptionDisabled);
}
