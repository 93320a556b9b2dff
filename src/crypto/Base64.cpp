#include "crypto/CryptoErrors.h"
#include "crypto/CryptoMessages.h"
#include "crypto/TRSA.h"
#include <array>

namespace {
constexpr char kAlphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

constexpr std::array<int, 256> MakeReverse() {
    std::array<int, 256> table{};
    for (int& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}
constexpr std::array<int, 256> kReverse = MakeReverse();
} // namespace

std::string Base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() * 4 + 2) / 3);
    std::size_t i = 0;
    const auto byteAt = [&](std::size_t j) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[j]));
    };
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = (byteAt(i) << 16) | (byteAt(i + 1) << 8) | byteAt(i + 2);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        unsigned v = byteAt(i) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
    } else if (rest == 2) {
        unsigned v = (byteAt(i) << 16) | (byteAt(i + 1) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
    }
    return out;
}

std::string Base64Decode(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 3 / 4);
    unsigned v = 0;
    int held = 0;
    for (char ch : text) {
        int d = kReverse[static_cast<unsigned char>(ch)];
        if (d < 0)
            throw EConvertError(crypto_messages::kBase64InvalidCharacter);
        v = (v << 6) | static_cast<unsigned>(d);
        if (++held == 4) {
            out += static_cast<char>((v >> 16) & 0xFF);
            out += static_cast<char>((v >> 8) & 0xFF);
            out += static_cast<char>(v & 0xFF);
            v = 0;
            held = 0;
        }
    }
    // A trailing group of 2 or 3 characters yields 1 or 2 bytes; a lone
    // character carries fewer than 8 bits and yields nothing.
    if (held == 2) {
        out += static_cast<char>((v >> 4) & 0xFF);
    } else if (held == 3) {
        out += static_cast<char>((v >> 10) & 0xFF);
        out += static_cast<char>((v >> 2) & 0xFF);
    }
    return out;
}
