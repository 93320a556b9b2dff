// SOCKS 5 through a real proxy: Debian's dante on loopback.
#include "EventLoop.h"
#include "net/TWSocket.h"
#include "support/peers/DantePeer.h"

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

// A target on loopback that greets whoever connects and records the answer.
struct Target {
    TWSocket listener;
    std::unique_ptr<TWSocket> peer;
    std::string heard;
    Target() {
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](TCustomWSocket*, int) {
            peer = std::make_unique<TWSocket>();
            peer->OnDataAvailable = [this](TCustomWSocket* s, int) { heard += s->ReceiveStr(); };
            peer->Dup(listener.Accept());
            peer->SendStr("hello through the proxy");
        };
        listener.Listen();
    }
    std::string Port() { return listener.GetXPort(); }
};

void RunThrough(bool withUser, const std::string& password, int expectConnected) {
    DantePeer dante(withUser);
    ASSERT_TRUE(dante.Started());
    Target target;
    TWSocket s;
    int connected = -1;
    std::string received;
    std::vector<int> authStates;
    s.OnSessionConnected = [&](TCustomWSocket* sender, int e) {
        connected = e;
        if (e == 0)
            sender->SendStr("thanks");
    };
    s.OnDataAvailable = [&](TCustomWSocket* sender, int) { received += sender->ReceiveStr(); };
    s.OnSocksAuthState = [&](TCustomWSocket*, int st) { authStates.push_back(st); };
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(dante.PortText());
    s.SetSocksLevel("5");
    if (withUser) {
        s.SetSocksUsercode(test_user::Name());
        s.SetSocksPassword(password);
        s.SetSocksAuthentication(socksAuthenticateUsercode);
    }
    s.SetAddr("127.0.0.1");
    s.SetPort(target.Port());
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return connected >= 0; }, 10000));
    EXPECT_EQ(connected, expectConnected);
    if (expectConnected != 0)
        return;
    ASSERT_TRUE(RunLoopUntil(
        [&] { return received == "hello through the proxy" && target.heard == "thanks"; }, 5000));
    if (withUser) {
        EXPECT_EQ(authStates, (std::vector<int>{socksAuthStart, socksAuthSuccess}));
    }
    s.Close();
}

} // namespace

TEST(SocksDante, WithoutAuthentication) {
    RunThrough(false, "", 0);
}

TEST(SocksDante, WithUserAndPassword) {
    RunThrough(true, test_user::Password(), 0);
}

TEST(SocksDante, WrongPasswordFailsWith20015) {
    RunThrough(true, "wrong", 20015);
}
