#include "base/ControlBytes.h"

bool IsControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool HoldsControlByte(std::string_view text) {
    for (char c : text)
        if (IsControlByte(static_cast<unsigned char>(c)))
            return true;
    return false;
}

std::string EscapeControlBytes(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsControlByte(c)) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            // A "\x" the peer typed itself stays told apart from an escape.
            if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'x')
                out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string OneLineMessage(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += " - ";
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            out += " - ";
        } else {
            out += text[i];
        }
    }
    return out;
}
