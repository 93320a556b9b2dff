// No client holds the server's one thread or its memory: a fresh login is
// served while others flood, a client that never reads its replies is not
// read either, and connections that never log in or never open their passive
// data connection are ended by the time limits.
#include "ServerHarness.h"
#include "crypto/TRSA.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace server_test;
using testing_support::RunLoopFor;
using testing_support::RunLoopUntil;
using testing_support::TempDir;

// Sends one pattern again and again on a blocking connection from a thread
// of its own, never reading, until stopped, a limit is reached or the
// peer stops taking bytes for stallMs.
class Flooder {
public:
    Flooder(int fd, std::string pattern, long long limit, int stallMs = 0)
        : fd_(fd), pattern_(std::move(pattern)), limit_(limit) {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        if (stallMs > 0) {
            timeval tv{stallMs / 1000, (stallMs % 1000) * 1000};
            ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        }
        while (block_.size() < 64 * 1024)
            block_ += pattern_;
        thread_ = std::thread([this] { Run(); });
    }
    ~Flooder() { Stop(); }
    void Stop() {
        stop_ = true;
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR); // wakes a blocked send
        if (thread_.joinable())
            thread_.join();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    long long Sent() const { return sent_; }
    bool Done() const { return done_; }

private:
    void Run() {
        while (!stop_ && sent_ < limit_) {
            const long long want =
                std::min<long long>(static_cast<long long>(block_.size()), limit_ - sent_);
            const ssize_t n =
                ::send(fd_, block_.data(), static_cast<std::size_t>(want), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent_ += n;
        }
        done_ = true;
    }
    int fd_;
    std::string pattern_;
    std::string block_;
    long long limit_;
    std::atomic<long long> sent_{0};
    std::atomic<bool> stop_{false}, done_{false};
    std::thread thread_;
};

long long ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return 0;
}

// The server's own 2048-bit key pair, made once for this binary.
TRSA& KeyPair2048() {
    static std::unique_ptr<TRSA> pair;
    if (!pair) {
        pair = std::make_unique<TRSA>();
        pair->SetKeyBits(kb2048);
        pair->GenerateKeys();
    }
    return *pair;
}

class EngineFairness : public ::testing::Test {
protected:
    TempDir tmp;
    std::string home = std::filesystem::canonical(tmp.Path()).string() + "/";
    ServerFixture fx{home};

    // A new client connects and logs in while the flood goes on.
    void FreshLoginCompletes() {
        RawClient fresh(fx.Port());
        EXPECT_EQ(fresh.Reply(), "220 Vexa Server Ready.");
        EXPECT_EQ(fresh.Cmd("USER bob"), "331 Password required for bob.");
        EXPECT_EQ(fresh.Cmd("PASS secret"), "230 User bob logged in.");
    }
};

TEST_F(EngineFairness, FreshLoginCompletesWhileAnUploadStreams) {
    // The upload goes to /dev/null, so its size costs no disk.
    fx.Server().OnValidatePut = [](TFtpServer*, TFtpCtrlSocket*, std::string& path, bool& allowed) {
        path = "/dev/null";
        allowed = true;
    };
    // A slow disk: the server takes longer per block than the client needs
    // to send one, so bytes are always waiting.
    long long received = 0;
    fx.Server().OnStorDataAvailable = [&](TFtpServer*, TFtpCtrlSocket*, TWSocket*, const char*,
                                          int len, int) {
        received += len;
        ::usleep(2000);
    };
    RawClient up(fx.Port());
    up.Reply();
    up.Login();
    const int data = up.OpenPassive();
    ASSERT_GE(data, 0);
    ASSERT_EQ(up.Cmd("STOR big.bin"), "150 Opening data connection for big.bin.");
    const long long total = 1LL << 30;
    Flooder upload(data, testing_support::PatternBytes(65536, 4), total);
    ASSERT_TRUE(RunLoopUntil([&] { return received > (16 << 20); }));

    FreshLoginCompletes();
    EXPECT_LT(upload.Sent(), total); // the uploader still had bytes to send
    upload.Stop();
    EXPECT_EQ(up.Reply(), "226 File received ok");
}

TEST_F(EngineFairness, FreshLoginCompletesWhileAClientStreamsNoopsUnread) {
    // Before its replies piled up the server read the flood as fast as it
    // came; a fresh login must not wait for all of it.
    Flooder flood(NonBlocking(ConnectLoopback(fx.Port())), "NOOP\r\n", 64LL << 20);
    ASSERT_TRUE(RunLoopUntil([&] { return flood.Sent() > (1 << 20); }));
    FreshLoginCompletes();
    EXPECT_FALSE(flood.Done());
}

TEST_F(EngineFairness, FreshLoginCompletesWhileAClientStreamsCipherLines) {
    TRSA& keys = KeyPair2048();
    ProgramKeys programKeys = ProgramKeys::From(keys);
    fx.Server().Keys = &programKeys;
    // A real ciphertext: each line costs the server a 2048-bit private-key
    // operation before any login.
    const std::string line = keys.EncryptString("NOOP");
    ASSERT_GT(line.size(), 300u);
    int handled = 0;
    fx.Server().OnClientCommand = [&](TFtpServer*, TFtpCtrlSocket*, std::string&, std::string&,
                                      std::string&) { ++handled; };
    const int lines = 4000;
    Flooder flood(NonBlocking(ConnectLoopback(fx.Port())), line + "\r\n",
                  static_cast<long long>(line.size() + 2) * lines);
    ASSERT_TRUE(RunLoopUntil([&] { return handled > 20; }, 30000));
    FreshLoginCompletes();
    EXPECT_LT(handled, lines / 2); // the fresh client did not wait for the flood
}

