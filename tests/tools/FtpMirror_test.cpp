// vexa2-ftp mirror and transfers over several connections: the comparison
// that decides what moves, and whole runs against vsftpd and our own server
// engine, counted from each server's own record of transfers.
#include "EventLoop.h"
#include "FtpRun.h"
#include "Peers.h"
#include "TempDir.h"
#include "support/peers/OwnServer.h"
#include "support/peers/VsftpdPeer.h"
#include "tools/FtpMirrorPlan.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kJan2020 = 1577836800; // 2020-01-01 00:00:00 UTC
constexpr std::time_t kNow = 1781160000;      // 2026-06-11 06:40:00 UTC

TEST(FtpMirrorPlan, ListingAndMdtmTimes) {
    struct Case {
        std::string date;
        std::int64_t seconds;
        std::int64_t precision;
    };
    const std::vector<Case> cases = {
        {"Jan  1  2020", kJan2020, 86400},
        {"Jun 11 06:39", kNow - 60, 60},
        {"jun 11 06:39", kNow - 60, 60},
        // Without a year and more than a day ahead: last year's.
        {"Dec 24 10:00", 1766570400, 60},
        {"Jun 12 06:00", kNow + 23 * 3600 + 20 * 60, 60},
        {"Foo 11 06:39", -1, 0},
        {"Jun xx 06:39", -1, 0},
        {"Jun 11 0639", -1, 0},
        {"", -1, 0},
    };
    for (const Case& c : cases) {
        const MirrorTime t = ListingTime(c.date, kNow);
        EXPECT_EQ(t.seconds, c.seconds) << c.date;
        if (c.seconds >= 0) {
            EXPECT_EQ(t.precision, c.precision) << c.date;
        }
    }
    EXPECT_EQ(MdtmTime("213 20200101000000").seconds, kJan2020);
    EXPECT_EQ(MdtmTime("213 20200101000001.123").seconds, kJan2020 + 1);
    EXPECT_FALSE(MdtmTime("550 no such file").Known());
    EXPECT_FALSE(MdtmTime("213 2020").Known());
    EXPECT_FALSE(MdtmTime("213 2020010100000x").Known());
}

TEST(FtpMirrorPlan, WhatMovesAndWhatGoes) {
    auto file = [](std::int64_t size, std::int64_t seconds, std::int64_t precision) {
        return MirrorFile{size, {seconds, precision}};
    };
    struct Case {
        const char* what;
        MirrorFile source;
        std::optional<MirrorFile> target;
        MirrorVerdict verdict;
    };
    const std::vector<Case> cases = {
        {"missing", file(5, 100, 0), std::nullopt, MirrorVerdict::Copy},
        {"other size", file(5, 100, 0), file(6, 100, 0), MirrorVerdict::Copy},
        {"same, exact", file(5, 100, 0), file(5, 100, 1), MirrorVerdict::Same},
        {"newer, exact", file(5, 103, 1), file(5, 100, 1), MirrorVerdict::Copy},
        {"older, exact", file(5, 50, 1), file(5, 100, 1), MirrorVerdict::Same},
        {"within a minute", file(5, 120, 60), file(5, 150, 0), MirrorVerdict::Unsure},
        {"newer beyond a minute", file(5, 300, 60), file(5, 150, 0), MirrorVerdict::Copy},
        {"older beyond a minute", file(5, 10, 0), file(5, 150, 60), MirrorVerdict::Same},
        {"times unknown", file(5, -1, 0), file(5, 100, 0), MirrorVerdict::Same},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompareForMirror(c.source, c.target), c.verdict) << c.what;

    MirrorTree source;
    source.folders = {"a", "a/b", "c"};
    source.files = {{"a/b/new", file(3, 100, 0)},
                    {"a/same", file(4, 100, 0)},
                    {"c/grown", file(10, 100, 0)},
                    {"unsure", file(1, 100, 60)}};
    MirrorTree target;
    target.folders = {"a", "old", "old/deeper"};
    target.files = {{"a/same", file(4, 100, 0)},
                    {"c-file-gone", file(1, 1, 0)},
                    {"old/deeper/x", file(1, 1, 0)},
                    {"unsure", file(1, 120, 0)}};
    MirrorPlan plan = PlanMirror(source, target, false);
    EXPECT_EQ(plan.newFolders, (std::vector<std::string>{"a/b", "c"}));
    ASSERT_EQ(plan.copies.size(), 2u);
    EXPECT_EQ(plan.copies[0].path, "a/b/new");
    EXPECT_EQ(plan.copies[1].path, "c/grown");
    EXPECT_TRUE(plan.deleteFiles.empty());
    EXPECT_EQ(plan.unsure, std::vector<std::string>{"unsure"});
    plan = PlanMirror(source, target, true);
    EXPECT_EQ(plan.deleteFiles, (std::vector<std::string>{"c-file-gone", "old/deeper/x"}));
    EXPECT_EQ(plan.deleteFolders, (std::vector<std::string>{"old/deeper", "old"}));

    // A copy cut short (smaller, written after the source) continues only
    // when asked, and never over a target older than the source.
    target.files["c/grown"] = file(4, 200, 0);
    plan = PlanMirror(source, target, false, true);
    ASSERT_EQ(plan.copies.size(), 2u);
    EXPECT_TRUE(plan.copies[1].resume);
    EXPECT_EQ(plan.copies[1].targetSize, 4);
    EXPECT_FALSE(PlanMirror(source, target, false, false).copies[1].resume);
    target.files["c/grown"] = file(4, 50, 0);
    EXPECT_FALSE(PlanMirror(source, target, false, true).copies[1].resume);
}

