// The encrypted session when a layer cannot be had: wrong or missing keys,
// a client that skips the key announcement, a plain server, a server without
// its own key, unreadable enciphered lines and the Encrypted Only gate.
#include "support/peers/EncryptedSupport.h"
#include "support/peers/VsftpdPeer.h"

#include <QProcess>

#include <fstream>

using namespace enc_test;

namespace {

const char* kNotNegotiated = "STATUS : Encryption NOT successfully negotiated.  Check the "
                             "Encryption Keys on both Client and "
                             "Server and try again.";
const char* kQuitting =
    "Encryption has been set to mandatory for this account on your side.  Quitting.";
const char* kContinuing = "Encryption has NOT been set to mandatory for this account on your side. "
                          " Continuing without encryption.";
const char* kRefusal = "Access Denied.  This server is only accepting Vexa Clients with encryption "
                       "enabled and working.";

struct KeyFailure {
    const char* name;
    std::string accountKey;
    bool mandatory;
};

void PrintTo(const KeyFailure& f, std::ostream* os) {
    *os << f.name;
}

class KeyCheckFails : public ::testing::TestWithParam<KeyFailure> {};

// Runs a program while the event loop serves it.
CommandResult RunServed(const std::string& program, const QStringList& args) {
    QProcess process;
    process.start(QString::fromStdString(program), args);
    RunLoopUntil([&] { return process.state() == QProcess::NotRunning; }, 60000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    CommandResult r;
    r.exitCode = process.exitCode();
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    return r;
}

// A command in plain: a keyword of three or four capitals first.
bool IsPlainCommand(const std::string& line) {
    const std::string word = line.substr(0, line.find(' '));
    return (word.size() == 3 || word.size() == 4) &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

} // namespace

TEST_P(KeyCheckFails, TakesTheFailurePath) {
    const KeyFailure& f = GetParam();
    Env env(&Pair(kb0512, 0), &Pair(kb0512, 1), f.accountKey);
    env.session->CurrentSite.EncryptionMandatory = f.mandatory;
    WriteFile(env.root + "plain.txt", "readable in plain");
    env.session->Connect();
    if (f.mandatory) {
        ASSERT_TRUE(RunLoopUntil(
            [&] { return !env.ftp.Connected() && env.clientLog.Count(kQuitting, colours::clRed); },
            30000));
        EXPECT_EQ(env.serverLog.CountStarting("RECV <- QUIT"), 1);
        EXPECT_EQ(env.serverLog.CountStarting("RECV <- PWD"), 0);
    } else {
        ASSERT_TRUE(RunLoopUntil([&] { return env.session->Groups().RemoteUp; }, 30000));
        EXPECT_EQ(env.clientLog.Count(kContinuing, colours::clRed), 1);
        EXPECT_EQ(env.serverLog.CountStarting("RECV <- PWD"), 1);
        // The session goes on in plain: data is not enciphered on either side.
        ASSERT_TRUE(env.Download("plain.txt", env.clientDir.File("plain.txt")));
        EXPECT_EQ(ReadFile(env.clientDir.File("plain.txt")), "readable in plain");
        EXPECT_FALSE(env.server.Client(0)->EncryptionActive);
    }
    EXPECT_EQ(env.clientLog.Count(kNotNegotiated, colours::clRed), 1);
    EXPECT_EQ(env.clientLog.Count("Encryption Successfully negotiated.", colours::clGreen), 0);
    EXPECT_FALSE(env.session->ClientEncryptionActive);
    if (!f.mandatory) {
        EXPECT_EQ(env.session->Indicators().Encryption, "OFF");
    }
    // The key-file download was made either way.
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- RETR *encryption.key*"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyCheckFails,
    ::testing::Values(KeyFailure{"WrongKeyContinues", "not the client's key", false},
                      KeyFailure{"WrongKeyQuits", "not the client's key", true},
                      KeyFailure{"AccountWithoutKey", "", false}),
    [](const ::testing::TestParamInfo<KeyFailure>& info) { return std::string(info.param.name); });

TEST(EncryptedFailures, NoRsaCommandEncryptionStillChecksTheKey) {
    Env env(&Pair(kb0512, 0), &Pair(kb0512, 1), kKey56);
    env.session->CurrentSite.NoRSA = true;
    Relay relay(env.port);
    env.session->CurrentSite.Port = std::to_string(relay.Port());
    ASSERT_TRUE(env.ConnectAndList());
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- PUBK"), 0);
    EXPECT_EQ(env.clientLog.Count("Encryption Successfully negotiated.", colours::clGreen), 1);
    EXPECT_TRUE(env.session->ClientEncryptionActive);
    WriteFile(env.root + "f.bin", PatternBytes(3000, 5));
    ASSERT_TRUE(env.Download("f.bin", env.clientDir.File("f.bin")));
    EXPECT_TRUE(ReadFile(env.clientDir.File("f.bin")) == PatternBytes(3000, 5));
    env.session->Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return relay.Finished(); }, 20000));
    for (const auto& line : SplitLines(relay.Up()))
        EXPECT_TRUE(IsPlainCommand(line)) << line;
    for (const auto& line : SplitLines(relay.Down()))
        // Feature lines of a multi-line reply begin with a blank.
        EXPECT_TRUE(LooksLikePlainReply(line) || line.rfind(" ", 0) == 0) << line;
}

