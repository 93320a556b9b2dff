// The client engine against a scripted peer, for what real servers do not
// produce on demand.
#include "ClientHarness.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(h.client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(h.client.StatusCode(), 426);
    EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
}