// --- whole runs -----------------------------------------------------------

void SetTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::int64_t TimeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

// Every file under top with its bytes, by relative path.
std::map<std::string, std::string> Tree(const std::string& top) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(top))
        if (e.is_regular_file())
            files[fs::relative(e.path(), top).string()] = ReadFile(e.path().string());
    return files;
}

void MakeTree(const std::string& top, int files, std::size_t size, std::int64_t seconds = -1) {
    for (int i = 0; i < files; ++i) {
        const std::string dir = top + "/d" + std::to_string(i / 100);
        fs::create_directories(dir);
        const std::string path = dir + "/f" + std::to_string(i) + ".bin";
        WriteFile(path, PatternBytes(size, static_cast<std::uint32_t>(i + 1)));
        if (seconds >= 0)
            SetTime(path, seconds);
    }
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A server the runs talk to, with its count of downloads and uploads taken
// from its own record.
struct Server {
    std::string name;
    std::string url;
    std::string root; // the served folder, ending in "/"
    std::function<int()> downloads;
    std::function<int()> uploads;
    std::function<int()> logins;
};

// Our server engine in this process, counting the commands it is given.
struct OwnSide {
    TempDir home;
    std::unique_ptr<OwnServer> server;
    std::shared_ptr<std::map<std::string, int>> commands =
        std::make_shared<std::map<std::string, int>>();
    Server Make(int maxClients = 0) {
        server = std::make_unique<OwnServer>(home.Path());
        server->Server().MaxClients = maxClients;
        auto seen = commands;
        server->Server().OnClientCommand = [seen](TFtpServer*, TFtpCtrlSocket*,
                                                  std::string& keyword, std::string&,
                                                  std::string&) { ++(*seen)[keyword]; };
        return {"own",
                "ftp://" + std::string(OwnServer::kUser) + ":" + OwnServer::kPass +
                    "@127.0.0.1:" + server->PortText() + "/",
                home.Path(),
                [seen] { return (*seen)["RETR"]; },
                [seen] { return (*seen)["STOR"] + (*seen)["APPE"]; },
                [seen] { return (*seen)["PASS"]; }};
    }
};

// vsftpd, counting the lines of its transfer log by direction.
int TransferLines(const std::string& log, const std::string& direction) {
    std::ifstream in(log);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        if (f.size() > 11 && f[11] == direction)
            ++n;
    }
    return n;
}

Server VsftpdSide(VsftpdPeer& peer) {
    const std::string log = peer.TransferLog();
    return {"vsftpd",
            "ftp://" + std::string(VsftpdPeer::User()) + ":" + VsftpdPeer::Password() +
                "@127.0.0.1:" + peer.PortText() + "/",
            peer.Root(),
            [log] { return TransferLines(log, "o"); },
            [log] { return TransferLines(log, "i"); },
            nullptr};
}

