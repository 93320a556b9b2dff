#pragma once
#include <exception>
#include <string>

// Failures of the crypto module. Each carries its exact message text in what().
class ECryptoError : public std::exception {
public:
    explicit ECryptoError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// An RSA operation needs a key that is not loaded.
class ENoKeyLoaded : public ECryptoError {
public:
    using ECryptoError::ECryptoError;
};

// A key text has no colon or a part of the wrong length.
class EInvalidKey : public ECryptoError {
public:
    using ECryptoError::ECryptoError;
};

// Text could not be converted (bad base64 character, ciphertext or signature
// of the wrong form).
class EConvertError : public ECryptoError {
public:
    using ECryptoError::ECryptoError;
};

// Misuse of a block cipher (bad key size, not initialised).
class EDCP_blockcipher : public ECryptoError {
public:
    using ECryptoError::ECryptoError;
};
