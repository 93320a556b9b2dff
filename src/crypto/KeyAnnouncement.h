#pragma once
#include "crypto/TRSA.h"

#include <optional>
#include <string>

// The fixed-width texts that announce a key pair's sizes on the wire and in
// the settings: "064".."256" for the symmetric length, "0512".."2048" for the
// RSA key size.
std::string SymKeyLengthText(TSymKeyLength length);
std::string KeyBitsText(TKeyBits bits);
std::optional<TSymKeyLength> SymKeyLengthFromText(const std::string& text);
std::optional<TKeyBits> KeyBitsFromText(const std::string& text);

// Loads a peer's announced public key into rsa: sizes from the texts (an
// unknown text leaves that property as it is), then the key text.
void LoadPeerKey(TRSA& rsa, const std::string& keyText, const std::string& lengthText,
                 const std::string& bitsText);

// A command line is plain when its first three bytes are capitals and its
// fourth is a space or a capital.
bool LooksLikePlainCommand(const std::string& line);
// A reply line is plain when it begins with three digits and a space or '-'.
bool LooksLikePlainReply(const std::string& line);
// True when text can be an enciphered line for a modulus of modulusBytes:
// only key-text alphabet characters, decoding to whole cipher blocks.
bool IsWellFormedCiphertext(const std::string& text, int modulusBytes);
