#pragma once
#include "crypto/PseudoRandom.h"

#include <array>
#include <cstdint>
#include <string>

// The key-confirmation file: 4092 filler bytes enciphered with Blowfish CBC
// under an account's key text, then the CRC-32 of the filler before
// encipherment, little-endian. A client that deciphers it to the same CRC
// holds the same key.
inline constexpr std::size_t kKeyFileSize = 4096;
inline constexpr std::size_t kKeyFileFillerSize = 4092;
using TKeyFile = std::array<std::uint8_t, kKeyFileSize>;

// Builds a key file for keyText (cut to 56 characters). random is re-seeded
// from the clock first, as the filler has always been drawn.
TKeyFile MakeKeyFile(const std::string& keyText, TPseudoRandom& random);

// True when the bytes are a whole key file that deciphers under keyText to
// its stored CRC.
bool KeyFileMatches(const std::string& bytes, const std::string& keyText);
