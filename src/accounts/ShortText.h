#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace accounts {

// A fixed text field of N+1 bytes: one length byte (0..N) and N bytes of
// 8-bit characters. Longer values are cut to their first N characters. Bytes
// after the length are kept as they are, so a shorter value written over a
// longer one leaves the old bytes behind, as the stored files expect.
template <std::size_t N> struct ShortText {
    static_assert(N <= 255, "the length must fit in one byte");
    std::uint8_t bytes[N + 1] = {};

    static constexpr std::size_t Capacity = N;

    std::string Get() const {
        // A damaged length byte above N reads as N: never past the field.
        std::size_t len = std::min<std::size_t>(bytes[0], N);
        return std::string(reinterpret_cast<const char*>(bytes + 1), len);
    }
    void Set(std::string_view text) {
        std::size_t len = std::min(text.size(), N);
        bytes[0] = static_cast<std::uint8_t>(len);
        if (len)
            std::memcpy(bytes + 1, text.data(), len);
    }
    bool Empty() const { return bytes[0] == 0; }
    void Clear() { std::memset(bytes, 0, sizeof bytes); }
    // Exact comparison: same length, same bytes (letter case matters).
    bool Equals(std::string_view text) const { return text.size() <= N && Get() == text; }
};

} // namespace accounts