TEST(EncryptedFailures, ServerWithoutItsOwnKeyAnswersInPlain) {
    Env env(nullptr, &Pair(kb0512, 1), kKey56);
    Relay relay(env.port);
    env.session->CurrentSite.Port = std::to_string(relay.Port());
    ASSERT_TRUE(env.ConnectAndList());
    EXPECT_EQ(env.session->Indicators().CommandPortEncryption, "NOT SUPPORTED BY SERVER");
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- PUBK"), 1);
    // The data layer does not depend on the command layer.
    EXPECT_TRUE(env.session->ClientEncryptionActive);
    env.session->Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return relay.Finished(); }, 20000));
    const auto up = SplitLines(relay.Up());
    ASSERT_FALSE(up.empty());
    EXPECT_EQ(up[0].rfind("PUBK ", 0), 0u);
    for (const auto& line : up)
        EXPECT_TRUE(IsPlainCommand(line)) << line;
    for (const auto& line : SplitLines(relay.Down()))
        // Feature lines of a multi-line reply begin with a blank.
        EXPECT_TRUE(LooksLikePlainReply(line) || line.rfind(" ", 0) == 0) << line;
}

TEST(EncryptedFailures, KeyTextThatDoesNotLoadIsNoKey) {
    Env env(&Pair(kb0512, 0), nullptr, kKey56);
    const std::string got = RawExchange(env.port, {"PUBK ++not-a-key-text!!0640512", "USER alice"});
    const auto lines = SplitLines(got);
    ASSERT_EQ(lines.size(), 3u) << got;
    EXPECT_EQ(lines[1].rfind("666 ++", 0), 0u);
    EXPECT_EQ(lines[2], "331 Password required for alice.");
    EXPECT_EQ(
        env.serverLog.CountStarting("PUBK from 127.0.0.1: the client's key text does not load"), 1);
}

TEST(EncryptedFailures, UnreadableEncipheredLinesAreDropped) {
    Env env(&Pair(kb0512, 0), nullptr, kKey56);
    const std::string got = RawExchange(
        env.port, {"this is not a command", "zzzzzzzzzzzzzzzzzzzzzzzz", "++++++++", "NOOP alive"});
    const auto lines = SplitLines(got);
    ASSERT_EQ(lines.size(), 2u) << got;
    EXPECT_EQ(lines[1], "200 Ok. Parameter was 'alive'.");
}

