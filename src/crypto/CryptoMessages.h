#pragma once
// Every status, error and exception text of the crypto module, in one place.

namespace crypto_messages {
inline constexpr const char* kUsing512 = "TRSA using 512 bit key";
inline constexpr const char* kUsing1024 = "TRSA using 1024 bit key";
inline constexpr const char* kUsing2048 = "TRSA using 2048 bit key";

inline constexpr const char* kPublicKeyLoadedOK = "Public key loaded OK";
inline constexpr const char* kPrivateKeyLoadedOK = "Private key loaded OK";
inline constexpr const char* kPublicKeyNotLoaded = "Public key not loaded";
inline constexpr const char* kPrivateKeyNotLoaded = "Private key not loaded";
inline constexpr const char* kPublicKeyNotValid = "Public key not valid";
inline constexpr const char* kPrivateKeyNotValid = "Private key not valid";
inline constexpr const char* kPublicKeyIncorrectLength = "Public key has incorrect length";
inline constexpr const char* kPrivateKeyIncorrectLength = "Private key has incorrect length";
inline constexpr const char* kSignatureIncorrectLength = "Signature has incorrect length";
inline constexpr const char* kStringNotValid = "String not valid";
inline constexpr const char* kStringIncorrectLength = "String has incorrect length";
inline constexpr const char* kBase64InvalidCharacter =
    "Error converting from Base64 - invalid character";

inline constexpr const char* kFindingFirstPrime = "Finding first random prime";
inline constexpr const char* kFindingSecondPrime = "Finding second random prime";
inline constexpr const char* kCalculatingKeys = "Calculating keys";
inline constexpr const char* kIdle = "Idle";

inline constexpr const char* kBlowfishName = "Blowfish";
inline constexpr const char* kBlowfishInvalidKeySize = "Blowfish: Invalid key size - %d";
inline constexpr const char* kBlowfishNotInitialized = "Blowfish: Not initialized";

inline constexpr const char* kNoSystemRandom = "System random source failed";
inline constexpr const char* kSeedsTooShort =
    "GenerateKeys: seed arrays shorter than the prime size";
} // namespace crypto_messages
