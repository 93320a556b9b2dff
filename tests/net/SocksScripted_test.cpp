// SOCKS negotiation against a scripted proxy: versions 4 and 4A, and the
// failure codes no real proxy produces on demand.
#include "EventLoop.h"
#include "Loopback.h"
#include "net/TWSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace {

// Accepts one connection and runs a script on it with blocking calls.
class ScriptedProxy {
public:
    using Script = std::function<void(int fd)>;
    explicit ScriptedProxy(Script script) {
        listener_ = ListenLoopback(port_, 2);
        thread_ = std::thread([this, script] {
            const int fd = AcceptWithin(listener_, 10000);
            if (fd >= 0) {
                script(fd);
                ::close(fd);
            }
        });
    }
    ~ScriptedProxy() {
        thread_.join();
        ::close(listener_);
    }
    std::string Port() const { return std::to_string(port_); }

    // Reads exactly n bytes (fewer on close or after 5 s).
    static std::string Read(int fd, std::size_t n) {
        std::string out;
        while (out.size() < n) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            char buf[512];
            ssize_t got = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
            if (got <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(got));
        }
        return out;
    }
    // Reads up to and including a zero byte.
    static std::string ReadZ(int fd) {
        std::string out;
        for (;;) {
            std::string c = Read(fd, 1);
            if (c.empty())
                break;
            out += c;
            if (c[0] == '\0')
                break;
        }
        return out;
    }
    static void Write(int fd, const std::string& bytes) {
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    static void Hold(int fd) {
        // Keep the connection until the client closes it.
        Read(fd, 1);
    }

private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

struct Outcome {
    int connected = -1;
    int socksError = 0;
    std::string socksMessage;
    std::vector<int> authStates;
    std::string received;
    bool closed = false;
};

void Wire(TWSocket& s, Outcome& o) {
    s.OnSessionConnected = [&o](TCustomWSocket*, int e) { o.connected = e; };
    s.OnSocksError = [&o](TCustomWSocket*, int e, const std::string& m) {
        o.socksError = e;
        o.socksMessage = m;
    };
    s.OnSocksAuthState = [&o](TCustomWSocket*, int st) { o.authStates.push_back(st); };
    s.OnDataAvailable = [&o](TCustomWSocket* sender, int) {
        char buf[256];
        int n = sender->Receive(buf, sizeof buf);
        if (n > 0)
            o.received.append(buf, static_cast<std::size_t>(n));
    };
    s.OnSessionClosed = [&o](TCustomWSocket*, int) { o.closed = true; };
}

void Aim(TWSocket& s, const ScriptedProxy& proxy, const std::string& level) {
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(proxy.Port());
    s.SetSocksLevel(level);
    s.SetAddr("127.0.0.1");
    s.SetPort("2121");
}

} // namespace

TEST(SocksScripted, Version4SendsTheRequestAndUserId) {
    std::string request;
    ScriptedProxy proxy([&](int fd) {
        request = ScriptedProxy::Read(fd, 8);
        request += ScriptedProxy::ReadZ(fd);
        ScriptedProxy::Write(fd, B({0, 90, 0, 0, 0, 0, 0, 0}) + "hello");
        ScriptedProxy::Hold(fd);
    });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, "4");
    s.SetSocksUsercode("alice");
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return o.received == "hello"; }, 5000));
    EXPECT_EQ(o.connected, 0);
    EXPECT_EQ(request, B({4, 1, 2121 >> 8, 2121 & 0xFF, 127, 0, 0, 1}) + "alice" + B({0}));
    s.Close();
}

TEST(SocksScripted, Version4ANamesTheHost) {
    std::string request;
    ScriptedProxy proxy([&](int fd) {
        request = ScriptedProxy::Read(fd, 8);
        request += ScriptedProxy::ReadZ(fd);
        request += ScriptedProxy::ReadZ(fd);
        ScriptedProxy::Write(fd, B({0, 90, 0, 0, 0, 0, 0, 0}));
        ScriptedProxy::Hold(fd);
    });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, "4a");
    EXPECT_EQ(s.SocksLevel(), "4A");
    s.SetAddr("ftp.example.org");
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return o.connected >= 0; }, 5000));
    EXPECT_EQ(o.connected, 0);
    EXPECT_EQ(request,
              B({4, 1, 2121 >> 8, 2121 & 0xFF, 0, 0, 0, 1, 0}) + "ftp.example.org" + B({0}));
    s.Close();
}