// mirror after 3 files were touched and 2 added moves exactly those 5;
// --dry-run changes nothing; --delete removes what the source lost. Both
// ways, with the downloaded files keeping the server's times.
void MirrorBothWays(const Server& s) {
    SCOPED_TRACE(s.name);
    const std::string remote = s.root + "tree";
    MakeTree(remote, 12, 3000, kJan2020);
    TempDir work;
    const std::string local = work.File("copy");
    auto mirror = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-j", "3", s.url});
        auto r = RunFtp(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r;
    };

    auto r = mirror({"mirror", "tree", local});
    EXPECT_EQ(Tree(local), Tree(remote));
    EXPECT_EQ(s.downloads(), 12);
    EXPECT_EQ(TimeOf(local + "/d0/f3.bin"), kJan2020);

    for (int i : {1, 5, 9})
        SetTime(remote + "/d0/f" + std::to_string(i) + ".bin", kJan2020 + 7200);
    WriteFile(remote + "/d0/added1.bin", PatternBytes(100, 77));
    fs::create_directories(remote + "/newdir/deeper");
    WriteFile(remote + "/newdir/deeper/added2.bin", PatternBytes(5000, 78));

    r = mirror({"--dry-run", "mirror", "tree", local});
    EXPECT_EQ(s.downloads(), 12);
    EXPECT_FALSE(fs::exists(local + "/newdir"));
    EXPECT_EQ(Count(r.out, "get "), 5) << r.out;

    r = mirror({"mirror", "tree", local});
    EXPECT_EQ(s.downloads(), 17) << r.out;
    EXPECT_EQ(Tree(local), Tree(remote));
    EXPECT_EQ(TimeOf(local + "/d0/f5.bin"), kJan2020 + 7200);
    r = mirror({"mirror", "tree", local});
    EXPECT_EQ(s.downloads(), 17) << r.out;
    EXPECT_TRUE(Has(r.out, "up to date")) << r.out;

    fs::remove(remote + "/d0/f2.bin");
    fs::remove_all(remote + "/newdir");
    r = mirror({"--delete", "mirror", "tree", local});
    EXPECT_TRUE(Has(r.out, "delete " + local + "/d0/f2.bin")) << r.out;
    EXPECT_TRUE(Has(r.out, "rmdir " + local + "/newdir/deeper")) << r.out;
    EXPECT_EQ(Tree(local), Tree(remote));
    EXPECT_FALSE(fs::exists(local + "/newdir"));

    // The other way: a new folder on the server, then the same changes here.
    const std::string up = s.root + "up";
    const int before = s.uploads();
    r = mirror({"mirror", "-R", local, "up"});
    EXPECT_EQ(Tree(up), Tree(local));
    EXPECT_EQ(s.uploads() - before, 12);
    for (int i : {3, 4, 6})
        SetTime(local + "/d0/f" + std::to_string(i) + ".bin", std::time(nullptr) + 3600);
    WriteFile(local + "/d0/added3.bin", PatternBytes(10, 79));
    fs::create_directories(local + "/other");
    WriteFile(local + "/other/added4.bin", PatternBytes(10, 80));
    r = mirror({"--dry-run", "mirror", "-R", local, "up"});
    EXPECT_EQ(s.uploads() - before, 12);
    EXPECT_EQ(Count(r.out, "put "), 5) << r.out;
    EXPECT_FALSE(fs::exists(up + "/other"));
    r = mirror({"mirror", "-R", local, "up"});
    EXPECT_EQ(s.uploads() - before, 17) << r.out;
    EXPECT_EQ(Tree(up), Tree(local));

    fs::remove(local + "/d0/f3.bin");
    r = mirror({"--delete", "mirror", "-R", local, "up"});
    EXPECT_FALSE(fs::exists(up + "/d0/f3.bin"));
    EXPECT_EQ(Tree(up), Tree(local));
}

TEST(FtpMirror, OwnServerBothWays) {
    OwnSide own;
    MirrorBothWays(own.Make());
}

