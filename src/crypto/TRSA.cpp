#include "crypto/TRSA.h"
#include "crypto/CryptoMessages.h"
#include "crypto/SystemRandom.h"
#include "crypto/TPrimeFactory.h"
#include <stdexcept>

namespace msg = crypto_messages;

namespace {
template <typename T> struct WipeOnExit {
    T& object;
    ~WipeOnExit() { SecureWipe(&object, sizeof(object)); }
};

void WipeString(std::string& s) {
    if (!s.empty())
        SecureWipe(s.data(), s.size());
    s.clear();
}

// Key-text byte order: words ascending, each word most significant byte first.
void AppendKeyWords(std::string& out, const BigWord* a, int words) {
    for (int i = 0; i < words; ++i) {
        out += static_cast<char>(a[i] >> 24);
        out += static_cast<char>(a[i] >> 16);
        out += static_cast<char>(a[i] >> 8);
        out += static_cast<char>(a[i]);
    }
}

void ReadKeyWords(BigWord* a, const std::string& bytes) {
    const auto at = [&](std::size_t j) {
        return static_cast<BigWord>(static_cast<unsigned char>(bytes[j]));
    };
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
        a[i / 4] = (at(i) << 24) | (at(i + 1) << 16) | (at(i + 2) << 8) | at(i + 3);
}

std::string KeyText(const BigWord* first, int firstWords, const BigWord* second, int secondWords) {
    std::string a, b;
    AppendKeyWords(a, first, firstWords);
    AppendKeyWords(b, second, secondWords);
    std::string text = Base64Encode(a) + ":" + Base64Encode(b);
    WipeString(a);
    WipeString(b);
    return text;
}
} // namespace

TRSA::TRSA() : status_(msg::kUsing512) {}

TRSA::~TRSA() {
    ClearKeys();
}

TRSA::TRSA(const TRSA& other) = default;
TRSA& TRSA::operator=(const TRSA& other) = default;

void TRSA::SetStatus(const std::string& text) {
    status_ = text;
    if (OnStatusUpdate)
        OnStatusUpdate(*this);
}

void TRSA::SetKeyBits(TKeyBits bits) {
    keyBits_ = bits;
    switch (bits) {
    case kb1024:
        keyWords_ = 32;
        SetStatus(msg::kUsing1024);
        break;
    case kb2048:
        keyWords_ = 64;
        SetStatus(msg::kUsing2048);
        break;
    default:
        keyBits_ = kb0512;
        keyWords_ = 16;
        SetStatus(msg::kUsing512);
        break;
    }
}

void TRSA::ParseKeyText(const std::string& text, BigNum& first, BigNum& second, bool isPublic) {
    const std::size_t k = static_cast<std::size_t>(ModulusBytes());
    const char* notValid = isPublic ? msg::kPublicKeyNotValid : msg::kPrivateKeyNotValid;
    const char* badLength =
        isPublic ? msg::kPublicKeyIncorrectLength : msg::kPrivateKeyIncorrectLength;
    std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        SetStatus(notValid);
        throw EInvalidKey(notValid);
    }
    std::string part = Base64Decode(text.substr(0, colon));
    if (part.size() > k) {
        WipeString(part);
        SetStatus(badLength);
        throw EInvalidKey(badLength);
    }
    BigNum a{}, b{};
    WipeOnExit<BigNum> wa{a}, wb{b};
    ReadKeyWords(a.data(), part);
    WipeString(part);
    part = Base64Decode(text.substr(colon + 1));
    if (part.size() != k) {
        WipeString(part);
        SetStatus(badLength);
        throw EInvalidKey(badLength);
    }
    ReadKeyWords(b.data(), part);
    WipeString(part);
    // SECURITY: a degenerate key would "encipher" into the plain text or into
    // garbage (n = 0 gives nothing but zero bytes); refuse it like a malformed one.
    const BigNum& modulus = isPublic ? b : a;
    // An even modulus, or one with fewer significant words than the key size
    // (which also covers n <= 1), is no product of two primes of that size.
    const bool badModulus =
        (modulus[0] & 1u) == 0 || modulus[static_cast<std::size_t>(keyWords_ - 1)] == 0;
    const bool badExponent = isPublic && BigDigits(a.data(), keyWords_) <= 1 && a[0] <= 1;
    if (badModulus || badExponent) {
        SetStatus(notValid);
        throw EInvalidKey(notValid);
    }
    first = a;
    second = b;
}

void TRSA::ForgetFactors() {
    crt_.Clear();
    crtTriedWords_ = 0;
}

