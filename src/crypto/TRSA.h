#pragma once
#include "crypto/BigNum.h"
#include "crypto/CryptoErrors.h"
#include "crypto/PseudoRandom.h"
#include "crypto/RsaCrt.h"
#include <cstdint>
#include <functional>
#include <span>
#include <string>

enum TKeyBits { kb0512, kb1024, kb2048 };
enum TSymKeyLength { sk64, sk128, sk192, sk256 };

// One RSA key pair (or only a public key) with its printable key texts.
// Key texts: two numbers in the key-text base64 alphabet joined by ':'
// (public: e then n; private: n then d). Texts are byte strings.
// Not thread-safe; one instance may be used on a worker thread on its own.
class TRSA {
public:
    TRSA();
    ~TRSA();
    TRSA(const TRSA& other);
    TRSA& operator=(const TRSA& other);

    // Key size; also sets KeyWords and Status. Does not touch a loaded key.
    void SetKeyBits(TKeyBits bits);
    TKeyBits KeyBits() const { return keyBits_; }
    // Announced to peers only; never used here.
    void SetSymKeyLength(TSymKeyLength length) { symKeyLength_ = length; }
    TSymKeyLength SymKeyLength() const { return symKeyLength_; }
    int KeyWords() const { return keyWords_; } // 16, 32 or 64
    int ModulusBytes() const { return keyWords_ * 4; }

    // Parse and load a key text. On failure the numbers stay zero, the flag
    // clear, the stored text unchanged: EInvalidKey or EConvertError.
    void SetPublicKey(const std::string& text);
    const std::string& PublicKey() const { return publicKey_; }
    void SetPrivateKey(const std::string& text);
    const std::string& PrivateKey() const { return privateKey_; }
    void SetSignature(const std::string& text);
    const std::string& Signature() const { return signature_; }
    const std::string& Status() const { return status_; }

    bool PublicKeyLoaded() const { return publicKeyLoaded_; }
    bool PrivateKeyLoaded() const { return privateKeyLoaded_; }
    bool SignatureLoaded() const { return signatureLoaded_; }

    // Plain bytes -> ciphertext text; ENoKeyLoaded without a public key.
    std::string EncryptString(const std::string& plain);
    // Ciphertext text -> plain bytes; ENoKeyLoaded without a private key,
    // EConvertError for text that is not a ciphertext.
    std::string DecryptString(const std::string& cipher);

    // New key pair of KeyBits size. Each seed holds at least KeyWords/2 words
    // (callers pass KeyWords + 1), best from SystemRandomWords.
    void GenerateKeys(std::span<const std::uint32_t> seedA, std::span<const std::uint32_t> seedB);
    // New key pair with seeds drawn from the system's cryptographic source.
    void GenerateKeys();
    // Wipes every number and text, clears the loaded flags.
    void ClearKeys();

    // Fired after every change of Status.
    std::function<void(TRSA& sender)> OnStatusUpdate;
    // Test seam: sees p, q (h words each) during GenerateKeys, before they
    // are wiped. Never set outside tests.
    std::function<void(const BigNum& p, const BigNum& q, int primeWords)> OnPrimesFound;

    // The loaded numbers (KeyWords words significant).
    const BigNum& Exponent() const { return e_; }
    const BigNum& Modulus() const { return n_; }
    const BigNum& PrivateExponent() const { return d_; }
    // True once DecryptString found the modulus factored by the loaded public
    // and private exponents and deciphers through the two primes.
    bool PrivateKeyFactored() const { return crt_.words != 0; }

private:
    void SetStatus(const std::string& text);
    void ParseKeyText(const std::string& text, BigNum& first, BigNum& second, bool isPublic);
    void ForgetFactors();
    void PrivatePower(BigWord* m, const BigWord* c, int words);

    TKeyBits keyBits_ = kb0512;
    TSymKeyLength symKeyLength_ = sk64;
    int keyWords_ = 16;
    std::string publicKey_;
    std::string privateKey_;
    std::string status_;
    std::string signature_;
    BigNum e_{};
    BigNum n_{};
    BigNum d_{};
    BigNum signatureValue_{};
    bool publicKeyLoaded_ = false;
    bool privateKeyLoaded_ = false;
    bool signatureLoaded_ = false;
    TPseudoRandom random_;
    // The modulus factored from e·d − 1 at the first decipherment after a
    // key was loaded, for KeyWords of that time (0: not tried yet).
    RsaCrtKey crt_;
    int crtTriedWords_ = 0;
};

// Base64 of the key texts: RFC 4648 grouping over the XX alphabet
// "+-0-9A-Za-z", no padding. Decode raises EConvertError on a bad character.
std::string Base64Encode(const std::string& bytes);
std::string Base64Decode(const std::string& text);
