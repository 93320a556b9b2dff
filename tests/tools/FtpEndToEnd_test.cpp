// vexa2-ftp end to end: against vsftpd, through dante, and against our own
// server engine.
#include "../ftpclient/DantePeer.h"
#include "../ftpclient/OwnServer.h"
#include "../ftpclient/VsftpdPeer.h"
#include "EventLoop.h"
#include "Peers.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <sys/stat.h>

using namespace testing_support;

namespace {

// Runs vexa2-ftp while this process's loop keeps running (our own server
// lives on it).
CommandResult RunFtp(const std::vector<std::string>& args) {
    QProcess process;
    QStringList list;
    for (const auto& a : args)
        list << QString::fromStdString(a);
    process.start(QString::fromStdString(ProgramPath("vexa2-ftp")), list);
    CommandResult result;
    if (!process.waitForStarted(10000))
        return result;
    RunLoopUntil([&] { return process.state() == QProcess::NotRunning; }, 60000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

std::string Url(const std::string& user, const std::string& pass, int port) {
    return "ftp://" + user + ":" + pass + "@127.0.0.1:" + std::to_string(port) + "/";
}

// Lists, downloads and uploads, several commands in one run.
void ListGetPut(const std::string& url, const std::string& root, const std::vector<std::string>& options) {
    TempDir local;
    const std::string content = PatternBytes(1234567, 31);
    WriteFile(root + "remote.bin", content);
    WriteFile(local.File("up.bin"), content.substr(0, 5000));
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--verbose", url, "nlst", "get", "remote.bin", local.File("got.bin"), "put",
                             local.File("up.bin"), "size", "up.bin", "ls"});
    auto r = RunFtp(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(ReadFile(local.File("got.bin")) == content);
    EXPECT_EQ(ReadFile(root + "up.bin"), content.substr(0, 5000));
    EXPECT_NE(r.out.find("remote.bin\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n5000\n"), std::string::npos);
    EXPECT_NE(r.err.find("SEND -> RETR remote.bin"), std::string::npos);
    EXPECT_NE(r.err.find("RECV <- 226"), std::string::npos);
}

} // namespace

TEST(FtpEndToEnd, VsftpdPassiveAndActive) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    const std::string url = Url(VsftpdPeer::User(), VsftpdPeer::Password(), peer.Port());
    ListGetPut(url, peer.Root(), {"--passive"});
    ListGetPut(url, peer.Root(), {"--active"});
}

TEST(FtpEndToEnd, ThroughDante) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    DantePeer dante(true);
    ASSERT_TRUE(dante.Started());
    ListGetPut(Url(VsftpdPeer::User(), VsftpdPeer::Password(), peer.Port()), peer.Root(),
               {"--socks", "127.0.0.1:" + dante.PortText(), "--socks-user", test_user::Name(),
                "--socks-password", test_user::Password()});
}

TEST(FtpEndToEnd, OwnServer) {
    TempDir home;
    OwnServer server(home.Path());
    ListGetPut(Url(OwnServer::kUser, OwnServer::kPass, server.Port()), home.Path(), {});
}

TEST(FtpEndToEnd, ResumeAndFileCommands) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    TempDir local;
    const std::string content = PatternBytes(300000, 41);
    WriteFile(peer.Root() + "r.bin", content);
    WriteFile(local.File("r.bin"), content.substr(0, 100000));
    WriteFile(local.File("p.bin"), content);
    WriteFile(peer.Root() + "p.bin", content.substr(0, 70000));
    ::chmod((peer.Root() + "p.bin").c_str(), 0666); // the server runs as the test user
    auto r = RunFtp({"--verbose", Url(VsftpdPeer::User(), VsftpdPeer::Password(), peer.Port()), "resume-get",
                     "r.bin", local.File("r.bin"), "resume-put", local.File("p.bin"), "p.bin", "mkdir", "d",
                     "mv", "p.bin", "d/q.bin", "append", local.File("p.bin"), "d/q.bin", "rm", "r.bin",
                     "quote", "NOOP", "pwd"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(ReadFile(local.File("r.bin")) == content);
    EXPECT_TRUE(ReadFile(peer.Root() + "d/q.bin") == content + content);
    EXPECT_NE(r.err.find("SEND -> REST 100000"), std::string::npos);
    EXPECT_NE(r.err.find("SEND -> REST 70000"), std::string::npos);
    EXPECT_NE(r.out.find("200 "), std::string::npos);
    struct stat st {};
    EXPECT_NE(::stat((peer.Root() + "r.bin").c_str(), &st), 0);
}

TEST(FtpEndToEnd, FailureReportsTheReplyAndStops) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    TempDir local;
    auto r = RunFtp({Url(VsftpdPeer::User(), VsftpdPeer::Password(), peer.Port()), "get", "missing.bin",
                     local.File("m"), "mkdir", "never"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("550 "), std::string::npos) << r.err;
    struct stat st {};
    EXPECT_NE(::stat((peer.Root() + "never").c_str(), &st), 0);

    auto bad = RunFtp({Url(VsftpdPeer::User(), "wrong", peer.Port()), "pwd"});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("530 "), std::string::npos) << bad.err;

    auto usage = RunFtp({"ftp://h/", "fetch"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err, "vexa2-ftp: unknown command: fetch\n");
}
