// Speed limits on data connections, with the server's clock moved by the
// test: a limited transfer moves what its limit allows for the time that
// passed, a changed limit applies to the running transfer, and a lifted one
// lets it finish with the same bytes.
#include "ServerHarness.h"
#include "support/EventLoop.h"
#include "support/Peers.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace server_test;
using testing_support::PatternBytes;
using testing_support::ReadFile;
using testing_support::RunLoopFor;
using testing_support::RunLoopUntil;
using testing_support::WriteFile;

constexpr std::int64_t kKiB = 1024;

class EnginePacing : public LoggedInServer {
protected:
    ManualLoopClock clock;
    void SetUp() override {
        fx.Server().Clock = &clock;
        LoggedInServer::SetUp();
    }
    // Moves the clock on by ms in small steps, serving the loop and calling
    // pump after each, as time would pass for a running transfer.
    void Pass(int ms, const std::function<void()>& pump) {
        for (int done = 0; done < ms; done += 25) {
            clock.Advance(25);
            RunLoopFor(5);
            pump();
        }
        RunLoopFor(20);
        pump();
    }
};

// Reads what has arrived on a data connection without waiting.
void Drain(int fd, std::string& into, bool& ended) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        ended = n == 0;
        return;
    }
}

TEST_F(EnginePacing, DownloadFollowsAChangingPerConnectionLimit) {
    const std::string content = PatternBytes(1024 * 1024, 7);
    WriteFile(home + "big.bin", content);
    fx.Server().ConnectionLimit = 64 * kKiB;
    const int fd = c.OpenPassive();
    ASSERT_EQ(c.Cmd("RETR big.bin"), "150 Opening data connection for big.bin.");
    std::string got;
    bool ended = false;
    const auto pump = [&] { Drain(fd, got, ended); };

    // Frozen time: one bucketful (a tenth of a second's worth) and no more.
    RunLoopFor(200);
    pump();
    const std::size_t burst = got.size();
    EXPECT_GT(burst, 0u);
    EXPECT_LE(burst, static_cast<std::size_t>(64 * kKiB / 10 + 1));

    // One second at 64 KiB/s.
    Pass(1000, pump);
    const std::size_t first = got.size() - burst;
    EXPECT_GE(first, static_cast<std::size_t>(56 * kKiB)) << first;
    EXPECT_LE(first, static_cast<std::size_t>(72 * kKiB)) << first;

    // Lowered to 16 KiB/s while running: the next second moves a quarter.
    fx.Server().ConnectionLimit = 16 * kKiB;
    const std::size_t before = got.size();
    Pass(1000, pump);
    const std::size_t second = got.size() - before;
    EXPECT_GE(second, static_cast<std::size_t>(8 * kKiB)) << second;
    EXPECT_LE(second, static_cast<std::size_t>(24 * kKiB)) << second;

    // Lifted: the waiting transfer looks again within a quarter second and
    // then runs to the end without the clock.
    fx.Server().ConnectionLimit = 0;
    clock.Advance(TransferPacer::kLongestWaitMs);
    ASSERT_TRUE(RunLoopUntil([&] { return pump(), ended; }, 20000));
    ::close(fd);
    EXPECT_TRUE(SameBytes(got, content));
    EXPECT_EQ(c.Reply(), "226 File sent ok");
}

TEST_F(EnginePacing, UploadReadsNoFasterThanTheServerWideLimit) {
    const std::string content = PatternBytes(300 * 1024, 9);
    fx.Server().UploadLimit = 64 * kKiB;
    std::int64_t received = 0;
    auto previous = fx.Server().OnStorDataAvailable;
    fx.Server().OnStorDataAvailable = [&](TFtpServer* s, TFtpCtrlSocket* client, TWSocket* data,
                                          const char* buf, int len, int error) {
        received += len;
        if (previous)
            previous(s, client, data, buf, len, error);
    };
    const int fd = c.OpenPassive();
    ASSERT_EQ(c.Cmd("STOR up.bin"), "150 Opening data connection for up.bin.");
    std::size_t sent = 0;
    const auto pump = [&] {
        while (sent < content.size()) {
            const ssize_t n = ::send(fd, content.data() + sent, content.size() - sent,
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
    };
    pump();
    RunLoopFor(200);
    pump();
    EXPECT_LE(received, 64 * kKiB / 10 + 1);
    const std::int64_t burst = received;
    Pass(1000, pump);
    EXPECT_GE(received - burst, 56 * kKiB);
    EXPECT_LE(received - burst, 72 * kKiB);

    fx.Server().UploadLimit = 0;
    clock.Advance(TransferPacer::kLongestWaitMs);
    ASSERT_TRUE(RunLoopUntil([&] { return pump(), sent == content.size(); }, 20000));
    ::close(fd);
    EXPECT_EQ(c.Reply(), "226 File received ok");
    EXPECT_TRUE(SameBytes(ReadFile(home + "up.bin"), content));
}

} // namespace
