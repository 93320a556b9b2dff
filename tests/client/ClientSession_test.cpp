#include "EventLoop.h"
#include "LogCapture.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "ScriptedPrompts.h"
#include "TempDir.h"
#include "client/ClientSession.h"
#include "crypto/KeyAnnouncement.h"
#include "support/KeyCases.h"
#include "support/peers/OwnServer.h"
#include "support/peers/VsftpdPeer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace testing_support;

namespace {
// One 512-bit pair for the tests that announce a key.
const TRSA& TestPair() {
    static std::unique_ptr<TRSA> pair = [] {
        auto made = std::make_unique<TRSA>();
        made->SetKeyBits(kb0512);
        made->GenerateKeys();
        return made;
    }();
    return *pair;
}

struct SessionFixture {
    explicit SessionFixture(bool withKeyPair = false) {
        if (withKeyPair)
            rsa1 = TestPair();
    }
    TempDir programDir;
    TFtpClient ftp;
    TRSA rsa1, rsa2;
    ScriptedPrompts prompts;
    ClientDefaults defaults;
    LogCapture log;
    ClientSession session{ftp, rsa1, rsa2, prompts, log.Writer(), [this] {
                              ClientDefaults d = defaults;
                              d.programDirectory = programDir.Path();
                              if (rsa1.PrivateKeyLoaded()) {
                                  d.publicKey = rsa1.PublicKey();
                                  d.privateKey = rsa1.PrivateKey();
                                  d.keyLengthText = SymKeyLengthText(rsa1.SymKeyLength());
                                  d.keyBitsText = KeyBitsText(rsa1.KeyBits());
                              }
                              return d;
                          }};

    bool Logged(const std::string& text, TColor colour) const {
        return log.Count(text, colour) > 0;
    }
};
} // namespace

namespace {
void GiveKeyPair(SessionFixture& f, const TRSA& pair) {
    f.rsa1 = pair;
    f.defaults.publicKey = pair.PublicKey();
    f.defaults.privateKey = pair.PrivateKey();
    f.defaults.keyLengthText = SymKeyLengthText(pair.SymKeyLength());
    f.defaults.keyBitsText = KeyBitsText(pair.KeyBits());
}

void PointAt(SessionFixture& f, const OwnServer& server) {
    f.session.CurrentSite.Host = "127.0.0.1";
    f.session.CurrentSite.Port = server.PortText();
    f.session.CurrentSite.UserName = OwnServer::kUser;
    f.session.CurrentSite.Password = OwnServer::kPass;
    f.session.CurrentSite.LoginType = 1;
    f.session.CurrentSite.Passive = true;
}
} // namespace

TEST(ClientSession, PlainLoginListsTheRemoteDirectory) {
    TempDir home;
    WriteFile(home.File("report.txt"), "12345");
    ASSERT_EQ(::mkdir((home.Path() + "docs").c_str(), 0755), 0);
    OwnServer server(home.Path());
    SessionFixture f;
    f.session.CurrentSite.Name = "own";
    PointAt(f, server);
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));

    EXPECT_TRUE(f.Logged("Attempting to connect to own (127.0.0.1:" + server.PortText() + ")",
                         colours::clBlue));
    EXPECT_TRUE(f.Logged("SEND -> USER carol", colours::clMaroon));
    EXPECT_EQ(f.session.ServerKind, skVexaServer);
    EXPECT_TRUE(f.session.KeyCheckDone); // login type 1: no key-file step
    EXPECT_EQ(f.session.RemotePath(), home.Path());
    ASSERT_EQ(f.session.RemoteItems().size(), 2u);
    EXPECT_EQ(f.session.RemoteItems()[0].Caption, "docs");
    EXPECT_EQ(f.session.RemoteItems()[0].Icon, RemoteIcon::Folder);
    EXPECT_EQ(f.session.RemoteItems()[1].Caption, "report.txt");
    EXPECT_EQ(f.session.RemoteItems()[1].Size, 5);

    // Into the folder and back up; a new directory is created and listed.
    f.session.OpenRemoteFolder("docs");
    ASSERT_TRUE(
        RunLoopUntil([&] { return f.session.RemotePath() == home.Path() + "docs/"; }, 20000));
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));
    f.session.MakeDirectory("made");
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.RemoteItems().size() == 1; }, 20000));
    EXPECT_TRUE(f.Logged("Successfully created " + home.Path() + "docs/made", colours::clBlue));
    f.session.Up();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.RemotePath() == home.Path(); }, 20000));
    EXPECT_EQ(f.session.RemotePaths().size(), 2u);

    f.session.Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return !f.session.Groups().Disconnect; }, 20000));
    EXPECT_TRUE(f.session.RemoteItems().empty());
    EXPECT_TRUE(f.Logged("Disconnected From 127.0.0.1", colours::clNavy));
}

