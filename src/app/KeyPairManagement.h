#pragma once
#include "crypto/TRSA.h"

#include <functional>
#include <string>

class Settings;

// What key pair changes depend on: a pair cannot change under connected
// users or a connected client; an idle listening server is stopped first.
struct KeyPairGuard {
    bool serverListening = false;
    int serverClients = 0;
    bool clientConnected = false;
    std::function<void()> stopListening;
};

// The refusal of a generation or of a clearing under the guard, or empty
// when it may go on; an idle listening server is stopped first.
std::string GenerateRefusal(const KeyPairGuard& guard);
std::string ClearRefusal(const KeyPairGuard& guard);

// Stores a freshly generated pair's texts and sizes in the settings' working
// copy and sets the "Command Port Encryption" indicator to "READY".
void StoreGeneratedPair(Settings& settings, const TRSA& pair);

// Generates a new pair into rsa1 (seed words from the system's random
// source) and stores its texts and sizes in the settings' working copy.
// Returns the refusal message, or empty on success.
std::string GenerateKeyPair(Settings& settings, TRSA& rsa1, const KeyPairGuard& guard);

// Clears rsa1 and the stored key texts. Returns the refusal, or empty.
std::string ClearKeyPair(Settings& settings, TRSA& rsa1, const KeyPairGuard& guard);

// The "RSA Key Bits" and "Key Length" choices: take effect on rsa1 at once
// and on the announced sizes at the next generation.
void ChooseKeyBits(Settings& settings, TRSA& rsa1, TKeyBits bits);
void ChooseSymKeyLength(Settings& settings, TRSA& rsa1, TSymKeyLength length);

// "512"/"1024"/"2048" and "64"/"128"/"192"/"256", as the choices are stored.
std::string KeyBitsChoiceText(TKeyBits bits);
std::string SymKeyLengthChoiceText(TSymKeyLength length);
