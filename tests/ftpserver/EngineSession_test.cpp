// The control connection against a raw client: greeting, dispatch, login,
// directories, informational commands and the edge cases of line reading.
#include "ServerHarness.h"
#include "base/Version.h"
#include "crypto/TRSA.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

namespace {

using namespace server_test;
using testing_support::RunLoopUntil;
using testing_support::TempDir;

std::string Real(const std::string& p) {
    return std::filesystem::canonical(p).string() + "/";
}

class EngineSession : public ::testing::Test {
protected:
    TempDir tmp;
    std::string home = Real(tmp.Path());
    ServerFixture fx{home};
};

TEST_F(EngineSession, GreetingLoginAndInformationalCommands) {
    RawClient c(fx.Port());
    EXPECT_EQ(c.Reply(), "220 Vexa Server Ready.");
    EXPECT_EQ(c.Cmd("USER bob"), "331 Password required for bob.");
    EXPECT_EQ(c.Cmd("PASS secret"), "230 User bob logged in.");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "\" is current directory.");
    EXPECT_EQ(c.Cmd("XPWD"), "257 \"" + home + "\" is current directory.");
    EXPECT_EQ(c.Cmd("SYST"), std::string("215 UNIX Type: ") + kVersionText);
    EXPECT_EQ(c.Cmd("TYPE i"), "200 Type set to i.");
    EXPECT_EQ(c.Cmd("TYPE X"), "500 'TYPE X': command not understood.");
    EXPECT_EQ(c.Cmd("STRU F"), "200 Ok. STRU parameter 'F' ignored.");
    EXPECT_EQ(c.Cmd("NOOP hello"), "200 Ok. Parameter was 'hello'.");
    EXPECT_EQ(c.Cmd("help me", 300), ""); // not plain: no reply
    EXPECT_EQ(c.Cmd("HELP"), "500 'HELP': command not understood.");
    EXPECT_EQ(c.Cmd("SITE CHMOD 777 x"), "500 'SITE': command not understood.");
    EXPECT_EQ(c.Cmd("QUIT"), "221 Goodbye.");
    EXPECT_TRUE(c.ClosedByServer());
    EXPECT_TRUE(RunLoopUntil([&] { return fx.Owner().Disconnects == 1; }));
    EXPECT_EQ(fx.Server().ClientCount(), 0);
}

TEST_F(EngineSession, LoginRules) {
    RawClient c(fx.Port());
    c.Reply();
    EXPECT_EQ(c.Cmd("PASS secret"), "503 Login with USER first.");
    EXPECT_EQ(c.Cmd("CWD /"), "530 Please login with USER and PASS.");
    EXPECT_EQ(c.Cmd("MDTM x"), "530 Please login with USER and PASS.");
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
    c.Cmd("USER bob");
    EXPECT_EQ(c.Cmd("PASS wrong"), "530 Login incorrect.");
    EXPECT_EQ(c.Cmd("PASS secret"), "503 Login with USER first.");
    c.Login();
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
    // USER during a session starts a new login.
    EXPECT_EQ(c.Cmd("USER bob"), "331 Password required for bob.");
    EXPECT_EQ(c.Cmd("PWD"), "530 Please login with USER and PASS.");
}

