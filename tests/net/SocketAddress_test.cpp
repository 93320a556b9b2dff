// IPv4 and IPv6 addresses in the socket layer: the texts shown and compared,
// the dual-stack listener, connections to IPv6 literals, and listening on a
// port range.
#include "EventLoop.h"
#include "net/SocketAddress.h"
#include "net/TWSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

using testing_support::RunLoopUntil;

TEST(SocketAddress, Texts) {
    const struct {
        const char* text;
        const char* canonical;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {" 10.1.2.3 ", "10.1.2.3"},
        {"::1", "::1"},
        {"[::1]", "::1"},
        {"2001:DB8:0:0::1", "2001:db8::1"},
        {"::ffff:192.0.2.7", "192.0.2.7"}, // an IPv4 client of an IPv6 socket
        {"1.2.3", ""},
        {"host.example", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CanonicalAddressText(c.text), c.canonical) << c.text;
    EXPECT_EQ(HostPortText("10.0.0.1", "21"), "10.0.0.1:21");
    EXPECT_EQ(HostPortText("::1", "21"), "[::1]:21");
    EXPECT_TRUE(WSocketIsIPv6Literal("[fe80::1]"));
    EXPECT_FALSE(WSocketIsIPv6Literal("127.0.0.1"));

    const struct {
        const char* address;
        bool local;
    } locals[] = {
        {"127.0.0.1", true},    {"10.9.8.7", true},     {"172.16.0.1", true},
        {"172.31.255.1", true}, {"172.32.0.1", false},  {"192.168.1.1", true},
        {"169.254.3.4", true},  {"100.64.0.1", true},   {"8.8.8.8", false},
        {"203.0.113.9", false}, {"::1", true},          {"fd00::2", true},
        {"fe80::1", true},      {"2001:db8::1", false}, {"nonsense", false},
    };
    for (const auto& l : locals)
        EXPECT_EQ(IsLocalNetworkAddress(l.address), l.local) << l.address;
}

namespace {
// A raw client connection to host:port.
int RawConnect(int family, const char* host, int port) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage a{};
    socklen_t len = 0;
    if (family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET6, host, &in6->sin6_addr);
        len = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&a);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, host, &in->sin_addr);
        len = sizeof *in;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), len) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

TEST(SocketAddress, DualStackListenerShowsIPv4PeersPlain) {
    TWSocket listener;
    std::vector<std::unique_ptr<TWSocket>> accepted;
    listener.SetAddr("::");
    listener.SetPort("0");
    listener.OnSessionAvailable = [&](TCustomWSocket*, int) {
        accepted.push_back(std::make_unique<TWSocket>());
        accepted.back()->Dup(listener.Accept());
    };
    listener.Listen();
    const int port = std::stoi(listener.GetXPort());
    const int v4 = RawConnect(AF_INET, "127.0.0.1", port);
    const int v6 = RawConnect(AF_INET6, "::1", port);
    ASSERT_GE(v4, 0);
    ASSERT_GE(v6, 0);
    ASSERT_TRUE(RunLoopUntil([&] { return accepted.size() == 2; }));
    EXPECT_EQ(accepted[0]->GetPeerAddr(), "127.0.0.1");
    EXPECT_EQ(accepted[0]->GetXAddr(), "127.0.0.1");
    EXPECT_EQ(TCustomWSocket::PeerAddrOfHandle(accepted[0]->HSocket()), "127.0.0.1");
    EXPECT_EQ(accepted[1]->GetPeerAddr(), "::1");
    EXPECT_EQ(accepted[1]->GetXAddr(), "::1");
    ::close(v4);
    ::close(v6);

    // A connection to an IPv6 literal.
    TWSocket client;
    int error = -1;
    client.OnSessionConnected = [&](TCustomWSocket*, int e) { error = e; };
    client.SetAddr("::1");
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return error >= 0 && accepted.size() == 3; }));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(client.GetPeerAddr(), "::1");
    EXPECT_EQ(client.GetPeerPort(), std::to_string(port));
}

TEST(SocketAddress, ListenerTakesAPortOfItsRangeOrNone) {
    // Two neighbouring ports that were free a moment ago.
    int first = 0;
    for (int attempt = 0; attempt < 20 && first == 0; ++attempt) {
        const int base = 21000 + (::getpid() * 13 + attempt * 991) % 30000;
        bool free = true;
        for (int p = base; p < base + 2 && free; ++p) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<std::uint16_t>(p));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            free = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            ::close(fd);
        }
        if (free)
            first = base;
    }
    ASSERT_NE(first, 0);
    std::vector<std::unique_ptr<TWSocket>> listeners;
    std::vector<int> ports;
    for (int i = 0; i < 2; ++i) {
        listeners.push_back(std::make_unique<TWSocket>());
        listeners.back()->SetAddr("127.0.0.1");
        listeners.back()->SetPort("0");
        listeners.back()->SetListenPortRange(first, first + 1);
        listeners.back()->Listen();
        ports.push_back(std::stoi(listeners.back()->GetXPort()));
    }
    std::sort(ports.begin(), ports.end());
    EXPECT_EQ(ports, (std::vector<int>{first, first + 1}));
    TWSocket third;
    third.SetAddr("127.0.0.1");
    third.SetPort("0");
    third.SetListenPortRange(first, first + 1);
    try {
        third.Listen();
        FAIL() << "a third listener found a port";
    } catch (const ESocketException& e) {
        EXPECT_EQ(third.LastError(), 10048);
        EXPECT_EQ(std::string(e.what()), "Error 10048 in function Bind\r\nAddress already in use");
    }
    EXPECT_EQ(third.State(), wsClosed);
}