TEST(EncryptedFailures, PlainServerAnswersPubkWithAnError) {
    VsftpdPeer::Options options;
    options.ftpdBanner = "Vexa compatible test server";
    VsftpdPeer vsftpd(options);
    ASSERT_TRUE(vsftpd.Started());
    WriteFile(vsftpd.Root() + "hello.txt", "hello from vsftpd");

    Env env(&Pair(kb0512, 0), &Pair(kb0512, 1), kKey56);
    env.session->CurrentSite.Port = vsftpd.PortText();
    env.session->CurrentSite.UserName = VsftpdPeer::User();
    env.session->CurrentSite.Password = VsftpdPeer::Password();
    ASSERT_TRUE(env.ConnectAndList());
    EXPECT_GE(env.clientLog.CountStarting("SEND -> PUBK "), 1);
    EXPECT_EQ(env.session->Indicators().CommandPortEncryption, "NOT SUPPORTED BY SERVER");
    EXPECT_TRUE(env.ftp.ServerPublicKey.empty());
    EXPECT_FALSE(env.session->ClientEncryptionActive);
    bool listed = false;
    for (const auto& item : env.session->RemoteItems())
        listed |= item.Caption == "hello.txt";
    EXPECT_TRUE(listed);
    ASSERT_TRUE(env.Download("hello.txt", env.clientDir.File("hello.txt")));
    EXPECT_EQ(ReadFile(env.clientDir.File("hello.txt")), "hello from vsftpd");
}

TEST(EncryptedFailures, EncryptedOnlyRefusesCurl) {
    Env env(&Pair(kb0512, 0), nullptr, kKey56);
    env.policy.encryptedOnlyClients = true;
    WriteFile(env.root + "victim.txt", "stays");
    WriteFile(env.clientDir.File("upload.txt"), "payload");
    const QString url = QString("ftp://%1:%2@127.0.0.1:%3/").arg(kUser, kPass).arg(env.port);

    const CommandResult list = RunServed("/usr/bin/curl", {"-v", "-s", "--max-time", "20", url});
    EXPECT_NE(list.exitCode, 0);
    EXPECT_NE(list.err.find(std::string("220 ") + kRefusal), std::string::npos) << list.err;

    const CommandResult stor =
        RunServed("/usr/bin/curl",
                  {"-v", "-s", "--max-time", "20", "-T",
                   QString::fromStdString(env.clientDir.File("upload.txt")), url + "upload.txt"});
    EXPECT_NE(stor.exitCode, 0);
    EXPECT_NE(stor.err.find(kRefusal), std::string::npos) << stor.err;
    EXPECT_EQ(stor.err.find(std::string("220 ") + kRefusal), std::string::npos);

    const CommandResult dele =
        RunServed("/usr/bin/curl", {"-v", "-s", "--max-time", "20", "-Q", "DELE victim.txt", url});
    EXPECT_NE(dele.exitCode, 0);
    EXPECT_NE(dele.err.find(kRefusal), std::string::npos) << dele.err;
    EXPECT_EQ(dele.err.find(std::string("220 ") + kRefusal), std::string::npos);
    EXPECT_EQ(ReadFile(env.root + "victim.txt"), "stays");
    EXPECT_FALSE(std::ifstream(env.root + "upload.txt").good());
}

// SECURITY: only the pseudo-name itself skips the rights check; a real file
// whose name merely contains it is judged like any other.
TEST(EncryptedFailures, NamesContainingThePseudoNameNeedRights) {
    Env env(&Pair(kb0512, 0), nullptr, kKey56);
    TempDir outside;
    WriteFile(outside.File("a*encryption.key*"), "not yours");
    const std::string got =
        RawExchange(env.port, {std::string("USER ") + kUser, std::string("PASS ") + kPass,
                               "RETR " + outside.File("a*encryption.key*")});
    const auto lines = SplitLines(got);
    ASSERT_EQ(lines.size(), 4u) << got;
    EXPECT_EQ(lines[3], "500 Cannot RETR - Insufficient Rights.");
}