TEST_F(EngineSession, LineEdgeCases) {
    {
        // A lone CR LF is a one-byte line: closed without a reply.
        RawClient c(fx.Port());
        c.Reply();
        c.SendRaw("\r\n");
        EXPECT_TRUE(c.ClosedByServer());
    }
    {
        RawClient c(fx.Port());
        c.Reply();
        c.SendRaw("\n");
        EXPECT_EQ(c.Reply(), "500 '': command not understood.");
        // Not plain, longer than five: taken for ciphertext and dropped.
        c.Send("user bob");
        EXPECT_EQ(c.Reply(500), "");
        // Short non-plain lines are used as they are.
        EXPECT_EQ(c.Cmd("PWD"), "530 Please login with USER and PASS.");
        // A line split over two reads is put back together.
        c.SendRaw("NO");
        testing_support::RunLoopFor(100);
        c.SendRaw("OP x\r\n");
        EXPECT_EQ(c.Reply(), "200 Ok. Parameter was 'x'.");
        // An over-long line is refused and the next one works.
        c.SendRaw("NOOP " + std::string(5000, 'a') + "\r\n");
        EXPECT_EQ(c.Reply(), "500 Command line too long.");
        EXPECT_EQ(c.Cmd("NOOP y"), "200 Ok. Parameter was 'y'.");
        // The limit counts the bytes before the line end, with CR LF or LF.
        const std::string longest = "NOOP " + std::string(2042, 'b');
        for (const char* end : {"\r\n", "\n"}) {
            c.SendRaw(longest + end);
            EXPECT_EQ(c.Reply(), "200 Ok. Parameter was '" + longest.substr(5) + "'.");
        }
        c.SendRaw(longest + "b\r\n");
        EXPECT_EQ(c.Reply(), "500 Command line too long.");
        // Telnet interrupt before a command.
        c.SendRaw("\xff\xf4\xff\xf2NOOP z\r\n");
        EXPECT_EQ(c.Reply(), "200 Ok. Parameter was 'z'.");
    }
}

TEST_F(EngineSession, RandomBytesNeverHurtTheServer) {
    std::uint32_t x = 2463534242u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    RawClient c(fx.Port());
    c.Reply();
    c.Login();
    for (int i = 0; i < 300; ++i) {
        // Lines of 2 to 3000 bytes without LF, telnet bytes and CRs included;
        // some start with a keyword so handlers see odd arguments.
        static const char* keywords[] = {"CWD ",  "PORT ", "REST ", "RNFR ", "MKD ",
                                         "SIZE ", "LIST ", "TYPE ", ""};
        std::string line = keywords[next() % 9];
        const std::size_t len = 2 + next() % 3000;
        while (line.size() < len) {
            char b = static_cast<char>(next());
            line += b == '\n' ? 'x' : b;
        }
        c.SendRaw(line + "\r\n");
    }
    // Whatever came back, the connection still answers in order.
    EXPECT_TRUE(RunLoopUntil(
        [&] { return c.Cmd("NOOP end", 200) == "200 Ok. Parameter was 'end'."; }, 20000));
    EXPECT_EQ(fx.Server().ClientCount(), 1);
}

TEST_F(EngineSession, ChangeDirectory) {
    std::filesystem::create_directories(home + "a/b");
    std::filesystem::create_directory_symlink(home + "a/b", home + "lnk");
    fx.Server().PermaLinkTable = {TPermaLinkEntry{home + "a/", "alink"}};
    RawClient c(fx.Port());
    c.Reply();
    c.Login();
    EXPECT_EQ(c.Cmd("CWD a"), "250 CWD command successful. \"a\" is current directory.");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "a/\" is current directory.");
    EXPECT_EQ(c.Cmd("CWD ../.."), "501 CWD failed. Cannot accept relative path using dot notation");
    EXPECT_EQ(c.Cmd("CWD missing"), "501 CWD failed. No permission");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "a/\" is current directory.");
    EXPECT_EQ(c.Cmd("CDUP"), "250 CWD command successful. \"..\" is current directory.");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "\" is current directory.");
    // Through a symbolic link: the canonical target.
    c.Cmd("CWD lnk");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "a/b/\" is current directory.");
    // A permanent link's name.
    EXPECT_EQ(c.Cmd("CWD alink"),
              "250 CWD command successful. \"" + home + "a/\" is current directory.");
    EXPECT_EQ(c.Cmd("CWD /etc"), "250 CWD command successful. \"/etc\" is current directory.");
    EXPECT_EQ(fx.Owner().Seen["CWD"].back(), "/etc/");
    EXPECT_EQ(c.Cmd("CWD \\"), "250 CWD command successful. \"/\" is current directory.");
    EXPECT_EQ(c.Cmd("CDUP"), "250 CWD command successful. \"..\" is current directory.");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"/\" is current directory.");
}

TEST_F(EngineSession, VirtualDirectoryInPwdAndCwd) {
    TempDir other;
    const std::string pub = Real(other.Path());
    fx.Server().VirtMapTable = {TVirtMapEntry{pub, "/pub/"}};
    RawClient c(fx.Port());
    c.Reply();
    c.Login();
    EXPECT_EQ(c.Cmd("CWD /PUB"), "250 CWD command successful. \"/PUB\" is current directory.");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"/pub/\" is current directory.");
    EXPECT_EQ(fx.Owner().Seen["CWD"].back(), pub);
}