// m = c^d mod n. Through the primes when the loaded exponents factor the
// modulus (same number, some four times faster); the plain exponentiation
// otherwise, for example for a public and a private key of different pairs.
void TRSA::PrivatePower(BigWord* m, const BigWord* c, int words) {
    if (crtTriedWords_ != words) {
        crt_.Clear();
        crtTriedWords_ = words;
        if (publicKeyLoaded_) {
            try {
                RsaCrtFactor(crt_, e_.data(), d_.data(), n_.data(), words);
            } catch (const std::exception&) {
                crt_.Clear(); // no random source: the plain method still works
            }
        }
    }
    if (crt_.words == words)
        RsaCrtPower(m, c, crt_);
    else
        BigModExp(m, c, d_.data(), n_.data(), words);
}

void TRSA::SetPublicKey(const std::string& text) {
    ForgetFactors();
    e_.fill(0);
    n_.fill(0);
    publicKeyLoaded_ = false;
    ParseKeyText(text, e_, n_, true);
    publicKey_ = text;
    publicKeyLoaded_ = true;
    SetStatus(msg::kPublicKeyLoadedOK);
}

void TRSA::SetPrivateKey(const std::string& text) {
    ForgetFactors();
    n_.fill(0);
    d_.fill(0);
    privateKeyLoaded_ = false;
    ParseKeyText(text, n_, d_, false);
    if (&text != &privateKey_) {
        WipeString(privateKey_);
        privateKey_ = text;
    }
    privateKeyLoaded_ = true;
    SetStatus(msg::kPrivateKeyLoadedOK);
}

void TRSA::SetSignature(const std::string& text) {
    signatureValue_.fill(0);
    signatureLoaded_ = false;
    std::string bytes = Base64Decode(text);
    if (bytes.size() != static_cast<std::size_t>(ModulusBytes())) {
        WipeString(bytes);
        SetStatus(msg::kSignatureIncorrectLength);
        throw EConvertError(msg::kSignatureIncorrectLength);
    }
    ReadKeyWords(signatureValue_.data(), bytes);
    WipeString(bytes);
    signature_ = text;
    signatureLoaded_ = true;
}

std::string TRSA::EncryptString(const std::string& plain) {
    if (!publicKeyLoaded_) {
        SetStatus(msg::kPublicKeyNotLoaded);
        throw ENoKeyLoaded(msg::kPublicKeyNotLoaded);
    }
    const int words = keyWords_;
    const std::size_t k = static_cast<std::size_t>(ModulusBytes());
    const std::size_t b = k - 1;
    const std::size_t pad = b - plain.size() % b;
    const std::size_t blocks = (plain.size() + pad) / b;

    std::string cipher(blocks * k, '\0');
    BigNum m, c;
    WipeOnExit<BigNum> wm{m}, wc{c};
    unsigned char block[256];
    WipeOnExit<decltype(block)> wblock{block};
    for (std::size_t blk = 0; blk < blocks; ++blk) {
        for (std::size_t j = 0; j < b; ++j) {
            std::size_t pos = blk * b + j;
            block[j] = pos < plain.size() ? static_cast<unsigned char>(plain[pos])
                                          : static_cast<unsigned char>(pad);
        }
        block[b] = 0;
        m.fill(0);
        for (std::size_t j = 0; j < k; ++j)
            m[j / 4] |= static_cast<BigWord>(block[j]) << (8 * (j % 4));
        BigModExp(c.data(), m.data(), e_.data(), n_.data(), words);
        for (std::size_t j = 0; j < k; ++j)
            cipher[blk * k + j] = static_cast<char>(c[j / 4] >> (8 * (j % 4)));
    }
    return Base64Encode(cipher);
}

std::string TRSA::DecryptString(const std::string& cipherText) {
    if (!privateKeyLoaded_) {
        SetStatus(msg::kPrivateKeyNotLoaded);
        throw ENoKeyLoaded(msg::kPrivateKeyNotLoaded);
    }
    std::string bytes;
    try {
        bytes = Base64Decode(cipherText);
    } catch (const EConvertError&) {
        SetStatus(msg::kStringNotValid);
        throw EConvertError(msg::kStringNotValid);
    }
    const int words = keyWords_;
    const std::size_t k = static_cast<std::size_t>(ModulusBytes());
    const std::size_t b = k - 1;
    const std::size_t blocks = bytes.size() / k;
    if (blocks == 0) {
        SetStatus(msg::kStringNotValid);
        throw EConvertError(msg::kStringIncorrectLength);
    }
    std::string plain(blocks * b, '\0');
    BigNum m, c;
    WipeOnExit<BigNum> wm{m}, wc{c};
    for (std::size_t blk = 0; blk < blocks; ++blk) {
        c.fill(0);
        for (std::size_t j = 0; j < k; ++j)
            c[j / 4] |= static_cast<BigWord>(static_cast<unsigned char>(bytes[blk * k + j]))
                        << (8 * (j % 4));
        PrivatePower(m.data(), c.data(), words);
        for (std::size_t j = 0; j < b; ++j)
            plain[blk * b + j] = static_cast<char>(m[j / 4] >> (8 * (j % 4)));
    }
    const std::size_t pad = static_cast<unsigned char>(plain.back());
    std::string result = pad > plain.size() ? std::string() : plain.substr(0, plain.size() - pad);
    WipeString(plain);
    return result;
}

