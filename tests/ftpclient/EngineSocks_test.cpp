// The client engine through a real SOCKS 5 proxy (dante) to vsftpd.
#include "ClientHarness.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"
#include "support/peers/DantePeer.h"
#include "support/peers/VsftpdPeer.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {
// Aims the client at vsftpd through a SOCKS proxy on 127.0.0.1.
void ThroughProxy(TFtpClient& client, const VsftpdPeer& ftp, const std::string& proxyPort,
                  const std::string& user, const std::string& password) {
    client.HostName = "127.0.0.1";
    client.Port = ftp.PortText();
    client.UserName = VsftpdPeer::User();
    client.PassWord = VsftpdPeer::Password();
    client.SetSocksServer("127.0.0.1");
    client.SetSocksPort(proxyPort);
    client.SetSocksUserCode(user);
    client.SetSocksPassword(password);
}
} // namespace

class EngineSocks : public ::testing::TestWithParam<bool> {};

TEST_P(EngineSocks, SessionGetAndPutThroughDante) {
    const bool withUser = GetParam();
    VsftpdPeer ftp;
    ASSERT_TRUE(ftp.Started());
    DantePeer dante(withUser);
    ASSERT_TRUE(dante.Started());
    const std::string content = PatternBytes(3000000, 11);
    WriteFile(ftp.Root() + "s.bin", content);
    TempDir local;

    ClientHarness h;
    ThroughProxy(h.client, ftp, dante.PortText(), withUser ? test_user::Name() : "",
                 withUser ? test_user::Password() : "");
    h.client.SetConnectionType(ftpSocks5);
    h.client.SetUsePassive(false); // a proxy always means passive mode
    EXPECT_TRUE(h.client.UsePassive());

    h.client.HostFileName = "s.bin";
    h.client.LocalFileName = local.File("s.bin");
    ASSERT_EQ(h.Run([&] { h.client.SessionGet(); }, 30000), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(local.File("s.bin")) == content);
    EXPECT_EQ(h.CountCommands("PASV"), 1);
    EXPECT_EQ(h.CountCommands("PORT"), 0);

    h.client.HostFileName = "back.bin";
    ASSERT_EQ(h.Run([&] { h.client.SessionPut(); }, 30000), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(ftp.Root() + "back.bin") == content);
}

INSTANTIATE_TEST_SUITE_P(Auth, EngineSocks, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "UserPassword" : "NoAuth"; });

TEST(EngineSocksSettings, ConnectionTypeRules) {
    TFtpClient c;
    c.SetUsePassive(false);
    EXPECT_FALSE(c.UsePassive());
    for (int type : {ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5}) {
        c.SetConnectionType(type);
        EXPECT_TRUE(c.UsePassive());
        c.SetUsePassive(false);
        EXPECT_TRUE(c.UsePassive());
    }
    c.SetConnectionType(77);
    EXPECT_EQ(c.ConnectionType(), ftpDirect);
    c.SetUsePassive(false);
    EXPECT_FALSE(c.UsePassive());
    c.SetShareMode(5);
    EXPECT_EQ(c.ShareMode(), ftpShareExclusive);
    c.SetShareMode(ftpShareDenyNone);
    EXPECT_EQ(c.ShareMode(), ftpShareDenyNone);
}

// A proxy's refusal names the proxy and gives its reason.
TEST(EngineSocksFailures, RefusalsNameTheProxyAndItsReason) {
    VsftpdPeer ftp;
    ASSERT_TRUE(ftp.Started());
    DantePeer dante(true);
    ASSERT_TRUE(dante.Started());
    // A SOCKS 4 proxy that rejects every request.
    ScriptedPeer socks4([](ScriptedPeer::Conn& c) {
        c.ReadBytes(9); // 4, 1, port, address, empty user id, 0
        c.Send(std::string("\x00\x5b\x00\x00\x00\x00\x00\x00", 8));
        ScriptedPeer::Conn::Sleep(200);
    });
    struct Case {
        const char* name;
        std::string proxyPort;
        TFtpConnectionType level;
        std::string user, password;
        int error;
        std::string reason;
    } cases[] = {
        {"wrong password", dante.PortText(), ftpSocks5, test_user::Name(), "wrong", 20015,
         "socks authentication failed"},
        {"no acceptable method", dante.PortText(), ftpSocks5, "", "", 20003,
         "authentification method not acceptable"},
        {"SOCKS 4 reject", socks4.PortText(), ftpSocks4, "", "", 20016,
         "request rejected or failed"},
    };
    for (const auto& c : cases) {
        ClientHarness h;
        ThroughProxy(h.client, ftp, c.proxyPort, c.user, c.password);
        h.client.SetConnectionType(c.level);
        EXPECT_EQ(h.Run([&] { h.client.Connect(); }), c.error) << c.name;
        EXPECT_EQ(h.client.ErrorMessage(), "500 SOCKS proxy 127.0.0.1:" + c.proxyPort + ": " +
                                               c.reason + " (Winsock error #" +
                                               std::to_string(c.error) + ")")
            << c.name;
        EXPECT_EQ(h.CountCommands("USER"), 0) << c.name;
    }
}
