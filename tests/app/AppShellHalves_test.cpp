// The shell as the window's only door: both halves, the key pair read at
// use, generation off the loop thread, and options applied to a running
// server.
#include "app/AppShell.h"
#include "app/AppTexts.h"
#include "app/KeyPairManagement.h"
#include "app/SettingsKeys.h"
#include "support/EventLoop.h"
#include "support/ShellEnv.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// Generates a pair through the shell and waits for it.
std::string GenerateAndWait(AppShell& shell) {
    std::string outcome = "pending";
    std::string refused = shell.GenerateKeyPair([&](const std::string& o) { outcome = o; });
    if (!refused.empty())
        return refused;
    EXPECT_TRUE(RunLoopUntil([&] { return outcome != "pending"; }, 60000));
    return outcome;
}

// A socket pair bouncing a byte back and forth through the event loop: the
// count grows only while the loop thread is free.
struct PingPong {
    int fds[2] = {-1, -1};
    int replies = 0;
    std::unique_ptr<QSocketNotifier> echo, back;
    PingPong() {
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds);
        echo = std::make_unique<QSocketNotifier>(fds[1], QSocketNotifier::Read);
        back = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
        QObject::connect(echo.get(), &QSocketNotifier::activated, [this] {
            char b;
            if (::read(fds[1], &b, 1) == 1)
                (void)!::write(fds[1], &b, 1);
        });
        QObject::connect(back.get(), &QSocketNotifier::activated, [this] {
            char b;
            if (::read(fds[0], &b, 1) == 1) {
                ++replies;
                (void)!::write(fds[0], &b, 1);
            }
        });
        (void)!::write(fds[0], "p", 1);
    }
    ~PingPong() {
        echo.reset();
        back.reset();
        ::close(fds[0]);
        ::close(fds[1]);
    }
};

} // namespace

TEST(AppShellKeyPair, ANewPairIsAnnouncedAndUsedWhileTheLoopKeepsServing) {
    ShellEnv env;
    AppShell& shell = *env.shell;
    ChooseKeyBits(shell.Options(), shell.RSA1(), kb0512);
    ASSERT_EQ(GenerateAndWait(shell), "");
    const std::string firstKey = shell.Keys().PublicKeyText();
    ASSERT_FALSE(firstKey.empty());
    ASSERT_TRUE(env.StartServer());

    ChooseKeyBits(shell.Options(), shell.RSA1(), kb1024);
    int changes = 0;
    shell.OnKeyPairChanged = [&] { ++changes; };
    PingPong other;
    std::string outcome = "pending";
    int repliesAtCompletion = -1;
    ASSERT_EQ(shell.GenerateKeyPair([&](const std::string& o) {
        outcome = o;
        repliesAtCompletion = other.replies;
    }),
              "");
    // The idle server stopped; nothing may start under the coming pair.
    EXPECT_FALSE(shell.Server().Active());
    std::string error;
    EXPECT_FALSE(shell.StartServer(error));
    EXPECT_EQ(error, apptexts::kBusyGeneratingKeys);
    EXPECT_EQ(shell.ConnectClient(), apptexts::kBusyGeneratingKeys);
    EXPECT_EQ(shell.GenerateKeyPair({}), apptexts::kBusyGeneratingKeys);
    ASSERT_TRUE(RunLoopUntil([&] { return outcome != "pending"; }, 60000));
    EXPECT_EQ(outcome, "");
    EXPECT_GE(repliesAtCompletion, 3) << "the loop was held during generation";
    EXPECT_EQ(changes, 1);
    EXPECT_NE(shell.Keys().PublicKeyText(), firstKey);
    EXPECT_EQ(shell.Keys().CurrentKeyBits, "1024");
    EXPECT_EQ(shell.Options().GetString(keys::PublicKey), shell.Keys().PublicKeyText());
    EXPECT_EQ(shell.Options().GetString(keys::CurrentKeyBits), "1024");

    // The restarted server announces the new key and reads commands
    // enciphered with it; the client half announces it too.
    ASSERT_TRUE(env.StartServer());
    ASSERT_TRUE(ConnectAndList(shell));
    EXPECT_EQ(shell.Ftp().ServerPublicKey, shell.Keys().PublicKeyText());
    EXPECT_EQ(shell.Ftp().MyPublicKey, shell.Keys().PublicKeyText());
    EXPECT_EQ(shell.Ftp().ServerPublicKeyBits, "1024");
    EXPECT_EQ(shell.Client().Indicators().CommandPortEncryption, "ENABLED");

    // With a client connected the pair cannot change.
    EXPECT_EQ(shell.GenerateKeyPair({}), apptexts::kGenerateWhileServerActive);
    EXPECT_EQ(shell.ClearKeyPair(), apptexts::kClearWhileServerActive);
}

TEST(AppShellSettings, UserLimitAndIdleTimeoutReachARunningServer) {
    ShellEnv env;
    AppShell& shell = *env.shell;
    ASSERT_TRUE(env.StartServer());
    auto greeting = [&](QTcpSocket& socket) {
        socket.connectToHost("127.0.0.1", static_cast<quint16>(env.Port()));
        EXPECT_TRUE(RunLoopUntil([&] { return socket.canReadLine(); }));
        return socket.readLine().trimmed().toStdString();
    };

    shell.Options().SetString(keys::MaximumConcurrentUsers, "1");
    QTcpSocket first, second;
    EXPECT_EQ(greeting(first).substr(0, 4), "220 ");
    EXPECT_EQ(greeting(second), "421 Too many users connected.");
    second.abort();
    RunLoopUntil([&] { return shell.Server().ClientCount() == 1; });

    shell.Options().SetString(keys::MaximumConcurrentUsers, "0");
    QTcpSocket third;
    EXPECT_EQ(greeting(third).substr(0, 4), "220 ");
    third.abort();

    // The idle sweep starts with the switch and uses the seconds set now.
    EXPECT_FALSE(shell.Owner().IdleTimerRunning());
    shell.Options().SetBool(keys::IdleTimeout, true);
    EXPECT_TRUE(shell.Owner().IdleTimerRunning());
    shell.Options().SetInt(keys::IdleCount, 60);
    for (int tick = 0; tick < 13; ++tick)
        shell.Owner().IdleTick();
    EXPECT_TRUE(RunLoopUntil([&] { return first.state() == QAbstractSocket::UnconnectedState; }));
    shell.Options().SetBool(keys::IdleTimeout, false);
    EXPECT_FALSE(shell.Owner().IdleTimerRunning());
}
