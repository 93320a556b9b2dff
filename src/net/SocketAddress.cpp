#include "net/SocketAddress.h"

#include <arpa/inet.h>

#include <cstring>

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string DottedText(std::uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr addr{};
    addr.s_addr = networkOrder;
    ::inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

bool IsMapped(const in6_addr& a) {
    return IN6_IS_ADDR_V4MAPPED(&a);
}

std::uint32_t MappedIPv4(const in6_addr& a) {
    std::uint32_t v = 0;
    std::memcpy(&v, a.s6_addr + 12, sizeof v);
    return v;
}

} // namespace

TSocketAddress TSocketAddress::FromIPv4(std::uint32_t networkOrderAddress, int port) {
    TSocketAddress a;
    auto* in = reinterpret_cast<sockaddr_in*>(&a.storage_);
    in->sin_family = AF_INET;
    in->sin_addr.s_addr = networkOrderAddress;
    in->sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

TSocketAddress TSocketAddress::FromIPv6(const in6_addr& address, int port) {
    TSocketAddress a;
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.storage_);
    in6->sin6_family = AF_INET6;
    in6->sin6_addr = address;
    in6->sin6_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

TSocketAddress TSocketAddress::FromRaw(const sockaddr_storage& raw, socklen_t length) {
    TSocketAddress a;
    std::memcpy(&a.storage_, &raw, std::min<std::size_t>(length, sizeof a.storage_));
    return a;
}

socklen_t TSocketAddress::Length() const {
    return IsIPv6() ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int TSocketAddress::PortNumber() const {
    if (IsIPv6())
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_port);
}

void TSocketAddress::SetPortNumber(int port) {
    const auto value = htons(static_cast<std::uint16_t>(port));
    if (IsIPv6())
        reinterpret_cast<sockaddr_in6*>(&storage_)->sin6_port = value;
    else
        reinterpret_cast<sockaddr_in*>(&storage_)->sin_port = value;
}

std::uint32_t TSocketAddress::IPv4() const {
    if (Family() == AF_INET)
        return reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr.s_addr;
    if (IsIPv6()) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr;
        if (IsMapped(a))
            return MappedIPv4(a);
    }
    return 0;
}

std::string TSocketAddress::AddressText() const {
    if (Family() == AF_INET)
        return DottedText(IPv4());
    if (!IsIPv6())
        return {};
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr;
    if (IsMapped(a))
        return DottedText(MappedIPv4(a));
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &a, text, sizeof text);
    return text;
}

bool TSocketAddress::IsAny() const {
    if (Family() == AF_INET)
        return IPv4() == htonl(INADDR_ANY);
    if (IsIPv6())
        return IN6_IS_ADDR_UNSPECIFIED(
            &reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr);
    return false;
}

bool WSocketParseIPv6(const std::string& text, in6_addr& address) {
    std::string t = Trimmed(text);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        t = t.substr(1, t.size() - 2);
    if (t.find(':') == std::string::npos)
        return false;
    return ::inet_pton(AF_INET6, t.c_str(), &address) == 1;
}

bool WSocketIsIPv6Literal(const std::string& text) {
    in6_addr a{};
    return WSocketParseIPv6(text, a);
}

std::string CanonicalAddressText(const std::string& text) {
    const std::string t = Trimmed(text);
    in_addr v4{};
    if (::inet_pton(AF_INET, t.c_str(), &v4) == 1)
        return DottedText(v4.s_addr);
    in6_addr v6{};
    if (WSocketParseIPv6(t, v6))
        return TSocketAddress::FromIPv6(v6, 0).AddressText();
    return {};
}

std::string HostPortText(const std::string& address, const std::string& port) {
    if (address.find(':') != std::string::npos)
        return "[" + address + "]:" + port;
    return address + ":" + port;
}

bool IsLocalNetworkAddress(const std::string& addressText) {
    in_addr v4{};
    if (::inet_pton(AF_INET, addressText.c_str(), &v4) == 1) {
        const std::uint32_t a = ntohl(v4.s_addr);
        const auto in = [a](std::uint32_t net, int bits) {
            return (a >> (32 - bits)) == (net >> (32 - bits));
        };
        return in(0x7F000000, 8) || in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16) ||
               in(0xA9FE0000, 16) || in(0x64400000, 10);
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, addressText.c_str(), &v6) != 1)
        return false;
    return IN6_IS_ADDR_LOOPBACK(&v6) || IN6_IS_ADDR_LINKLOCAL(&v6) ||
           (v6.s6_addr[0] & 0xFE) == 0xFC;
}

bool LocalAddressOf(int handle, TSocketAddress& address) {
    sockaddr_storage raw{};
    socklen_t len = sizeof raw;
    if (handle < 0 || ::getsockname(handle, reinterpret_cast<sockaddr*>(&raw), &len) != 0)
        return false;
    address = TSocketAddress::FromRaw(raw, len);
    return true;
}

bool PeerAddressOf(int handle, TSocketAddress& address) {
    sockaddr_storage raw{};
    socklen_t len = sizeof raw;
    if (handle < 0 || ::getpeername(handle, reinterpret_cast<sockaddr*>(&raw), &len) != 0)
        return false;
    address = TSocketAddress::FromRaw(raw, len);
    return true;
}