struct FailureCase {
    const char* name;
    const char* level;
    std::string answer; // after the client's first message
    int code;
    const char* message;
};

class SocksFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SocksFailures, ReportCodeAndText) {
    const auto& c = GetParam();
    ScriptedProxy proxy([&](int fd) {
        ScriptedProxy::Read(fd, std::string(c.level) == "5" ? 3 : 9);
        ScriptedProxy::Write(fd, c.answer);
        if (std::string(c.level) == "5" && c.answer == B({5, 0})) {
            ScriptedProxy::Read(fd, 5 + 9 + 2); // connect request for "127.0.0.1"
            ScriptedProxy::Write(fd, B({5, c.code - 20003, 0, 1, 0, 0, 0, 0, 0, 0}));
        }
        ScriptedProxy::Hold(fd);
    });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, c.level);
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return o.connected >= 0 && o.closed; }, 5000));
    EXPECT_EQ(o.connected, c.code);
    EXPECT_EQ(o.socksError, c.code);
    EXPECT_EQ(o.socksMessage, c.message);
    EXPECT_EQ(s.State(), wsClosed);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SocksFailures,
    ::testing::Values(
        FailureCase{"Method255", "5", B({5, 255}), 20003, "authentification method not acceptable"},
        FailureCase{"WrongVersion", "5", B({4, 0}), 20002, "socks version error"},
        FailureCase{"Rep1", "5", B({5, 0}), 20004, "general SOCKS server failure"},
        FailureCase{"Rep5", "5", B({5, 0}), 20008, "connection refused"},
        FailureCase{"Rep8", "5", B({5, 0}), 20011, "address type not supported"},
        FailureCase{"V4Rejected", "4", B({0, 91, 0, 0, 0, 0, 0, 0}), 20016,
                    "request rejected or failed"},
        FailureCase{"V4Refused", "4", B({0, 92, 0, 0, 0, 0, 0, 0}), 20008, "connection refused"},
        FailureCase{"V4Auth", "4", B({0, 93, 0, 0, 0, 0, 0, 0}), 20015, "authentification failed"},
        FailureCase{"V4Other", "4", B({0, 99, 0, 0, 0, 0, 0, 0}), 20012, "unassigned error #99"},
        FailureCase{"V4Version", "4", B({1, 90, 0, 0, 0, 0, 0, 0}), 20002, "socks version error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SocksScripted, Version5ReplyWithTargetDataInTheSameRead) {
    std::string request;
    ScriptedProxy proxy([&](int fd) {
        ScriptedProxy::Read(fd, 3);
        ScriptedProxy::Write(fd, B({5, 0}));
        request = ScriptedProxy::Read(fd, 5 + 15 + 2);
        ScriptedProxy::Write(fd, B({5, 0, 0, 1, 127, 0, 0, 1, 8, 8}) + "220 greeting\r\n");
        ScriptedProxy::Hold(fd);
    });
    TWSocket s;
    Outcome o;
    std::string firstRead;
    Wire(s, o);
    s.OnDataAvailable = [&](TCustomWSocket* sender, int) {
        char buf[256];
        int n = sender->Receive(buf, sizeof buf);
        if (n > 0 && firstRead.empty())
            firstRead.assign(buf, static_cast<std::size_t>(n));
    };
    Aim(s, proxy, "5");
    s.SetAddr("ftp.example.org");
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return !firstRead.empty(); }, 5000));
    EXPECT_EQ(o.connected, 0);
    EXPECT_EQ(firstRead, "220 greeting\r\n");
    EXPECT_EQ(request, B({5, 1, 0, 3, 15}) + "ftp.example.org" + B({2121 >> 8, 2121 & 0xFF}));
    s.Close();
}

