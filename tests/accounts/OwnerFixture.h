#pragma once
// The server engine answered by ServerOwner on loopback, and the real
// clients (python3 ftplib, curl, lftp) that drive it while the loop serves.
#include "accounts/AccountTexts.h"
#include "accounts/FileCopy.h"
#include "accounts/PathRights.h"
#include "accounts/ServerOwner.h"
#include "ftpserver/FtpServer.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <unistd.h>

namespace owner_test {

using namespace accounts;
using namespace testing_support;

// A client program that runs while the test's event loop serves it.
class Peer {
public:
    Peer(const std::string& program, const std::vector<std::string>& args) {
        QStringList list;
        for (const auto& a : args)
            list << QString::fromStdString(a);
        process_.start(QString::fromStdString(program), list);
    }
    ~Peer() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool Finish(int ms = 30000) {
        return RunLoopUntil([this] { return process_.state() == QProcess::NotRunning; }, ms);
    }
    std::string Out() {
        out_ += process_.readAllStandardOutput().toStdString();
        return out_;
    }
    std::string Err() { return process_.readAllStandardError().toStdString(); }

private:
    QProcess process_;
    std::string out_;
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

struct Owner : ::testing::Test {
    TempDir data;
    TempDir served;
    std::string root; // canonical served folder, no trailing "/"
    LogCapture log;
    AccountFiles files{data.Path(), log.Writer()};
    ServerLists lists;
    ServerPolicy policy;
    TFtpServer server;
    std::unique_ptr<ServerOwner> owner;
    int port = 0;

    void SetUp() override {
        root = CanonicalPath(served.Path());
        policy.maximumConcurrentUsers = 0;
        policy.idleTimeout = false;
        owner = std::make_unique<ServerOwner>(
            server, files, lists, [this] { return policy; }, log.Writer());
        server.Addr = "127.0.0.1";
        owner->Start("0");
        port = std::stoi(server.ListeningPort());
    }
    void TearDown() override {
        owner->KickAllUsers();
        RunLoopFor(50);
        owner->Stop();
        owner.reset();
    }

    void MakeDir(const std::string& rel) {
        ASSERT_EQ(::mkdir((root + rel).c_str(), 0755), 0) << rel;
    }

    // Appends a user with the given access entries (path relative to root).
    UserRecord& NewUser(const std::string& name, const std::string& password) {
        pending.emplace_back();
        UserRecord& u = pending.back();
        u.Name.Set(name);
        u.Password.Set(password);
        u.Enabled = 1;
        return u;
    }
    static void Grant(AccessEntry (&access)[kAccessEntries], const std::string& path,
                      std::initializer_list<Right> rights) {
        int place = AddAccessEntry(access, path);
        ASSERT_GT(place, 0);
        for (Right r : rights)
            RightFlag(access[place - 1], r) = 1;
    }
    // A user (password "p") with every right on its home folder and below.
    void JailedUser(const std::string& name, const std::string& home) {
        auto& u = NewUser(name, "p");
        u.HomeDirectory.Set(home);
        Grant(u.Access, home,
              {Right::Read, Right::List, Right::Write, Right::Rename, Right::Delete, Right::Inherit,
               Right::Create});
    }
    void StoreUsers() {
        for (const auto& u : pending)
            ASSERT_TRUE(files.Users().Append(u));
        pending.clear();
    }

    std::vector<std::string> Session(const std::vector<std::string>& commands) {
        std::vector<std::string> args{VEXA_SOURCE_DIR "/tests/accounts/ftp_driver.py",
                                      std::to_string(port)};
        args.insert(args.end(), commands.begin(), commands.end());
        Peer peer("/usr/bin/python3", args);
        EXPECT_TRUE(peer.Finish()) << "client did not finish";
        std::string err = peer.Err();
        EXPECT_TRUE(err.empty()) << err;
        return Lines(peer.Out());
    }

    // Two sessions of one account, step by step ("A cmd" / "B cmd").
    std::vector<std::string> TwoSessions(const std::string& user, const std::string& password,
                                         const std::vector<std::string>& steps) {
        std::vector<std::string> args{VEXA_SOURCE_DIR "/tests/accounts/two_sessions.py",
                                      std::to_string(port), user, password};
        args.insert(args.end(), steps.begin(), steps.end());
        Peer peer("/usr/bin/python3", args);
        EXPECT_TRUE(peer.Finish(60000)) << "client did not finish";
        std::string err = peer.Err();
        EXPECT_TRUE(err.empty()) << err;
        return Lines(peer.Out());
    }

    std::deque<UserRecord> pending;
};

struct Step {
    std::string command;
    std::string expect; // prefix of the printed reply
};

// Runs the steps and checks each reply's beginning.
inline void ExpectReplies(const std::vector<std::string>& out, const std::vector<Step>& steps,
                          std::size_t first) {
    ASSERT_EQ(out.size(), steps.size() + first);
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_TRUE(StartsWith(out[i + first], steps[i].expect))
            << steps[i].command << " -> " << out[i + first];
}

inline std::vector<std::string> Commands(const std::vector<Step>& steps) {
    std::vector<std::string> commands;
    for (const auto& s : steps)
        commands.push_back(s.command);
    return commands;
}

} // namespace owner_test