TEST(FtpMirror, VsftpdBothWays) {
    VsftpdPeer::Options options;
    options.transferLog = true;
    options.anyPassivePort = true;
    VsftpdPeer peer(options);
    ASSERT_TRUE(peer.Started());
    MirrorBothWays(VsftpdSide(peer));
}

// 2,000 small files over 4 connections, down and up, byte for byte.
void ManyFilesBothWays(const Server& s) {
    SCOPED_TRACE(s.name);
    const std::string remote = s.root + "many";
    MakeTree(remote, 2000, 4096);
    TempDir work;
    auto r = RunFtp({"-q", "-j", "4", s.url, "mirror", "many", work.File("down")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(s.downloads(), 2000);
    const auto expected = Tree(remote);
    EXPECT_TRUE(Tree(work.File("down")) == expected);
    if (s.logins) {
        EXPECT_EQ(s.logins(), 4);
    }
    r = RunFtp({"-q", "--parallel=4", s.url, "mirror", "-R", work.File("down"), "back"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(s.uploads(), 2000);
    EXPECT_TRUE(Tree(s.root + "back") == expected);
}

TEST(FtpParallel, OwnServerTwoThousandFiles) {
    OwnSide own;
    ManyFilesBothWays(own.Make());
}

TEST(FtpParallel, VsftpdTwoThousandFiles) {
    VsftpdPeer::Options options;
    options.transferLog = true;
    options.anyPassivePort = true;
    VsftpdPeer peer(options);
    ASSERT_TRUE(peer.Started());
    ManyFilesBothWays(VsftpdSide(peer));
}

// A server that takes two sessions serves a run set to four over the two,
// and says so once.
void UserLimitOfTwo(const Server& s) {
    SCOPED_TRACE(s.name);
    MakeTree(s.root + "limited", 30, 2000);
    TempDir work;
    auto r = RunFtp({"-j", "4", s.url, "mirror", "limited", work.File("got")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Tree(work.File("got")) == Tree(s.root + "limited"));
    EXPECT_EQ(Count(r.err, "the server took 2 of 4 connections"), 1) << r.err;
    EXPECT_EQ(Count(r.err, "\n"), 1) << r.err;
}

TEST(FtpParallel, OwnServerUserLimit) {
    OwnSide own;
    UserLimitOfTwo(own.Make(2));
}

TEST(FtpParallel, VsftpdUserLimit) {
    VsftpdPeer::Options options;
    options.maxClients = 2;
    options.anyPassivePort = true;
    VsftpdPeer peer(options);
    ASSERT_TRUE(peer.Started());
    UserLimitOfTwo(VsftpdSide(peer));
}

// Ctrl-C in the middle of four downloads leaves what arrived; --resume
// continues those files and the copy ends byte for byte.
TEST(FtpParallel, InterruptedThenResumed) {
    OwnSide own;
    const Server s = own.Make();
    const std::string remote = s.root + "big";
    fs::create_directories(remote);
    for (int i = 0; i < 6; ++i)
        WriteFile(remote + "/b" + std::to_string(i), PatternBytes(3 << 20, 90 + i));
    TempDir work;
    const std::string local = work.File("big");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    TempDir xdg;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"})
        env.insert(name, QString::fromStdString(xdg.Path()));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(ProgramPath("vexa2-ftp")),
                  {"-q", "-j", "4", "--limit-rate", "1M", QString::fromStdString(s.url), "mirror",
                   "big", QString::fromStdString(local)});
    ASSERT_TRUE(process.waitForStarted(10000));
    auto arrived = [&] {
        std::int64_t bytes = 0;
        if (fs::exists(local))
            for (const auto& e : fs::directory_iterator(local))
                bytes += static_cast<std::int64_t>(e.file_size());
        return bytes;
    };
    ASSERT_TRUE(RunLoopUntil([&] { return arrived() > (2 << 20); }, 30000));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(RunLoopUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
    const std::int64_t kept = arrived();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 6 * (3 << 20));

    auto r = RunFtp({"-j", "4", "--resume", s.url, "mirror", "big", local});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GE(Count(r.out, "resume-get "), 1) << r.out;
    EXPECT_TRUE(Tree(local) == Tree(remote));
}

} // namespace