TEST_F(EngineSession, MaxClientsTurnsTheFourthAway) {
    fx.Server().MaxClients = 3;
    RawClient a(fx.Port()), b(fx.Port()), c(fx.Port());
    for (RawClient* r : {&a, &b, &c})
        EXPECT_EQ(r->Reply(), "220 Vexa Server Ready.");
    RawClient d(fx.Port());
    EXPECT_EQ(d.Reply(), "421 Too many users connected.");
    EXPECT_TRUE(d.ClosedByServer());
    EXPECT_EQ(a.Cmd("NOOP"), "200 Ok. Parameter was ''.");
}

TEST_F(EngineSession, IdleCheckDropsTwoAndNamesTheSecond) {
    RawClient a(fx.Port()), b(fx.Port()), keep(fx.Port());
    a.Reply();
    b.Reply();
    keep.Reply();
    a.Cmd("USER alice");
    b.Cmd("USER carol");
    ASSERT_TRUE(RunLoopUntil([&] { return fx.Server().ClientCount() == 3; }));
    fx.Server().Client(2)->IdleSeconds = -100;
    std::string message;
    fx.Server().CheckIdleClients(5, 60, message);
    EXPECT_EQ(message, "");
    fx.Server().CheckIdleClients(60, 60, message);
    EXPECT_EQ(message.rfind("Disconnecting carol (127.0.0.1:", 0), 0u) << message;
    EXPECT_NE(message.find(") due to 60 seconds of inactivity."), std::string::npos);
    EXPECT_EQ(fx.Server().ClientCount(), 1);
    EXPECT_EQ(a.Reply(), "221 Idle timeout expired.  Goodbye.");
    EXPECT_EQ(b.Reply(), "221 Idle timeout expired.  Goodbye.");
    EXPECT_TRUE(a.ClosedByServer());
    EXPECT_TRUE(b.ClosedByServer());
    EXPECT_TRUE(RunLoopUntil([&] { return fx.Owner().Disconnects == 2; }));
    EXPECT_EQ(keep.Cmd("NOOP"), "200 Ok. Parameter was ''.");
}

TEST_F(EngineSession, ClientCommandAnswerReplacesTheTable) {
    fx.Server().OnClientCommand = [](TFtpServer*, TFtpCtrlSocket*, std::string& keyword,
                                     std::string&, std::string& answer) {
        if (keyword == "SITE")
            answer = "200 SITE handled by the owner.";
    };
    RawClient c(fx.Port());
    c.Reply();
    EXPECT_EQ(c.Cmd("SITE x"), "200 SITE handled by the owner.");
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
}

TEST_F(EngineSession, LinesThatAreNotPlainAreDecipheredWithTheOwnKeyPair) {
    TRSA keys;
    keys.SetKeyBits(kb0512);
    keys.GenerateKeys();
    ProgramKeys programKeys = ProgramKeys::From(keys);
    fx.Server().Keys = &programKeys;
    RawClient c(fx.Port());
    c.Reply();
    c.Send(keys.EncryptString("USER bob"));
    EXPECT_EQ(c.Reply(), "331 Password required for bob.");
    // Not ciphertext for our key: dropped, and the connection goes on.
    c.Send("this is no ciphertext");
    EXPECT_EQ(c.Reply(300), "");
    c.Send("PASS secret");
    EXPECT_EQ(c.Reply(), "230 User bob logged in.");
    // A ciphertext that begins like a command is still deciphered.
    for (int i = 0; i < 2000; ++i) {
        const std::string cipher = keys.EncryptString("NOOP " + std::to_string(i));
        if (cipher.size() < 4 || !std::isupper(static_cast<unsigned char>(cipher[0])) ||
            !std::isupper(static_cast<unsigned char>(cipher[1])) ||
            !std::isupper(static_cast<unsigned char>(cipher[2])) ||
            !std::isupper(static_cast<unsigned char>(cipher[3])))
            continue;
        c.Send(cipher);
        EXPECT_EQ(c.Reply(), "200 Ok. Parameter was '" + std::to_string(i) + "'.");
        return;
    }
    ADD_FAILURE() << "no plain-looking ciphertext found";
}

