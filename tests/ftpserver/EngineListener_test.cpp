// The listener keeps listening whatever a connecting client does; only Stop
// or a fault of the listening socket itself ends it.
#include "ServerHarness.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

namespace {

using namespace server_test;
using testing_support::RunLoopFor;
using testing_support::RunLoopUntil;
using testing_support::TempDir;

// A connection that the kernel completes and the client resets (RST) before
// the server has taken it from the accept queue.
void ConnectAndReset(int port) {
    const int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    linger abort{1, 0};
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
    ::close(fd);
}

// The listening descriptor of this process bound to port.
int ListeningDescriptor(int port) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        int listening = 0;
        socklen_t len = sizeof listening;
        sockaddr_in local{};
        socklen_t addrLen = sizeof local;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && listening &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &addrLen) == 0 &&
            local.sin_family == AF_INET && ntohs(local.sin_port) == port)
            return fd;
    }
    return -1;
}

struct Listener : ::testing::Test {
    TempDir tmp;
    std::string home = std::filesystem::canonical(tmp.Path()).string() + "/";
    ServerFixture fx{home};
    std::vector<std::string> log;
    int failures = 0;
    void SetUp() override {
        fx.Server().Log = [this](int, const std::string& text, TColor) { log.push_back(text); };
        fx.Server().OnListenerFailed = [this](TFtpServer*, const std::string&) { ++failures; };
    }
};

TEST_F(Listener, ConnectionsResetInTheAcceptQueueLeaveItListening) {
    for (int round = 0; round < 20; ++round) {
        // The loop is held: the connections wait in the accept queue and
        // are reset there, then the server takes them all at once.
        for (int i = 0; i < 4; ++i)
            ConnectAndReset(fx.Port());
        RunLoopFor(30);
        ASSERT_TRUE(fx.Server().Active()) << "round " << round;
    }
    EXPECT_EQ(failures, 0);
    RunLoopFor(50);
    EXPECT_EQ(fx.Server().ClientCount(), 0);
    // Each dropped connection left a line in the log.
    EXPECT_FALSE(log.empty());
    RawClient fresh(fx.Port());
    EXPECT_EQ(fresh.Reply(), "220 Vexa Server Ready.");
    fresh.Login();
    EXPECT_EQ(fresh.Cmd("PWD"), "257 \"" + home + "\" is current directory.");
}

TEST_F(Listener, AFaultOfTheListeningSocketIsReported) {
    const int fd = ListeningDescriptor(fx.Port());
    ASSERT_GE(fd, 0);
    // A listening socket shut down for reading accepts no more: its next
    // accept fails with EINVAL, a fault of the listener itself.
    ASSERT_EQ(::shutdown(fd, SHUT_RD), 0);
    ASSERT_TRUE(RunLoopUntil([&] { return failures == 1; }, 5000));
    EXPECT_FALSE(fx.Server().Active());
    bool logged = false;
    for (const auto& line : log)
        logged |= line.rfind("The listening socket failed (", 0) == 0;
    EXPECT_TRUE(logged);
    RunLoopFor(50);
    EXPECT_EQ(failures, 1);
}

} // namespace
