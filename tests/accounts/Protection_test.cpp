// Failed-login delays, bans and the per-address limit of the account owner,
// with real connections from two loopback addresses (127.0.0.1, 127.0.0.2)
// and the owner's clock moved by the test.
#include "OwnerFixture.h"
#include "accounts/BanFile.h"
#include "base/Version.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace owner_test;

namespace {

// A control connection from a chosen source address that never blocks the
// event loop.
class LineClient {
public:
    LineClient(const char* source, int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        ::inet_pton(AF_INET, source, &from.sin_addr);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
            ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        NonBlocking(fd_);
    }
    ~LineClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void Send(const std::string& line) {
        const std::string bytes = line + "\r\n";
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // The next reply line; "" when none came within ms or the server closed.
    std::string Reply(int ms = 5000) {
        std::string line;
        RunLoopUntil([&] { return Fill(), TakeLine(line) || closed_; }, ms);
        return line;
    }
    std::string Cmd(const std::string& line) {
        Send(line);
        return Reply();
    }
    bool ClosedByServer(int ms = 5000) {
        RunLoopUntil([&] { return Fill(), closed_; }, ms);
        return closed_;
    }
    // Everything received so far (for "no greeting" checks).
    const std::string& Received() const { return all_; }

private:
    void Fill() {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
            if (n > 0) {
                buffer_.append(buf, static_cast<std::size_t>(n));
                all_.append(buf, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                closed_ = true;
            return;
        }
    }
    bool TakeLine(std::string& line) {
        const auto end = buffer_.find("\r\n");
        if (end == std::string::npos)
            return false;
        line = buffer_.substr(0, end);
        buffer_.erase(0, end + 2);
        return true;
    }
    int fd_ = -1;
    std::string buffer_, all_;
    bool closed_ = false;
};

constexpr const char* kRobot = "127.0.0.2";
constexpr const char* kOther = "127.0.0.1";
const std::string kGreeting = std::string("220 ") + kVersionText;

struct Protected : Owner {
    ManualLoopClock clock;
    void SetUp() override {
        server.Clock = &clock;
        policy.protection.exemptLoopback = false;
        NewUser("bob", "pw");
        StoreUsers();
        Owner::SetUp();
    }
    // A wrong password whose reply waits for the clock: nothing comes before
    // delayMs have passed, the 530 comes once they have.
    void FailAfter(LineClient& c, std::int64_t delayMs) {
        ASSERT_EQ(c.Cmd("USER bob"), "331 Password required for bob.");
        c.Send("PASS wrong");
        ASSERT_TRUE(RunLoopUntil([&] { return clock.Waiting() > 0; }));
        EXPECT_EQ(clock.LastDelay(), delayMs);
        EXPECT_EQ(c.Reply(100), "");
        clock.Advance(delayMs - 1);
        EXPECT_EQ(c.Reply(50), "");
        clock.Advance(1);
        EXPECT_EQ(c.Reply(), "530 Login incorrect.");
    }
    // The greeting a new connection from source gets ("" when refused).
    std::string Greeting(const char* source) {
        LineClient c(source, port);
        return c.Reply();
    }
};

TEST_F(Protected, DelayGrowsPerAddressWhileOtherAddressesLogInAtOnce) {
    policy.protection.guard.banAfterFailedLogins = 0;
    LineClient robot(kRobot, port);
    ASSERT_EQ(robot.Reply(), kGreeting);
    FailAfter(robot, 1000);
    FailAfter(robot, 2000);

    // Third guess: 4 s. The connection reads nothing meanwhile, so its NOOP
    // is answered after the 530; another address logs in at once.
    ASSERT_EQ(robot.Cmd("USER bob"), "331 Password required for bob.");
    robot.Send("PASS wrong");
    robot.Send("NOOP x");
    ASSERT_TRUE(RunLoopUntil([&] { return clock.Waiting() > 0; }));
    EXPECT_EQ(clock.LastDelay(), 4000);
    LineClient other(kOther, port);
    ASSERT_EQ(other.Reply(), kGreeting);
    EXPECT_EQ(other.Cmd("USER bob"), "331 Password required for bob.");
    EXPECT_EQ(other.Cmd("PASS pw"), "230 User bob logged in.");
    EXPECT_EQ(robot.Reply(50), "");
    clock.Advance(4000);
    EXPECT_EQ(robot.Reply(), "530 Login incorrect.");
    EXPECT_EQ(robot.Reply(), "200 Ok. Parameter was 'x'.");

    for (std::int64_t delay : {8000, 10000, 10000})
        FailAfter(robot, delay);
    // A success resets the address's count.
    EXPECT_EQ(robot.Cmd("USER bob"), "331 Password required for bob.");
    EXPECT_EQ(robot.Cmd("PASS pw"), "230 User bob logged in.");
    FailAfter(robot, 1000);
}

TEST_F(Protected, FailuresOutsideTheWindowAreForgotten) {
    policy.protection.guard = {3, 5, 1};
    LineClient robot(kRobot, port);
    ASSERT_EQ(robot.Reply(), kGreeting);
    FailAfter(robot, 1000);
    FailAfter(robot, 2000);
    clock.Advance(5 * 60'000);
    FailAfter(robot, 1000);
    EXPECT_EQ(Greeting(kRobot), kGreeting);
    EXPECT_TRUE(owner->Protection().Bans().empty());
}

TEST_F(Protected, BanClosesBeforeTheGreetingUntilItEndsAndSurvivesARestart) {
    policy.protection.guard = {3, 5, 2};
    {
        LineClient robot(kRobot, port);
        ASSERT_EQ(robot.Reply(), kGreeting);
        FailAfter(robot, 1000);
        FailAfter(robot, 2000);
        FailAfter(robot, 4000);
        // The failure that bans ends its connection after the reply.
        EXPECT_TRUE(robot.ClosedByServer());
    }
    EXPECT_EQ(log.Count("Banned address 127.0.0.2 for 2 hours after 3 failed logins"), 1);

    LineClient refused(kRobot, port);
    EXPECT_TRUE(refused.ClosedByServer());
    EXPECT_EQ(refused.Received(), "");
    EXPECT_EQ(log.Count("Banned address 127.0.0.2 refused (3 failed logins)"), 1);
    EXPECT_EQ(Greeting(kOther), kGreeting);
    EXPECT_EQ(owner->ProtectionText(), "1 banned, 1 refused by bans, 0 by the per-address limit");

    // A new server on the same data folder keeps the ban.
    owner->Stop();
    owner.reset();
    std::vector<Ban> stored;
    ASSERT_EQ(ReadBanFile(data.Path(), stored), 0);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].address, kRobot);
    // Banned at the third guess, whose reply then waited 4 s.
    const std::int64_t left = 2 * 3'600'000 - 4000;
    EXPECT_EQ(stored[0].untilMs, clock.WallMs() + left);
    owner = std::make_unique<ServerOwner>(
        server, files, lists, [this] { return policy; }, log.Writer());
    owner->Start("0");
    port = std::stoi(server.ListeningPort());
    EXPECT_EQ(Greeting(kRobot), "");

    clock.Advance(left - 1000);
    EXPECT_EQ(Greeting(kRobot), "");
    clock.Advance(1000);
    EXPECT_EQ(Greeting(kRobot), kGreeting);
    EXPECT_TRUE(owner->Protection().Bans().empty());
}

TEST_F(Protected, ConnectionsOpenedBeforeTheBanTryNoMorePasswords) {
    policy.protection.guard = {2, 5, 1};
    LineClient first(kRobot, port), second(kRobot, port);
    ASSERT_EQ(first.Reply(), kGreeting);
    ASSERT_EQ(second.Reply(), kGreeting);
    FailAfter(first, 1000);
    FailAfter(first, 2000);
    // Even the right password is refused now, and the connection ends.
    EXPECT_EQ(second.Cmd("USER bob"), "331 Password required for bob.");
    second.Send("PASS pw");
    EXPECT_EQ(second.Reply(), "530 Login incorrect.");
    EXPECT_TRUE(second.ClosedByServer());
}

TEST_F(Protected, LiftedBanIsSeenByTheRunningServer) {
    policy.protection.guard = {1, 5, 1};
    {
        LineClient robot(kRobot, port);
        ASSERT_EQ(robot.Reply(), kGreeting);
        FailAfter(robot, 1000);
    }
    ASSERT_EQ(Greeting(kRobot), "");
    // The administration tool changes the file while this server runs.
    const auto lifted = RunCommand(VEXA_BIN_DIR "/vexa2-admin",
                                   {"--data-dir", data.Path(), "bans", "lift", kRobot});
    ASSERT_EQ(lifted.exitCode, 0) << lifted.err << ReadFile(data.File(kBanFile)) << " now "
                                  << clock.WallMs();
    EXPECT_EQ(Greeting(kRobot), kGreeting);

    // Lifting in the window's way does the same.
    {
        LineClient robot(kRobot, port);
        ASSERT_EQ(robot.Reply(), kGreeting);
        FailAfter(robot, 1000);
    }
    ASSERT_EQ(Greeting(kRobot), "");
    EXPECT_TRUE(owner->Protection().Lift(kRobot));
    EXPECT_FALSE(owner->Protection().Lift(kRobot));
    EXPECT_EQ(Greeting(kRobot), kGreeting);
    std::vector<Ban> stored;
    ASSERT_EQ(ReadBanFile(data.Path(), stored), 0);
    EXPECT_TRUE(stored.empty());
}

TEST_F(Protected, ExemptLoopbackAndAllowListedAddressesAreNeverBanned) {
    struct Case {
        const char* name;
        bool exemptLoopback;
        std::vector<std::string> allowList;
        bool delayed;
    };
    const Case cases[] = {
        {"loopback exempt", true, {}, false},
        {"allow list", false, {"127.0.0.*"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        policy.protection.exemptLoopback = c.exemptLoopback;
        policy.protection.guard = {2, 5, 1};
        policy.ipMode = c.allowList.empty() ? IpMode::Deny : IpMode::Allow;
        lists.IpList = c.allowList;
        LineClient robot(kRobot, port);
        ASSERT_EQ(robot.Reply(), kGreeting);
        for (int i = 1; i <= 4; ++i) {
            if (c.delayed) {
                FailAfter(robot, LoginGuard::DelayFor(i));
            } else {
                EXPECT_EQ(robot.Cmd("USER bob"), "331 Password required for bob.");
                EXPECT_EQ(robot.Cmd("PASS wrong"), "530 Login incorrect.");
            }
        }
        EXPECT_EQ(Greeting(kRobot), kGreeting);
        EXPECT_TRUE(owner->Protection().Bans().empty());
    }
}

TEST_F(Protected, EleventhConnectionFromOneAddressGets421) {
    std::vector<std::unique_ptr<LineClient>> held;
    for (int i = 0; i < 10; ++i) {
        held.push_back(std::make_unique<LineClient>(kRobot, port));
        ASSERT_EQ(held.back()->Reply(), kGreeting) << i;
    }
    LineClient eleventh(kRobot, port);
    EXPECT_EQ(eleventh.Reply(), "421 Too many connections from your address.");
    EXPECT_TRUE(eleventh.ClosedByServer());
    EXPECT_EQ(Greeting(kOther), kGreeting);
    EXPECT_EQ(log.Count("Refused a connection from 127.0.0.2: it already holds 10 connections"), 1);
    EXPECT_EQ(owner->ProtectionText(), "0 banned, 0 refused by bans, 1 by the per-address limit");

    // A place that frees up is taken again; 0 lifts the limit.
    held.pop_back();
    ASSERT_TRUE(RunLoopUntil([&] { return server.ClientCount() == 9; }));
    EXPECT_EQ(Greeting(kRobot), kGreeting);
    policy.protection.maxConnectionsPerAddress = 0;
    LineClient more(kRobot, port), evenMore(kRobot, port);
    EXPECT_EQ(more.Reply(), kGreeting);
    EXPECT_EQ(evenMore.Reply(), kGreeting);
}

} // namespace