TEST_F(EngineSession, OwnerMayGreetFirstOrTurnAClientAway) {
    int connects = 0;
    fx.Server().OnClientConnect = [&](TFtpServer*, TFtpCtrlSocket* client, int) {
        if (++connects == 1) {
            client->SendReplyLine("220-Welcome line");
            client->Banner = "220 Custom banner.";
        } else {
            client->SendReplyLine("421 Go away.");
            client->Close();
        }
    };
    RawClient first(fx.Port());
    EXPECT_EQ(first.Reply(), "220 Custom banner.");
    RawClient second(fx.Port());
    EXPECT_EQ(second.Reply(), "421 Go away.");
    EXPECT_TRUE(second.ClosedByServer());
    EXPECT_TRUE(RunLoopUntil([&] { return fx.Owner().Disconnects == 1; }));
    EXPECT_EQ(fx.Server().ClientCount(), 1);
}

TEST_F(EngineSession, ListingRefusedByTheOwner) {
    fx.Server().OnBuildDirectory = [](TFtpServer*, TFtpCtrlSocket*, std::string&, bool) {
        throw FtpServerException("No permission");
    };
    RawClient c(fx.Port());
    c.Reply();
    c.Login();
    EXPECT_EQ(c.Cmd("LIST /etc"), "451 Failed: No permission.");
}

TEST(EngineTable, OrderAndCapacity) {
    TFtpServer server;
    const char* order[] = {"PORT", "STOR", "RETR", "CWD",  "XPWD", "PWD",  "USER", "PASS",
                           "PUBK", "LIST", "NLST", "TYPE", "SYST", "QUIT", "DELE", "SIZE",
                           "REST", "RNFR", "RNTO", "MKD",  "RMD",  "ABOR", "PASV", "NOOP",
                           "CDUP", "APPE", "STRU", "XMKD", "XRMD", "MDTM", "FEAT", "OPTS",
                           "EPSV", "EPRT", "MLSD", "MLST", "MFMT"};
    ASSERT_EQ(server.CommandTable().size(), std::size(order));
    for (std::size_t i = 0; i < std::size(order); ++i)
        EXPECT_EQ(server.CommandTable()[i].Keyword, order[i]);
    for (int i = static_cast<int>(std::size(order)); i < TFtpServer::kCommandSlots; ++i)
        server.AddCommand("X" + std::to_string(i), nullptr, false);
    try {
        server.AddCommand("HELP", nullptr, false);
        FAIL();
    } catch (const FtpServerException& e) {
        EXPECT_STREQ(e.what(), "Too many command");
    }
}

TEST(EngineServer, StartStopEventsAndPortInUse) {
    TFtpServer server;
    int starts = 0, stops = 0;
    server.OnStart = [&](TFtpServer*) { ++starts; };
    server.OnStop = [&](TFtpServer*) { ++stops; };
    server.Addr = "127.0.0.1";
    server.Port = "0";
    server.Start();
    EXPECT_TRUE(server.Active());
    EXPECT_EQ(starts, 1);
    TFtpServer second;
    second.Addr = "127.0.0.1";
    second.Port = server.ListeningPort();
    EXPECT_THROW(second.Start(), std::exception);
    server.Stop();
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(stops, 1);
}

} // namespace

namespace {

TEST(EngineServer, DestroyedRightAfterDisconnectAllFreesEveryClient) {
    auto server = std::make_unique<TFtpServer>();
    server->Addr = "127.0.0.1";
    server->Port = "0";
    server->Start();
    RawClient a(std::stoi(server->ListeningPort()));
    RawClient b(std::stoi(server->ListeningPort()));
    ASSERT_TRUE(RunLoopUntil([&] { return server->ClientCount() == 2; }));
    std::string message;
    server->CheckIdleClients(100, 10, message); // both taken out of the list
    server->DisconnectAll();
    server.reset(); // frees the clients whose close was still queued
    EXPECT_TRUE(a.ClosedByServer());
    EXPECT_TRUE(b.ClosedByServer());
}

} // namespace
