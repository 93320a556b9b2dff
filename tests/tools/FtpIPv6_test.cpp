// vexa2-ftp reaching a server by an IPv6 address literal: a listing, a
// download and an upload, passive (EPSV) and active (EPRT), against
// pyftpdlib listening on ::1 only; and through a SOCKS 5 proxy, which is
// given the IPv6 address itself (the proxy by address or by name).
#include "FtpRun.h"
#include "QuirkyFtpPeer.h"
#include "support/peers/DantePeer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

TEST(FtpIPv6, ListGetAndPutByAnAddressInBrackets) {
    const std::string content = PatternBytes(250000, 31);
    for (const char* mode : {"--passive", "--active"}) {
        SCOPED_TRACE(mode);
        TempDir server, local;
        fs::create_directories(server.Path() + "pub");
        WriteFile(server.Path() + "pub/down.bin", content);
        WriteFile(local.File("up.bin"), content);
        QuirkyFtpPeer peer(server.Path(), {"ipv6"});
        ASSERT_NE(peer.Port(), 0) << peer.Error();
        ASSERT_EQ(peer.Url("/pub/").rfind("ftp://test:test@[::1]:", 0), 0u);

        CommandResult r = RunFtp({mode, "--verbose", peer.Url("/pub/"), "ls"}, local.Path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(Has(r.out, "down.bin")) << r.out;
        EXPECT_TRUE(Has(r.out + r.err, std::string(mode) == "--passive" ? "EPSV" : "EPRT |2|::1|"))
            << r.out << r.err;

        r = RunFtp({mode, peer.Url("/pub/"), "get", "down.bin", "put", "up.bin"}, local.Path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(ReadFile(local.File("down.bin")) == content);
        EXPECT_TRUE(ReadFile(server.Path() + "pub/up.bin") == content);
    }
}

TEST(FtpIPv6, ThroughSocks5ToAnIPv6Server) {
    DantePeer proxy(false);
    ASSERT_TRUE(proxy.Started());
    const std::string content = PatternBytes(120000, 32);
    TempDir server, local;
    WriteFile(server.Path() + "down.bin", content);
    QuirkyFtpPeer peer(server.Path(), {"ipv6"});
    ASSERT_NE(peer.Port(), 0) << peer.Error();
    // The proxy by its address and by a name (looked up like the host).
    for (const char* proxyHost : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(proxyHost);
        const CommandResult r = RunFtp({"--socks", proxyHost + (":" + proxy.PortText()),
                                        "--socks-level", "5", peer.Url(), "get", "down.bin"},
                                       local.Path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(ReadFile(local.File("down.bin")) == content);
        fs::remove(local.File("down.bin"));
    }
}