TEST(ClientSession, FailedOpenAndFailedLoginAreToldInRed) {
    SessionFixture refused;
    refused.session.CurrentSite.Host = "127.0.0.1";
    refused.session.CurrentSite.Port = std::to_string(FreePort());
    refused.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return !refused.session.Groups().Disconnect; }, 20000));
    bool redLine = false;
    for (const auto& line : refused.log.lines)
        redLine |= line.colour == colours::clRed && !line.text.empty();
    EXPECT_TRUE(redLine);

    TempDir home;
    OwnServer server(home.Path());
    SessionFixture wrong;
    wrong.session.CurrentSite.Host = "127.0.0.1";
    wrong.session.CurrentSite.Port = server.PortText();
    wrong.session.CurrentSite.UserName = OwnServer::kUser;
    wrong.session.CurrentSite.Password = "wrong";
    wrong.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return !wrong.ftp.Connected(); }, 20000));
    RunLoopFor(100);
    EXPECT_TRUE(wrong.Logged("530 Login incorrect.", colours::clRed));
    EXPECT_FALSE(wrong.session.Groups().RemoteUp);
}

TEST(ClientSession, AServerKeyThatDoesNotLoadEndsTheLoginAtOnce) {
    const TRSA serverPair = testing_support::OneBitShortPair(kb0512);
    const TRSA clientPair = testing_support::OneBitShortPair(kb0512);
    struct Case {
        std::string what, keyText, bits;
    };
    std::vector<Case> cases = {
        {"a character outside the alphabet", "++11IE:!!not-a-key", "0512"},
        {"a size other than announced", serverPair.PublicKey(), "1024"},
    };
    for (const auto& k : testing_support::DegenerateKeys(serverPair))
        cases.push_back({k.what, k.publicKey, "0512"});
    TempDir home;
    for (const Case& c : cases) {
        OwnServer server(home.Path());
        ProgramKeys serverKeys = ProgramKeys::From(serverPair);
        server.Server().Keys = &serverKeys;
        // The server announces the case's key text instead of its own.
        server.Server().OnAnswerToClient = [&c](TFtpServer*, TFtpCtrlSocket*, std::string& answer) {
            if (answer.rfind("666 ", 0) == 0)
                answer = "666 " + c.keyText + "064" + c.bits;
        };
        SessionFixture f;
        GiveKeyPair(f, clientPair);
        PointAt(f, server);
        f.defaults.timeoutSeconds = 600; // only the refusal can end this login in time
        f.session.Connect();
        ASSERT_TRUE(RunLoopUntil([&] { return !f.ftp.Connected(); }, 20000)) << c.what;
        bool told = false;
        for (const auto& line : f.log.lines)
            told |= line.colour == colours::clRed &&
                    line.text.rfind("The server's public key in its 666 reply does not load (",
                                    0) == 0 &&
                    line.text.find("); the login is ended.") != std::string::npos;
        EXPECT_TRUE(told) << c.what;
        EXPECT_FALSE(f.Logged("SEND -> USER carol", colours::clMaroon)) << c.what;
        EXPECT_FALSE(f.session.Groups().RemoteUp) << c.what;
    }

    // Keys one bit short of their size on both ends: the login completes.
    OwnServer server(home.Path());
    ProgramKeys serverKeys = ProgramKeys::From(serverPair);
    server.Server().Keys = &serverKeys;
    SessionFixture f;
    GiveKeyPair(f, clientPair);
    PointAt(f, server);
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));
    EXPECT_EQ(f.session.Indicators().CommandPortEncryption, "ENABLED");
    f.session.Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return !f.session.Groups().Disconnect; }, 20000));
}