TEST_F(EngineFairness, UnreadRepliesStopTheReadingOfCommands) {
    fx.Server().OnAnswerToClient = nullptr; // the test owner would keep every reply
    RunLoopFor(50);
    const long long before = ResidentBytes();
    long long peak = before;
    // Up to 50 MB of NOOP lines; the flood ends when the server stops taking
    // bytes for two seconds.
    Flooder flood(NonBlocking(ConnectLoopback(fx.Port())), "NOOP\r\n", 50LL << 20, 2000);
    ASSERT_TRUE(RunLoopUntil(
        [&] {
            peak = std::max(peak, ResidentBytes());
            return flood.Done();
        },
        120000));
#ifndef __SANITIZE_ADDRESS__
    // (The address sanitizer keeps freed memory aside for a while, so the
    // resident size says nothing there.)
    EXPECT_LT(peak - before, 16LL << 20) << "sent " << flood.Sent();
#endif
    EXPECT_LT(flood.Sent(), 50LL << 20);
    FreshLoginCompletes();
}

TEST_F(EngineFairness, LinesOfOneReadRunInTurnsAndAllGetTheirReplies) {
    // Many commands in one read: every one is answered, in order, and a
    // second client is served while they run.
    RawClient many(fx.Port()), other(fx.Port());
    many.Reply();
    other.Reply();
    std::string batch;
    for (int i = 0; i < 200; ++i)
        batch += "NOOP " + std::to_string(i) + "\r\n";
    many.SendRaw(batch);
    EXPECT_EQ(other.Cmd("NOOP x"), "200 Ok. Parameter was 'x'.");
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(many.Reply(), "200 Ok. Parameter was '" + std::to_string(i) + "'.");
    const auto& sent = fx.Owner().Answers;
    const auto at = [&](const std::string& reply) {
        return std::find(sent.begin(), sent.end(), reply) - sent.begin();
    };
    EXPECT_LT(at("200 Ok. Parameter was 'x'."), at("200 Ok. Parameter was '199'."));
}

TEST_F(EngineFairness, SilentConnectionsEndAtTheLoginTimeLimit) {
    fx.Server().MaxClients = 3;
    std::vector<std::string> log;
    fx.Server().Log = [&](int, const std::string& text, TColor) { log.push_back(text); };
    RawClient a(fx.Port()), b(fx.Port()), c(fx.Port());
    for (RawClient* r : {&a, &b, &c})
        EXPECT_EQ(r->Reply(), "220 Vexa Server Ready.");
    b.Cmd("USER bob"); // a user name alone is no login
    RawClient turnedAway(fx.Port());
    EXPECT_EQ(turnedAway.Reply(), "421 Too many users connected.");
    ASSERT_TRUE(RunLoopUntil([&] { return fx.Server().ClientCount() == 3; }));

    // The server's own one-second ticks run too: the values chosen here
    // stay clear of the limit even with a tick or two in between.
    fx.Server().CheckTimeLimits(58);
    RunLoopFor(100);
    EXPECT_EQ(fx.Server().ClientCount(), 3);
    fx.Server().CheckTimeLimits(3);
    for (RawClient* r : {&a, &b, &c}) {
        EXPECT_EQ(r->Reply(), "421 Login time-out.");
        EXPECT_TRUE(r->ClosedByServer());
    }
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].rfind("Disconnecting 127.0.0.1:", 0), 0u) << log[0];
    EXPECT_NE(log[0].find(": no login within 60 seconds."), std::string::npos) << log[0];

    RawClient fourth(fx.Port());
    EXPECT_EQ(fourth.Reply(), "220 Vexa Server Ready.");
    fourth.Login();
    // A completed login is never timed out, however long the session.
    fx.Server().CheckTimeLimits(1000);
    EXPECT_EQ(fourth.Cmd("NOOP"), "200 Ok. Parameter was ''.");
}

TEST_F(EngineFairness, PassiveConnectionThatNeverComesEndsTheTransfer) {
    testing_support::WriteFile(home + "f.txt", "data");
    RawClient c(fx.Port());
    c.Reply();
    c.Login();
    const std::string pasv = c.Cmd("PASV");
    ASSERT_EQ(pasv.rfind("227 ", 0), 0u);
    // The time limit counts from the transfer command, not from PASV.
    fx.Server().CheckTimeLimits(100);
    EXPECT_EQ(c.Cmd("RETR f.txt"), "150 Opening data connection for f.txt.");
    fx.Server().CheckTimeLimits(59);
    EXPECT_EQ(c.Reply(300), "");
    fx.Server().CheckTimeLimits(2);
    EXPECT_EQ(c.Reply(), "425 Cannot open data connection.");
    EXPECT_EQ(ConnectPassive(pasv), -1); // nobody listens there any more
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
    // A new PASV transfer works as usual.
    const int data = c.OpenPassive();
    ASSERT_GE(data, 0);
    EXPECT_EQ(c.Cmd("RETR f.txt"), "150 Opening data connection for f.txt.");
    EXPECT_EQ(ReadAll(data), "data");
    EXPECT_EQ(c.Reply(), "226 File sent ok");
}

} // namespace
