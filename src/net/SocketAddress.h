#pragma once
// An IPv4 or IPv6 socket address, and the address texts shown to users and
// compared by the server. An IPv4 peer reached through an IPv6 socket (the
// dual-stack listener sees it as ::ffff:a.b.c.d) is shown and compared as
// its plain dotted address everywhere.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

class TSocketAddress {
public:
    TSocketAddress() = default;
    static TSocketAddress FromIPv4(std::uint32_t networkOrderAddress, int port);
    static TSocketAddress FromIPv6(const in6_addr& address, int port);
    // What getsockname / getpeername / accept filled in.
    static TSocketAddress FromRaw(const sockaddr_storage& raw, socklen_t length);

    int Family() const { return storage_.ss_family; }
    bool IsIPv6() const { return Family() == AF_INET6; }
    sockaddr* Raw() { return reinterpret_cast<sockaddr*>(&storage_); }
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage_); }
    socklen_t Length() const;
    int PortNumber() const;
    void SetPortNumber(int port);
    // The IPv4 address in network order (0 for an IPv6 address that is not
    // an IPv4-mapped one).
    std::uint32_t IPv4() const;
    // Dotted text for IPv4 and IPv4-mapped addresses, the standard
    // compressed text for other IPv6 addresses (no brackets, no zone).
    std::string AddressText() const;
    // True for the wildcard address of its family.
    bool IsAny() const;

private:
    sockaddr_storage storage_{};
};

// True when text (surrounding blanks allowed) is an IPv6 address literal,
// optionally in brackets.
bool WSocketIsIPv6Literal(const std::string& text);
// The address of an IPv6 literal; false when text is none.
bool WSocketParseIPv6(const std::string& text, in6_addr& address);

// The canonical text of an IP address literal (IPv4 dotted or IPv6, an
// IPv4-mapped IPv6 address as dotted IPv4); empty when text is neither.
std::string CanonicalAddressText(const std::string& text);

// "a.b.c.d:port" or "[v6]:port", the way an address with its port is shown.
std::string HostPortText(const std::string& address, const std::string& port);

// True for loopback, private (RFC 1918), link-local and shared (RFC 6598)
// IPv4 addresses and for loopback, unique-local and link-local IPv6
// addresses: peers that reach a server without passing through its NAT.
bool IsLocalNetworkAddress(const std::string& addressText);

// The local or peer address of a socket handle; false when it has none.
bool LocalAddressOf(int handle, TSocketAddress& address);
bool PeerAddressOf(int handle, TSocketAddress& address);
