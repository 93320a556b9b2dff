// The client engine against a scripted peer, for what real servers do not
// produce on demand.
#include "ClientHarness.h"
#include "Loopback.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testing_support;
using Conn = ScriptedPeer::Conn;

namespace {

void ScriptLogin(Conn& c) {
    c.Send("220 scripted\r\n");
    c.ReadLine(); // USER
    c.Send("331 password please\r\n");
    c.ReadLine(); // PASS
    c.Send("230 in\r\n");
}

// The rest of a download once the data connection is up: 150, the bytes,
// the close, 226, then the client's next line.
void ServeDownload(Conn& c, int data, const std::string& content) {
    c.Send("150 here\r\n");
    Conn::SendAll(data, content);
    ::close(data);
    c.Send("226 done\r\n");
    c.ReadLine();
}

void Point(TFtpClient& client, const ScriptedPeer& peer) {
    client.HostName = "127.0.0.1";
    client.Port = peer.PortText();
    client.UserName = "u";
    client.PassWord = "p";
}

} // namespace

// A 226 that comes before the data connection closes, and one that comes
// after: either way exactly one OnRequestDone, once both were seen.
class FinalReplyOrder : public ::testing::TestWithParam<bool> {};

TEST_P(FinalReplyOrder, OneRequestDoneAfterReplyAndClose) {
    const bool replyFirst = GetParam();
    const std::string content = PatternBytes(200000, 5);
    ScriptedPeer peer([&](Conn& c) {
        ScriptLogin(c);
        c.ReadLine(); // PASV
        // The reply names another host: data must still go to the control
        // connection's address.
        c.Send(PassiveReplyFor("10,255,255,1", c.ListenData()));
        c.ReadLine(); // RETR
        c.Send("150 here it comes\r\n");
        int data = c.AcceptData();
        Conn::SendAll(data, content);
        if (replyFirst) {
            c.Send("226 done\r\n");
            Conn::Sleep(300);
            ::close(data);
        } else {
            ::close(data);
            Conn::Sleep(300);
            c.Send("226 done\r\n");
        }
        c.ReadLine(); // QUIT
        c.Send("221 bye\r\n");
    });
    TempDir local;
    ClientHarness h;
    Point(h.client, peer);
    h.client.SetUsePassive(true);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "f";
    h.client.LocalFileName = local.File("f");
    ASSERT_EQ(h.Run([&] { h.client.Get(); }), 0);
    EXPECT_TRUE(ReadFile(local.File("f")) == content);
    RunLoopFor(200);
    EXPECT_EQ(h.done.size(), 2u);
    EXPECT_EQ(h.Run([&] { h.client.Quit(); }), 0);
}

INSTANTIATE_TEST_SUITE_P(Order, FinalReplyOrder, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ReplyFirst" : "CloseFirst"; });

// In active mode the 150 may come before or after the server's data
// connection: sending starts exactly once, after both.
class StoreAnswerOrder : public ::testing::TestWithParam<bool> {};

TEST_P(StoreAnswerOrder, UploadStartsOnceAfterBoth) {
    const bool answerFirst = GetParam();
    const std::string content = PatternBytes(100000, 6);
    std::string received;
    ScriptedPeer peer([&](Conn& c) {
        ScriptLogin(c);
        int port = PortOfPortCommand(c.ReadLine());
        c.Send("200 PORT ok\r\n");
        c.ReadLine(); // STOR
        int data = -1;
        if (answerFirst) {
            c.Send("150 send it\r\n");
            Conn::Sleep(200);
            data = Conn::ConnectData(port);
        } else {
            data = Conn::ConnectData(port);
            Conn::Sleep(200);
            c.Send("150 send it\r\n");
        }
        received = Conn::ReadAll(data);
        ::close(data);
        c.Send("226 stored\r\n");
    });
    TempDir local;
    WriteFile(local.File("up"), content);
    ClientHarness h;
    Point(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "up";
    h.client.LocalFileName = local.File("up");
    ASSERT_EQ(h.Run([&] { h.client.Put(); }), 0);
    RunLoopUntil([&] { return peer.Finished(); }, 5000);
    EXPECT_TRUE(received == content);
    EXPECT_EQ(h.client.TransferCount(), static_cast<std::int64_t>(content.size()));
}

INSTANTIATE_TEST_SUITE_P(Order, StoreAnswerOrder, ::testing::Bool(), [](const auto& info) {
    return info.param ? "AnswerFirst" : "ConnectFirst";
});

TEST(EngineScripted, UserAnsweredWith230SkipsPass) {
    ScriptedPeer peer([](Conn& c) {
        c.Send("220 scripted\r\n");
        c.ReadLine();
        c.Send("230 no password needed\r\n");
        c.ReadLine(); // PWD, proving PASS was never sent
        c.Send("257 \"/\" is current\r\n");
    });
    ClientHarness h;
    Point(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    EXPECT_EQ(h.CountCommands("PASS"), 0);
    EXPECT_EQ(h.Run([&] { h.client.Pwd(); }), 0);
    EXPECT_EQ(h.client.ReplyPath(), "/");
}

TEST(EngineScripted, ReplySplitOverReadsAndOverlongLines) {
    ScriptedPeer peer([](Conn& c) {
        c.Send("22");
        Conn::Sleep(150);
        c.Send("0-first part ");
        Conn::Sleep(150);
        c.Send("of the greeting\r\n220-" + std::string(10000, 'x') + "\r\n220 ready\r\n");
        c.ReadLine(); // NOOP
        c.Send("200 ");
        Conn::Sleep(150);
        c.Send("fine\r\n");
    });
    ClientHarness h;
    Point(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Open(); }), 0);
    EXPECT_EQ(h.responses.front(), "220-first part of the greeting");
    EXPECT_EQ(h.responses.back(), "220 ready");
    h.client.LocalFileName = "NOOP";
    EXPECT_EQ(h.Run([&] { h.client.Quote(); }), 0);
    EXPECT_EQ(h.client.LastResponse(), "200 fine");
}

TEST(EngineScripted, ServerLeavingMidCommandIsAFailure) {
    ScriptedPeer peer([](Conn& c) {
        c.Send("220 scripted\r\n");
        c.ReadLine(); // USER: hang up without a reply
    });
    ClientHarness h;
    Point(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Open(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.User(); }), 500);
    EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
    EXPECT_FALSE(h.client.Connected());
}

