#pragma once
#include <array>
#include <cstdint>
#include <string>

// One site of the site store: 496 bytes on disk, text fields as a length
// byte followed by a fixed number of character bytes.
struct SiteRecord {
    static constexpr std::size_t kSize = 496;
    static constexpr std::size_t kOldSize = 320; // the older layout's record
    using Bytes = std::array<std::uint8_t, kSize>;

    std::string Name;           // at most 40
    std::string Host;           // at most 80
    std::string Port;           // at most 5
    std::string UserName;       // at most 40
    std::string Password;       // at most 40
    std::int32_t LoginType = 0; // 1 normal, 2 anonymous, 3 encrypted; 0 new
    bool EncryptionMandatory = false;
    bool Passive = false;
    std::string EncryptionKey; // at most 80
    std::string SocksServer;   // at most 40
    std::string SocksPort;     // at most 5
    std::string SocksUsername; // at most 40
    std::string SocksPassword; // at most 40
    std::string ProxyServer;   // at most 40
    bool NoSocks = false;
    bool NoRSA = false;

    // The record's bytes; reserved bytes are zero.
    Bytes ToBytes() const;
    // Reads a record; a length byte beyond its field's capacity is cut to it.
    static SiteRecord FromBytes(const std::uint8_t* data);
    // Reads the fields an old 320-byte record holds (same offsets).
    static SiteRecord FromOldBytes(const std::uint8_t* data);
    // True when the bytes can be a current record: every length byte within
    // its field, a known login type and flag bytes of 0 or 1.
    static bool LooksValid(const std::uint8_t* data);

    friend bool operator==(const SiteRecord&, const SiteRecord&) = default;
};

// Field offsets and capacities of the stored record.
namespace site_layout {
struct TextField {
    std::size_t offset;
    std::size_t capacity;
};
inline constexpr TextField kName{0, 40};
inline constexpr TextField kHost{41, 80};
inline constexpr TextField kPort{122, 5};
inline constexpr TextField kUserName{128, 40};
inline constexpr TextField kPassword{169, 40};
inline constexpr std::size_t kLoginType = 212;
inline constexpr std::size_t kEncryptionMandatory = 216;
inline constexpr std::size_t kPassive = 217;
inline constexpr TextField kEncryptionKey{218, 80};
inline constexpr TextField kSocksServer{320, 40};
inline constexpr TextField kSocksPort{361, 5};
inline constexpr TextField kSocksUsername{367, 40};
inline constexpr TextField kSocksPassword{408, 40};
inline constexpr TextField kProxyServer{449, 40};
inline constexpr std::size_t kNoSocks = 491;
inline constexpr std::size_t kNoRSA = 492;
} // namespace site_layout