// A server that logs the user in on USER alone and refuses a PASS after it:
// the session sends no PASS and goes on to SYST and the listing.
TEST(ClientSession, UserAnsweredWith230SkipsPass) {
    std::vector<std::string> received;
    ScriptedPeer peer([&](ScriptedPeer::Conn& c) {
        c.Send("220 scripted\r\n");
        for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) {
            received.push_back(line);
            const std::string word = line.substr(0, 4);
            if (word == "USER")
                c.Send("230 No password needed.\r\n");
            else if (word == "PASS")
                c.Send("503 Already logged in.\r\n");
            else if (word == "SYST")
                c.Send("215 UNIX Type: L8\r\n");
            else if (word == "PWD")
                c.Send("257 \"/\" is current\r\n");
            else if (word == "TYPE")
                c.Send("200 ok\r\n");
            else if (word == "PASV")
                c.Send("502 not here\r\n");
            else
                c.Send("221 bye\r\n");
        }
    });
    SessionFixture f;
    f.session.CurrentSite.Host = "127.0.0.1";
    f.session.CurrentSite.Port = peer.PortText();
    f.session.CurrentSite.UserName = "guest";
    f.session.CurrentSite.Password = "unused";
    f.session.CurrentSite.Passive = true;
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));
    EXPECT_EQ(std::count_if(received.begin(), received.end(),
                            [](const std::string& l) { return l.rfind("PASS", 0) == 0; }),
              0);
    EXPECT_TRUE(f.session.Groups().Reconnect);
    f.ftp.AbortSync();
}

// Through the session with its cipher hooks installed (a key pair loaded and
// announced to a server that greets with "Vexa" but has no key), FEAT and
// HELP, whose middle lines carry no code, complete with their final reply.
TEST(ClientSession, FeatAndHelpWithCipherHooksAgainstVsftpd) {
    VsftpdPeer::Options options;
    options.ftpdBanner = "Vexa compatible test server";
    VsftpdPeer peer(options);
    ASSERT_TRUE(peer.Started());
    SessionFixture f(true);
    ASSERT_TRUE(f.rsa1.PrivateKeyLoaded());
    f.session.CurrentSite.Host = "127.0.0.1";
    f.session.CurrentSite.Port = peer.PortText();
    f.session.CurrentSite.UserName = VsftpdPeer::User();
    f.session.CurrentSite.Password = VsftpdPeer::Password();
    f.session.CurrentSite.LoginType = 1;
    f.session.CurrentSite.Passive = true;
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));
    // The key was announced, so every reply line went to the cipher hook.
    EXPECT_TRUE(std::any_of(f.log.lines.begin(), f.log.lines.end(), [](const LoggedLine& l) {
        return l.text.rfind("SEND -> PUBK ", 0) == 0;
    }));
    const struct {
        const char* command;
        int code;
    } cases[] = {{"FEAT", 211}, {"HELP", 214}};
    for (const auto& c : cases) {
        f.ftp.LocalFileName = c.command;
        f.ftp.Timeout = 5;
        EXPECT_TRUE(f.ftp.QuoteSync()) << c.command << ": " << f.ftp.ErrorMessage();
        EXPECT_EQ(f.ftp.StatusCode(), c.code) << c.command;
        EXPECT_EQ(f.ftp.LastResponse().substr(0, 4), std::to_string(c.code) + " ");
    }
    f.ftp.QuitSync();
}