TEST(EngineScripted, GreetingOtherThan220FailsOpen) {
    ScriptedPeer peer([](Conn& c) {
        c.Send("421 too many users\r\n");
        Conn::Sleep(300);
    });
    ClientHarness h;
    Point(h.client, peer);
    EXPECT_EQ(h.Run([&] { h.client.Connect(); }), 421);
    EXPECT_EQ(h.client.ErrorMessage(), "421 too many users");
    EXPECT_EQ(h.CountCommands("USER"), 0);
    EXPECT_FALSE(h.client.Connected());
}

TEST(EngineScripted, SynchronousRequestTimesOut) {
    ScriptedPeer peer([](Conn& c) {
        c.Send("220 scripted\r\n");
        c.ReadLine(); // SYST: never answered
        Conn::Sleep(2500);
    });
    ClientHarness h;
    Point(h.client, peer);
    h.client.Timeout = 1;
    ASSERT_TRUE(h.client.OpenSync());
    EXPECT_FALSE(h.client.SystSync());
    EXPECT_EQ(h.client.ErrorMessage(),
              "No reply to SYST from 127.0.0.1:" + peer.PortText() + " within 1 second.");
    EXPECT_TRUE(h.client.TimedOut());
    EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
    EXPECT_FALSE(h.client.Connected());
}

