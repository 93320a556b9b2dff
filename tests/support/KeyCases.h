#pragma once
// Key texts for the entry points that load keys: the degenerate forms every
// loader must refuse, and a generated pair whose modulus is one bit short of
// its size, which every loader must take.
#include "crypto/TRSA.h"

#include <string>
#include <vector>

namespace testing_support {

struct KeyCase {
    const char* what;
    std::string publicKey;
    std::string privateKey;
};

// Degenerate variants of a good pair: the modulus replaced by 0, 1, an even
// number, a number whose top word is zero, and the public exponent by 0 and 1.
inline std::vector<KeyCase> DegenerateKeys(const TRSA& good) {
    const std::string pub = good.PublicKey(), priv = good.PrivateKey();
    const std::string n = Base64Decode(pub.substr(pub.find(':') + 1));
    const std::string d = Base64Decode(priv.substr(priv.find(':') + 1));
    const std::string e = pub.substr(0, pub.find(':'));
    // Key-text bytes: words ascending, each word's most significant byte first.
    std::string zero(n.size(), '\0'), one = zero, even = n, shortTop = n;
    one[3] = 1;
    even[3] = static_cast<char>(even[3] & ~1);
    for (std::size_t i = n.size() - 4; i < n.size(); ++i)
        shortTop[i] = 0;
    auto pair = [&](const char* what, const std::string& exponent, const std::string& modulus) {
        return KeyCase{what, exponent + ":" + Base64Encode(modulus),
                       Base64Encode(modulus) + ":" + Base64Encode(d)};
    };
    return {pair("modulus 0", e, zero),
            pair("modulus 1", e, one),
            pair("even modulus", e, even),
            pair("top word of the modulus zero", e, shortTop),
            pair("exponent 0", Base64Encode(std::string(4, '\0')), n),
            pair("exponent 1", Base64Encode(std::string("\0\0\0\1", 4)), n)};
}

// A fresh pair whose modulus has its top bit clear (about every second
// generated pair).
inline TRSA OneBitShortPair(TKeyBits bits) {
    for (;;) {
        TRSA rsa;
        rsa.SetKeyBits(bits);
        rsa.GenerateKeys();
        if ((rsa.Modulus()[static_cast<std::size_t>(rsa.KeyWords() - 1)] & 0x80000000u) == 0)
            return rsa;
    }
}

} // namespace testing_support
