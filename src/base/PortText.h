#pragma once
#include <charconv>
#include <string_view>

// A TCP port written as a decimal number from 1 to 65535, with nothing
// before or after it. Anything else (0, a sign, 70000, 99999999999) is not
// a port: the socket layer would cut a larger number to 16 bits.
inline bool IsPortNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [next, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && next == end && value >= 1 && value <= 65535;
}