// The greeting and every reply are waited for within the time-out, started
// again by each line that arrives; what did not come is said.
TEST(EngineScripted, SilentServersEndWithinTheTimeout) {
    // Accepted by the kernel, never greeted.
    int silentPort = 0;
    const int silent = ListenLoopback(silentPort);
    ASSERT_GE(silent, 0);
    {
        ClientHarness h;
        h.client.HostName = "127.0.0.1";
        h.client.Port = std::to_string(silentPort);
        h.client.Timeout = 1;
        EXPECT_EQ(h.Run([&] { h.client.Open(); }, 15000), 426);
        EXPECT_EQ(h.client.ErrorMessage(),
                  "No greeting from 127.0.0.1:" + std::to_string(silentPort) + " within 1 second.");
        EXPECT_TRUE(h.client.TimedOut());
        EXPECT_FALSE(h.client.Connected());
    }
    ::close(silent);

    // A reply that never comes, after a login whose lines come slowly: each
    // line starts the wait again, so the slow login succeeds.
    ScriptedPeer peer([](Conn& c) {
        c.Send("220 scripted\r\n");
        c.ReadLine(); // USER
        for (int i = 0; i < 4; ++i) {
            Conn::Sleep(600);
            c.Send("331-still thinking\r\n");
        }
        c.Send("331 password please\r\n");
        c.ReadLine(); // PASS
        c.Send("230 in\r\n");
        c.ReadLine(); // PWD: never answered
        Conn::Sleep(3000);
    });
    ClientHarness h;
    Point(h.client, peer);
    h.client.Timeout = 1;
    ASSERT_EQ(h.Run([&] { h.client.Open(); }), 0);
    ASSERT_EQ(h.Run([&] { h.client.User(); }), 0);
    EXPECT_FALSE(h.client.TimedOut());
    ASSERT_EQ(h.Run([&] { h.client.Pass(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.Pwd(); }, 15000), 426);
    EXPECT_EQ(h.client.ErrorMessage(),
              "No reply to PWD from 127.0.0.1:" + peer.PortText() + " within 1 second.");
    EXPECT_FALSE(h.client.Connected());
}

// Replies as servers and networks send them: uncoded middle lines of
// multi-line replies, stray lines before a reply, and lines far longer than
// the receive buffer. Each login must complete and the PWD after it must get
// its own reply.
struct ReplyFormCase {
    const char* name;
    std::string greeting, userReply, passReply;
};

class ReplyForms : public ::testing::TestWithParam<ReplyFormCase> {};

TEST_P(ReplyForms, LoginCompletesAndStaysInStep) {
    const ReplyFormCase& tc = GetParam();
    ScriptedPeer peer([&](Conn& c) {
        c.Send(tc.greeting);
        c.ReadLine(); // USER
        c.Send(tc.userReply);
        c.ReadLine(); // PASS
        c.Send(tc.passReply);
        c.ReadLine(); // PWD
        c.Send("257 \"/here\" is current\r\n");
        c.ReadLine();
    });
    ClientHarness h;
    Point(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0) << h.client.ErrorMessage();
    EXPECT_EQ(h.client.StatusCode(), 230);
    EXPECT_EQ(h.CountCommands("PASS"), 1);
    ASSERT_EQ(h.Run([&] { h.client.Pwd(); }), 0);
    EXPECT_EQ(h.client.ReplyPath(), "/here");
}

namespace {
// A 200 kB line whose cut pieces may begin like replies.
std::string LongText() {
    std::string text;
    while (text.size() < 200000)
        text += "226 not the end; ";
    return text;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Lines, ReplyForms,
    ::testing::Values(
        ReplyFormCase{"UncodedContinuationLines",
                      "220-Welcome\r\n  an indented line\r\nno code at all\r\n220 ready\r\n",
                      "331 password please\r\n", "230-Hello\r\n uncoded\r\n\r\n230 in\r\n"},
        ReplyFormCase{"GarbageBeforeReplies",
                      std::string("\x01\x02\xff garbage\r\n42 short code\r\n2024 long code\r\n") +
                          "220 ready\r\n",
                      "junk\r\n331- also junk\r\n331 password please\r\n", "230 in\r\n"},
        ReplyFormCase{"LinesLongerThanTheBuffer", "220 ready\r\n",
                      "331-" + LongText() + "\r\n331 password please\r\n",
                      "230 " + LongText() + "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineScripted, PassiveReplyWithoutParentheses) {
    const std::string content = PatternBytes(5000, 2);
    ScriptedPeer peer([&](Conn& c) {
        ScriptLogin(c);
        c.ReadLine(); // PASV
        const int port = c.ListenData();
        c.Send("227 Entering Passive Mode 127,0,0,1," + std::to_string(port / 256) + "," +
               std::to_string(port % 256) + "\r\n");
        int data = c.AcceptData();
        c.ReadLine(); // RETR
        ServeDownload(c, data, content);
    });
    TempDir local;
    ClientHarness h;
    Point(h.client, peer);
    h.client.SetUsePassive(true);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "f";
    h.client.LocalFileName = local.File("f");
    ASSERT_EQ(h.Run([&] { h.client.Get(); }), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(local.File("f")) == content);
}

// Port mode: a stranger that reaches the client's data port first is turned
// away (and named in a note) while the server's own connection is taken.
TEST(EngineScripted, ActiveDataConnectionOnlyFromTheServer) {
    const std::string content = PatternBytes(5000, 12);
    std::string strangerGot = "not closed";
    bool otherAddressReached = true;
    ScriptedPeer peer([&](Conn& c) {
        ScriptLogin(c);
        const int port = PortOfPortCommand(c.ReadLine());
        c.Send("200 PORT ok\r\n");
        c.ReadLine(); // RETR
        auto connectTo = [port](std::uint32_t fromAddr, std::uint32_t toAddr) {
            int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(fromAddr);
            ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(toAddr);
            to.sin_port = htons(static_cast<uint16_t>(port));
            if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
                ::close(fd);
                return -1;
            }
            return fd;
        };
        // Another address of this machine does not reach the listener.
        int other = connectTo(0x7F000001, 0x7F000003);
        otherAddressReached = other >= 0;
        if (other >= 0)
            ::close(other);
        // The stranger comes from 127.0.0.2.
        int stranger = connectTo(0x7F000002, 0x7F000001);
        if (stranger >= 0) {
            Conn::SendAll(stranger, "stolen?");
            strangerGot = Conn::ReadAll(stranger); // empty once the client closes it
            ::close(stranger);
        }
        ServeDownload(c, Conn::ConnectData(port), content);
    });
    TempDir local;
    ClientHarness h;
    std::vector<std::string> notes;
    h.client.OnNotice = [&](TCustomFtpCli*, const std::string& note) { notes.push_back(note); };
    Point(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "f";
    h.client.LocalFileName = local.File("f");
    ASSERT_EQ(h.Run([&] { h.client.Get(); }), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(local.File("f")) == content);
    EXPECT_EQ(strangerGot, "");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "Refused a data connection from 127.0.0.2 (the server is 127.0.0.1)");
    // The listener is bound to the control connection's own address only.
    EXPECT_FALSE(otherAddressReached);
}
