#include "crypto/KeyAnnouncement.h"

#include <cctype>
#include <cstring>

namespace {
constexpr const char* kAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
}

std::string SymKeyLengthText(TSymKeyLength length) {
    switch (length) {
    case sk64:
        return "064";
    case sk128:
        return "128";
    case sk192:
        return "192";
    case sk256:
        return "256";
    }
    return "064";
}

std::string KeyBitsText(TKeyBits bits) {
    switch (bits) {
    case kb0512:
        return "0512";
    case kb1024:
        return "1024";
    case kb2048:
        return "2048";
    }
    return "0512";
}

std::optional<TSymKeyLength> SymKeyLengthFromText(const std::string& text) {
    for (TSymKeyLength length : {sk64, sk128, sk192, sk256})
        if (SymKeyLengthText(length) == text)
            return length;
    return std::nullopt;
}

std::optional<TKeyBits> KeyBitsFromText(const std::string& text) {
    for (TKeyBits bits : {kb0512, kb1024, kb2048})
        if (KeyBitsText(bits) == text)
            return bits;
    return std::nullopt;
}

void LoadPeerKey(TRSA& rsa, const std::string& keyText, const std::string& lengthText,
                 const std::string& bitsText) {
    if (auto bits = KeyBitsFromText(bitsText))
        rsa.SetKeyBits(*bits);
    if (auto length = SymKeyLengthFromText(lengthText))
        rsa.SetSymKeyLength(*length);
    rsa.SetPublicKey(keyText);
}

bool LooksLikePlainCommand(const std::string& line) {
    if (line.size() < 4)
        return false;
    for (int i = 0; i < 3; ++i)
        if (line[i] < 'A' || line[i] > 'Z')
            return false;
    return line[3] == ' ' || (line[3] >= 'A' && line[3] <= 'Z');
}

bool LooksLikePlainReply(const std::string& line) {
    if (line.size() < 4)
        return false;
    for (int i = 0; i < 3; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[i])))
            return false;
    return line[3] == ' ' || line[3] == '-';
}

bool IsWellFormedCiphertext(const std::string& text, int modulusBytes) {
    if (text.empty() || modulusBytes <= 0)
        return false;
    for (char c : text)
        if (c == '\0' || std::strchr(kAlphabet, c) == nullptr)
            return false;
    std::size_t groups = text.size() / 4, rest = text.size() % 4;
    std::size_t decoded = groups * 3 + (rest == 2 ? 1 : rest == 3 ? 2 : 0);
    return decoded > 0 && decoded % static_cast<std::size_t>(modulusBytes) == 0;
}
