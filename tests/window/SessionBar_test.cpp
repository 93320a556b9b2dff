// The client page tells the truth about its session: the encryption bar
// shows only what the current session negotiated, and a server that never
// greets ends the attempt within the reply time-out with a message saying
// so, while Disconnect during the wait says it was cancelled.
#include "ClientWindowEnv.h"

#include "app/AppSignals.h"
#include "app/KeyPairManagement.h"
#include "app/SettingsKeys.h"
#include "support/Loopback.h"
#include "support/peers/VsftpdPeer.h"

#include <QLabel>

#include <unistd.h>

using namespace testing_support;

namespace {

const std::string kKey = "Zq7pLm2Rt9Xw4Kc8Vb1Nh6Jd3Fs5Gy0Ue7Ia2Ob9Pr4Tl6Wm8Xn1Ck3H";

QStringList Bar(ClientPage& page) {
    QStringList values;
    for (int i = 0; i < 4; ++i)
        values << page.Indicator(i)->text();
    return values;
}

// The client log's lines, as the window's log pane receives them.
struct ClientLog {
    QStringList lines;
    explicit ClientLog(TForm1& w) {
        QObject::connect(&w.Signals(), &AppSignals::logLine,
                         [this](int which, const QString& line, int) {
                             if (which == 1)
                                 lines << line;
                         });
    }
    bool Has(const QString& text) const { return lines.contains(text); }
    bool Mentions(const QString& part) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& l) { return l.contains(part); });
    }
};

bool Disconnected(AppShell& shell) {
    return RunLoopUntil([&] { return !shell.Client().Groups().Disconnect; }, 30000);
}

} // namespace

TEST(SessionBar, APlainSessionAfterAnEncryptedOneShowsNoEncryption) {
    VsftpdPeer vsftpd;
    ASSERT_TRUE(vsftpd.Started());
    WindowEnv env({}, kKey);
    AppShell& shell = *env.shell;
    ClientPage& page = *env.window->Client();
    ChooseKeyBits(shell.Options(), shell.RSA1(), kb0512);
    bool generated = false;
    ASSERT_EQ(shell.GenerateKeyPair([&](const std::string&) { generated = true; }), "");
    ASSERT_TRUE(RunLoopUntil([&] { return generated; }, 60000));
    ASSERT_TRUE(env.StartServer());
    SiteRecord& site = shell.Client().CurrentSite;
    site.LoginType = 3;
    site.EncryptionKey = kKey;
    ASSERT_EQ(shell.ConnectClient(), "");
    ASSERT_TRUE(RunLoopUntil([&] { return shell.Client().Groups().RemoteUp; }, 60000));
    RunLoopFor(50);
    EXPECT_EQ(Bar(page), QStringList({"ON", "448 bit", "Blowfish", "ENABLED"}));

    env.window->Run(Command::Disconnect);
    ASSERT_TRUE(Disconnected(shell));
    RunLoopFor(50);
    // Between sessions: the key pair is ready, nothing is negotiated.
    EXPECT_EQ(Bar(page), QStringList({"READY", "", "", "READY"}));

    // vsftpd offers no key exchange and no enciphered data.
    site = SiteRecord{};
    site.Name = "vsftpd";
    site.Host = "127.0.0.1";
    site.Port = vsftpd.PortText();
    site.UserName = VsftpdPeer::User();
    site.Password = VsftpdPeer::Password();
    site.LoginType = 1;
    site.Passive = true;
    ASSERT_EQ(shell.ConnectClient(), "");
    ASSERT_TRUE(RunLoopUntil([&] { return shell.Client().Groups().RemoteUp; }, 60000));
    RunLoopFor(50);
    EXPECT_EQ(Bar(page), QStringList({"OFF", "N/A", "N/A", "NOT SUPPORTED BY SERVER"}));
    env.window->Run(Command::Disconnect);
    ASSERT_TRUE(Disconnected(shell));
}

TEST(SessionBar, ASilentServerEndsTheAttemptWithinTheTimeout) {
    WindowEnv env;
    AppShell& shell = *env.shell;
    ClientLog log(*env.window);
    int port = 0;
    const int silent = ListenLoopback(port, 8);
    ASSERT_GE(silent, 0);
    shell.Options().SetInt(keys::ClientTimeout, 1);
    SiteRecord& site = shell.Client().CurrentSite;
    site.Name = "silent";
    site.Host = "127.0.0.1";
    site.Port = std::to_string(port);
    site.UserName = "u";
    site.Password = "p";
    const QString where = QStringLiteral("127.0.0.1:%1").arg(port);

    // Left alone: the time-out ends it, and says what did not come.
    ASSERT_EQ(shell.ConnectClient(), "");
    ASSERT_TRUE(Disconnected(shell));
    EXPECT_TRUE(RunLoopUntil(
        [&] { return log.Has("No greeting from " + where + " within 1 second."); }, 5000))
        << log.lines.join("\n").toStdString();

    // Disconnect during the wait: one clear line, nothing about a component.
    log.lines.clear();
    shell.Options().SetInt(keys::ClientTimeout, 30);
    ASSERT_EQ(shell.ConnectClient(), "");
    RunLoopFor(300);
    env.window->Run(Command::Disconnect);
    ASSERT_TRUE(Disconnected(shell));
    EXPECT_TRUE(RunLoopUntil(
        [&] { return log.Has("Connection attempt to " + where + ": cancelled by the user."); },
        5000))
        << log.lines.join("\n").toStdString();
    EXPECT_FALSE(log.Mentions("not connected"));
    EXPECT_FALSE(log.Mentions("Operation aborted"));
    EXPECT_FALSE(shell.Ftp().Connected());
    ::close(silent);
}