// A Disconnect while a login step waits for its reply ends the session with
// one line that says so: nothing of the ended steps is reported as a failure
// afterwards, and no further command goes out.
TEST(ClientSession, DisconnectDuringLoginSaysSoOnce) {
    const std::vector<std::string> heldSteps = {"USER", "PASS", "SYST", "PWD", "TYPE", "PASV"};
    for (const std::string& held : heldSteps) {
        std::vector<std::string> received;
        ScriptedPeer peer([&](ScriptedPeer::Conn& c) {
            c.Send("220 scripted\r\n");
            for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) {
                received.push_back(line);
                const std::string word = line.substr(0, line.find(' '));
                if (word == held)
                    continue; // the reply that never comes
                if (word == "USER")
                    c.Send("331 Password please.\r\n");
                else if (word == "PASS")
                    c.Send("230 Logged in.\r\n");
                else if (word == "SYST")
                    c.Send("215 UNIX Type: L8\r\n");
                else if (word == "PWD")
                    c.Send("257 \"/\" is current\r\n");
                else if (word == "TYPE")
                    c.Send("200 ok\r\n");
                else
                    c.Send("502 not here\r\n");
            }
        });
        SessionFixture f;
        f.session.CurrentSite.Host = "127.0.0.1";
        f.session.CurrentSite.Port = peer.PortText();
        f.session.CurrentSite.UserName = "guest";
        f.session.CurrentSite.Password = "secret";
        f.session.CurrentSite.Passive = true;
        f.session.Connect();
        ASSERT_TRUE(RunLoopUntil([&] { return f.log.CountStarting("SEND -> " + held) > 0; }, 20000))
            << held;
        const std::size_t before = f.log.lines.size();
        f.session.Disconnect();
        ASSERT_TRUE(RunLoopUntil(
            [&] { return !f.ftp.Connected() && !f.session.Groups().Disconnect; }, 20000))
            << held;
        RunLoopFor(300);
        const std::string cancelled =
            "Disconnected from 127.0.0.1:" + peer.PortText() + ": cancelled by the user.";
        EXPECT_EQ(f.log.Count(cancelled, colours::clNavy), 1) << held;
        for (std::size_t i = before; i < f.log.lines.size(); ++i) {
            EXPECT_NE(f.log.lines[i].colour, colours::clRed) << held << ": " << f.log.lines[i].text;
            EXPECT_NE(f.log.lines[i].text.rfind("SEND -> ", 0), 0u)
                << held << ": " << f.log.lines[i].text;
        }
        EXPECT_FALSE(f.session.Groups().RemoteUp) << held;
    }
}

// Reconnect says goodbye and logs in again without a question; Connect while
// connected asks first, and only a Yes starts the new connection.
TEST(ClientSession, ReconnectAndConnectWhileConnected) {
    TempDir home;
    OwnServer server(home.Path());
    SessionFixture f;
    f.session.CurrentSite.Name = "own";
    PointAt(f, server);
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));
    const auto logins = [&] { return f.log.Count("SEND -> USER carol", colours::clMaroon); };

    f.session.Reconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return logins() == 2 && f.session.Groups().RemoteUp; }, 20000));
    EXPECT_EQ(f.log.Count("SEND -> QUIT", colours::clMaroon), 1);
    EXPECT_TRUE(f.prompts.asked.empty());

    f.prompts.confirmAnswers = {false, true};
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.prompts.asked.size() == 1; }, 20000));
    EXPECT_EQ(f.prompts.askedTexts[0].rfind("You are currently connected to own (127.0.0.1:", 0),
              0u);
    RunLoopFor(100);
    EXPECT_EQ(logins(), 2);
    EXPECT_TRUE(f.ftp.Connected());

    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return logins() == 3 && f.session.Groups().RemoteUp; }, 20000));
    f.session.Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return !f.ftp.Connected(); }, 20000));
}

// Each notification says what changed: a download reports its progress and
// leaves the listing alone, so no listener looks at the listing per block.
TEST(ClientSession, ADownloadReportsProgressNotTheListing) {
    TempDir home;
    WriteFile(home.File("big.bin"), std::string(3 << 20, 'x'));
    OwnServer server(home.Path());
    SessionFixture f;
    PointAt(f, server);
    f.session.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return f.session.Groups().RemoteUp; }, 20000));
    std::map<SessionChange, int> told;
    f.session.OnChanged = [&](SessionChange what) { ++told[what]; };
    TempDir local;
    bool done = false;
    f.session.Download(home.Path() + "big.bin", local.File("big.bin"), 3 << 20,
                       [&](const TransferResult& r) {
                           EXPECT_EQ(r.Error, 0) << r.ErrorMessage;
                           done = true;
                       });
    ASSERT_TRUE(RunLoopUntil([&] { return done; }, 20000));
    EXPECT_GE(told[SessionChange::Progress], 1);
    EXPECT_EQ(told[SessionChange::Listing], 0);
    EXPECT_EQ(f.session.Progress().Count, 3 << 20);

    // Sorting and a listing do say so.
    f.session.SortBy(1);
    EXPECT_EQ(told[SessionChange::Listing], 1);
    f.session.Refresh();
    ASSERT_TRUE(RunLoopUntil([&] { return told[SessionChange::Listing] == 2; }, 20000));
    f.session.Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return !f.ftp.Connected(); }, 20000));
}
