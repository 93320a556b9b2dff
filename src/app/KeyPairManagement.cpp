#include "app/KeyPairManagement.h"

#include "app/AppTexts.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "crypto/KeyAnnouncement.h"

namespace {
// The two refusals shared by generating and clearing; stops an idle server.
std::string Refusal(const KeyPairGuard& guard, const char* serverActive, const char* clientActive) {
    if (guard.serverListening && guard.serverClients > 0)
        return serverActive;
    if (guard.serverListening && guard.stopListening)
        guard.stopListening();
    if (guard.clientConnected)
        return clientActive;
    return {};
}
} // namespace

// The stored choices are the announced texts without their leading zero.
std::string KeyBitsChoiceText(TKeyBits bits) {
    return std::to_string(std::stoi(KeyBitsText(bits)));
}

std::string SymKeyLengthChoiceText(TSymKeyLength length) {
    return std::to_string(std::stoi(SymKeyLengthText(length)));
}

std::string GenerateRefusal(const KeyPairGuard& guard) {
    return Refusal(guard, apptexts::kGenerateWhileServerActive,
                   apptexts::kGenerateWhileClientActive);
}

std::string ClearRefusal(const KeyPairGuard& guard) {
    return Refusal(guard, apptexts::kClearWhileServerActive, apptexts::kClearWhileClientActive);
}

void StoreGeneratedPair(Settings& settings, const TRSA& pair) {
    settings.SetString(keys::CurrentKeyLength, SymKeyLengthText(pair.SymKeyLength()));
    settings.SetString(keys::CurrentKeyBits, KeyBitsText(pair.KeyBits()));
    settings.SetString(keys::PublicKey, pair.PublicKey());
    settings.SetString(keys::PrivateKey, pair.PrivateKey());
    settings.SetStoredKeysInvalid(false);
    settings.SetCommandPortEncryption(apptexts::kEncryptionReady);
}

std::string GenerateKeyPair(Settings& settings, TRSA& rsa1, const KeyPairGuard& guard) {
    std::string refused = GenerateRefusal(guard);
    if (!refused.empty())
        return refused;
    rsa1.GenerateKeys();
    StoreGeneratedPair(settings, rsa1);
    return {};
}

std::string ClearKeyPair(Settings& settings, TRSA& rsa1, const KeyPairGuard& guard) {
    std::string refused = ClearRefusal(guard);
    if (!refused.empty())
        return refused;
    rsa1.ClearKeys();
    settings.SetString(keys::PublicKey, "");
    settings.SetString(keys::PrivateKey, "");
    settings.SetStoredKeysInvalid(false);
    // Without a pair the program no longer offers command encryption.
    settings.SetCommandPortEncryption(apptexts::kEncryptionDisabled);
    return {};
}

void ChooseKeyBits(Settings& settings, TRSA& rsa1, TKeyBits bits) {
    rsa1.SetKeyBits(bits);
    settings.SetString(keys::RSAKeyBits, KeyBitsChoiceText(bits));
}

void ChooseSymKeyLength(Settings& settings, TRSA& rsa1, TSymKeyLength length) {
    rsa1.SetSymKeyLength(length);
    settings.SetString(keys::SymKeyLength, SymKeyLengthChoiceText(length));
}
