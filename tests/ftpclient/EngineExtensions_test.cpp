// What the engine does with a server's answer to FEAT: EPSV when offered
// (and PASV once it is refused), OPTS UTF8 ON when UTF8 is offered, and
// exactly the old command set when FEAT is not understood. Scripted, since
// no real server refuses PASV or EPSV on demand.
#include "ClientHarness.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace testing_support;
using Conn = ScriptedPeer::Conn;

namespace {

struct ExtensionCase {
    const char* name;
    const char* feat; // the whole answer to FEAT
    bool epsvOk;
    bool pasvOk;
    std::vector<std::string> expected; // the commands after PASS
};

// Answers each command as the case says until QUIT; every RETR gets content.
void ServeCase(Conn& c, const ExtensionCase& k, const std::string& content) {
    c.Send("220 scripted\r\n");
    for (;;) {
        const std::string line = c.ReadLine();
        const std::string verb = line.substr(0, line.find(' '));
        if (line.empty() || verb == "QUIT") {
            c.Send("221 bye\r\n");
            return;
        }
        if (verb == "USER")
            c.Send("331 password please\r\n");
        else if (verb == "PASS")
            c.Send("230 in\r\n");
        else if (verb == "FEAT")
            c.Send(k.feat);
        else if (verb == "OPTS")
            c.Send("200 UTF8 set to on\r\n");
        else if (verb == "EPSV" && k.epsvOk)
            c.Send("229 Entering Extended Passive Mode (|||" + std::to_string(c.ListenData()) +
                   "|)\r\n");
        else if (verb == "PASV" && k.pasvOk)
            c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        else if (verb == "RETR") {
            c.Send("150 here\r\n");
            int data = c.AcceptData();
            Conn::SendAll(data, content);
            ::close(data);
            c.Send("226 done\r\n");
        } else
            c.Send("500 " + verb + " not understood\r\n");
    }
}

} // namespace

class Extensions : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(Extensions, TwoDownloadsWithTheCommandsTheServerOffers) {
    const ExtensionCase& k = GetParam();
    const std::string content = PatternBytes(70000, 9);
    ScriptedPeer peer([&](Conn& c) { ServeCase(c, k, content); });
    TempDir local;
    ClientHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = peer.PortText();
    h.client.UserName = "u";
    h.client.PassWord = "p";
    h.client.Options |= ftpAskFeatures;
    h.client.SetUsePassive(true);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    // The login's own reply stays the connect's result.
    EXPECT_EQ(h.client.LastResponse(), "230 in");
    for (const char* name : {"one", "two"}) {
        h.client.HostFileName = name;
        h.client.LocalFileName = local.File(name);
        ASSERT_EQ(h.Run([&] { h.client.Get(); }), 0) << h.client.ErrorMessage();
        EXPECT_TRUE(ReadFile(local.File(name)) == content) << name;
    }
    EXPECT_EQ(h.Run([&] { h.client.Quit(); }), 0);
    std::vector<std::string> after(h.commands.begin() + 2, h.commands.end());
    EXPECT_EQ(after, k.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Extensions,
    ::testing::Values(
        // An old server: FEAT refused, then exactly the basic commands.
        ExtensionCase{"NoFeat",
                      "500 FEAT not understood\r\n",
                      false,
                      true,
                      {"FEAT", "PASV", "RETR one", "PASV", "RETR two", "QUIT"}},
        // A server that refuses PASV outright.
        ExtensionCase{"EpsvOnly",
                      "211-Features:\r\n EPSV\r\n UTF8\r\n211 End\r\n",
                      true,
                      false,
                      {"FEAT", "OPTS UTF8 ON", "EPSV", "RETR one", "EPSV", "RETR two", "QUIT"}},
        // EPSV offered but refused: PASV, and no EPSV asked again.
        ExtensionCase{"EpsvRefused",
                      "211-Features:\r\n EPSV\r\n211 End\r\n",
                      false,
                      true,
                      {"FEAT", "EPSV", "PASV", "RETR one", "PASV", "RETR two", "QUIT"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the option the engine never asks FEAT: the wire stays the basic one.
TEST(Extensions, NoFeatWithoutTheOption) {
    ScriptedPeer peer([](Conn& c) {
        c.Send("220 scripted\r\n");
        c.ReadLine();
        c.Send("331 p\r\n");
        c.ReadLine();
        c.Send("230 in\r\n");
        c.ReadLine();
        c.Send("221 bye\r\n");
    });
    ClientHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = peer.PortText();
    h.client.UserName = "u";
    h.client.PassWord = "p";
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.Quit(); }), 0);
    EXPECT_EQ(h.commands, (std::vector<std::string>{"USER u", "PASS p", "QUIT"}));
    EXPECT_FALSE(h.client.Features().answered);
}