TEST(SocksScripted, Version5AuthenticationOfferedButNotRequired) {
    ScriptedProxy proxy([&](int fd) {
        EXPECT_EQ(ScriptedProxy::Read(fd, 3), B({5, 1, 2}));
        ScriptedProxy::Write(fd, B({5, 0}));
        ScriptedProxy::Read(fd, 5 + 9 + 2);
        ScriptedProxy::Write(fd, B({5, 0, 0, 3, 4}) + "host" + B({0, 21}));
        ScriptedProxy::Hold(fd);
    });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, "5");
    s.SetSocksUsercode("u");
    s.SetSocksPassword("p");
    s.SetSocksAuthentication(socksAuthenticateUsercode);
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return o.connected >= 0; }, 5000));
    EXPECT_EQ(o.connected, 0);
    EXPECT_EQ(o.authStates, std::vector<int>{socksAuthNotRequired});
    s.Close();
}

TEST(SocksScripted, Version5AuthenticationRefused) {
    std::string auth;
    ScriptedProxy proxy([&](int fd) {
        ScriptedProxy::Read(fd, 3);
        ScriptedProxy::Write(fd, B({5, 2}));
        auth = ScriptedProxy::Read(fd, 1 + 1 + 5 + 1 + 6);
        ScriptedProxy::Write(fd, B({1, 1}));
        ScriptedProxy::Hold(fd);
    });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, "5");
    s.SetSocksUsercode("alice");
    s.SetSocksPassword("secret");
    s.SetSocksAuthentication(socksAuthenticateUsercode);
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return o.connected >= 0 && o.closed; }, 5000));
    EXPECT_EQ(auth, B({1, 5}) + "alice" + B({6}) + "secret");
    EXPECT_EQ(o.connected, 20015);
    EXPECT_EQ(o.socksMessage, "socks authentication failed");
    EXPECT_EQ(o.authStates, (std::vector<int>{socksAuthStart, socksAuthFailure}));
}

TEST(SocksScripted, ProxyLeavingMidNegotiationFailsTheConnect) {
    ScriptedProxy proxy([&](int fd) { ScriptedProxy::Read(fd, 3); });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, "5");
    s.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return o.connected >= 0; }, 5000));
    EXPECT_NE(o.connected, 0);
}

TEST(SocksScripted, SettingsAndListen) {
    TWSocket s;
    EXPECT_EQ(s.SocksLevel(), "5");
    try {
        s.SetSocksLevel("6");
        ADD_FAILURE();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Invalid socks level. Must be 4, 4A or 5.");
    }
    s.SetSocksServer("  127.0.0.1 ");
    EXPECT_EQ(s.SocksServer(), "127.0.0.1");
    s.SetAddr("127.0.0.1");
    s.SetPort("0");
    try {
        s.Listen();
        ADD_FAILURE();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Listening is not supported thru socks server");
    }
    s.SetProto("udp");
    s.SetSocksPort("1080");
    try {
        s.Connect();
        ADD_FAILURE();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "tcp is the only protocol supported thru socks server");
    }
}

TEST(SocksScripted, ChangesRefusedWhileNotClosed) {
    ScriptedProxy proxy([&](int fd) { ScriptedProxy::Hold(fd); });
    TWSocket s;
    Outcome o;
    Wire(s, o);
    Aim(s, proxy, "5");
    s.Connect();
    struct Case {
        std::function<void()> change;
        const char* message;
    } cases[] = {
        {[&] { s.SetSocksLevel("4"); }, "Can't change socks level if not closed"},
        {[&] { s.SetSocksServer("10.0.0.1"); }, "Can't change socks server if not closed"},
        {[&] { s.SetSocksPort("99"); }, "Can't change socks port if not closed"},
    };
    for (const auto& c : cases) {
        try {
            c.change();
            ADD_FAILURE() << c.message;
        } catch (const ESocketException& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    s.Close();
    // A closed socket has forgotten its proxy.
    EXPECT_EQ(s.SocksServer(), "");
    EXPECT_EQ(s.SocksLevel(), "5");
}