void TRSA::GenerateKeys(std::span<const std::uint32_t> seedA,
                        std::span<const std::uint32_t> seedB) {
    const int words = keyWords_;
    const int h = words / 2;
    if (seedA.size() < static_cast<std::size_t>(h) || seedB.size() < static_cast<std::size_t>(h))
        throw std::invalid_argument(msg::kSeedsTooShort);

    BigNum start, p, q, p1, q1, n, e, d, phi, g, one;
    BigDouble product;
    WipeOnExit<BigNum> w1{start}, w2{p}, w3{q}, w4{p1}, w5{q1}, w6{n}, w7{e}, w8{d}, w9{phi},
        w10{g};
    WipeOnExit<BigDouble> w11{product};
    start.fill(0);
    p.fill(0);
    q.fill(0);
    p1.fill(0);
    q1.fill(0);
    n.fill(0);
    e.fill(0);
    d.fill(0);
    phi.fill(0);
    g.fill(0);
    one.fill(0);
    product.fill(0);

    SetStatus(msg::kFindingFirstPrime);
    random_.Randomize();
    {
        TPrimeFactory factory(random_);
        for (int i = 0; i < h; ++i)
            start[i] = random_.RandomWord() ^ seedA[i];
        start[h - 1] |= 0x80000000u;
        start[0] |= 1u;
        factory.FindPrime(p.data(), start.data(), h);

        SetStatus(msg::kFindingSecondPrime);
        for (int i = 0; i < h; ++i)
            start[i] = random_.RandomWord() ^ seedB[i];
        start[h - 1] |= 0x80000000u;
        start[0] |= 1u;
        factory.FindPrime(q.data(), start.data(), h);
    }

    SetStatus(msg::kCalculatingKeys);
    if (BigCmp(p.data(), q.data(), h) < 0)
        std::swap(p, q);
    if (OnPrimesFound)
        OnPrimesFound(p, q, h);
    BigMul(product.data(), p.data(), q.data(), h);
    BigCopy(n.data(), product.data(), words);

    BigSubWord(p1.data(), p.data(), 1, h);
    BigSubWord(q1.data(), q.data(), 1, h);
    BigSetWord(one.data(), h, 1);
    BigSetWord(e.data(), h, 50001);
    for (;;) {
        BigGcd(g.data(), e.data(), p1.data(), h);
        if (BigCmp(g.data(), one.data(), h) == 0) {
            BigGcd(g.data(), e.data(), q1.data(), h);
            if (BigCmp(g.data(), one.data(), h) == 0)
                break;
        }
        BigAddWord(e.data(), e.data(), 2, h);
    }
    BigMul(product.data(), p1.data(), q1.data(), h);
    BigCopy(phi.data(), product.data(), words);
    BigModInv(d.data(), e.data(), phi.data(), words);

    ForgetFactors();
    e_ = e;
    n_ = n;
    d_ = d;
    publicKeyLoaded_ = true;
    privateKeyLoaded_ = true;
    WipeString(publicKey_);
    WipeString(privateKey_);
    publicKey_ = KeyText(e_.data(), BigDigits(e_.data(), words), n_.data(), words);
    privateKey_ = KeyText(n_.data(), words, d_.data(), words);
    SetStatus(msg::kIdle);
}

void TRSA::GenerateKeys() {
    std::vector<std::uint32_t> a = SystemRandomWords(static_cast<std::size_t>(keyWords_) + 1);
    std::vector<std::uint32_t> b = SystemRandomWords(static_cast<std::size_t>(keyWords_) + 1);
    try {
        GenerateKeys(a, b);
    } catch (...) {
        SecureWipe(a.data(), a.size() * sizeof(std::uint32_t));
        SecureWipe(b.data(), b.size() * sizeof(std::uint32_t));
        throw;
    }
    SecureWipe(a.data(), a.size() * sizeof(std::uint32_t));
    SecureWipe(b.data(), b.size() * sizeof(std::uint32_t));
}

void TRSA::ClearKeys() {
    ForgetFactors();
    SecureWipe(e_.data(), sizeof(e_));
    SecureWipe(n_.data(), sizeof(n_));
    SecureWipe(d_.data(), sizeof(d_));
    SecureWipe(signatureValue_.data(), sizeof(signatureValue_));
    WipeString(publicKey_);
    WipeString(privateKey_);
    WipeString(signature_);
    publicKeyLoaded_ = false;
    privateKeyLoaded_ = false;
    signatureLoaded_ = false;
}
