#pragma once
#include "crypto/BigNum.h"
#include "support/Peers.h"
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace crypto_test {

// Hexadecimal of n words, most significant first, without leading zeros.
inline std::string ToHex(const BigWord* a, int n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = n - 1; i >= 0; --i)
        for (int shift = 28; shift >= 0; shift -= 4)
            out += digits[(a[i] >> shift) & 15];
    std::size_t first = out.find_first_not_of('0');
    return first == std::string::npos ? "0" : out.substr(first);
}

inline std::string ToHex(const BigNum& a, int n) {
    return ToHex(a.data(), n);
}

// Runs a reference script from this folder with the given standard input and
// returns its output lines.
inline std::vector<std::string> RunReference(const std::string& script, const std::string& input) {
    const std::string path = std::string(VEXA_SOURCE_DIR) + "/tests/crypto/" + script;
    testing_support::CommandResult r =
        testing_support::RunCommand("/usr/bin/python3", {path}, 120000, input);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Random words biased towards the patterns that stress carries and quotient
// estimates: all ones, zero, a lone top bit.
inline void FillWords(BigWord* a, int n, std::mt19937& gen) {
    for (int i = 0; i < n; ++i) {
        switch (gen() % 6) {
        case 0:
            a[i] = 0xFFFFFFFFu;
            break;
        case 1:
            a[i] = 0;
            break;
        case 2:
            a[i] = 0x80000000u;
            break;
        default:
            a[i] = static_cast<BigWord>(gen());
            break;
        }
    }
}

inline std::string HexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

} // namespace crypto_test
