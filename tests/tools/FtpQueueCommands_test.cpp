// vexa2-ftp's transfer-queue commands (get -r, put -r, mget, mput), what
// it does with existing targets, its exit statuses and its progress line,
// against vsftpd and our own server.
#include "FtpRun.h"
#include "QueueEnv.h"
#include "ScriptedPeer.h"
#include "support/peers/DantePeer.h"
#include "support/peers/OwnServer.h"
#include "support/peers/VsftpdPeer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The queue tests' tree (nested folders with empty ones, names with
// spaces, an empty file) and 200 small files.
void MakeBigTree(const std::string& root) {
    MakeTree(root);
    fs::create_directories(root + "/many");
    for (int i = 0; i < 200; ++i)
        WriteFile(root + "/many/f" + std::to_string(i) + ".txt", PatternBytes(100 + i, i));
}

// diff -r: the same folders, files and bytes.
bool SameTree(const std::string& a, const std::string& b, std::string& why) {
    CommandResult r = RunCommand("/usr/bin/diff", {"-r", a, b});
    why = r.out + r.err;
    return r.exitCode == 0;
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// One server the tests run against: its address and the folder it serves.
struct Server {
    std::string name;
    std::string url;
    std::string root; // ends in "/"
};

// Runs body against vsftpd and against our own server engine.
void ForEachServer(const std::function<void(const Server&)>& body) {
    {
        VsftpdPeer peer;
        ASSERT_TRUE(peer.Started());
        body({"vsftpd",
              "ftp://" + std::string(VsftpdPeer::User()) + ":" + VsftpdPeer::Password() +
                  "@127.0.0.1:" + peer.PortText() + "/",
              peer.Root()});
    }
    {
        TempDir home;
        OwnServer server(home.Path());
        body({"own",
              "ftp://" + std::string(OwnServer::kUser) + ":" + OwnServer::kPass +
                  "@127.0.0.1:" + server.PortText() + "/",
              home.Path()});
    }
}

} // namespace

TEST(FtpQueueCommands, FolderTreesUpAndDownAreEqual) {
    ForEachServer([](const Server& s) {
        SCOPED_TRACE(s.name);
        TempDir local;
        MakeBigTree(local.File("src"));
        auto up = RunFtp({s.url, "put", "-r", local.File("src"), "up"});
        ASSERT_EQ(up.exitCode, 0) << up.err;
        std::string why;
        EXPECT_TRUE(SameTree(local.File("src"), s.root + "up", why)) << why;

        // Into a folder of another name; the server's tree is unchanged.
        auto down = RunFtp({s.url, "get", "-r", "up", "copy"}, local.Path());
        ASSERT_EQ(down.exitCode, 0) << down.err;
        EXPECT_TRUE(SameTree(local.File("src"), local.File("copy"), why)) << why;

        // Again into folders that exist: everything is overwritten in place.
        WriteFile(local.File("copy/a file.txt"), "something longer than the source file\n");
        auto again = RunFtp(
            {s.url, "get", "-r", "up", "copy", "put", "-r", local.File("src"), "up"}, local.Path());
        ASSERT_EQ(again.exitCode, 0) << again.err;
        EXPECT_TRUE(SameTree(local.File("src"), local.File("copy"), why)) << why;
        EXPECT_TRUE(SameTree(local.File("src"), s.root + "up", why)) << why;
    });
}

TEST(FtpQueueCommands, MgetAndMputMoveExactlyTheMatchingFiles) {
    ForEachServer([](const Server& s) {
        SCOPED_TRACE(s.name);
        TempDir local;
        for (const char* name : {"a.bin", "b.bin", "c.txt", "bin.txt"})
            WriteFile(s.root + name, PatternBytes(5000, name[0]));
        fs::create_directories(s.root + "sub/inner.bin");
        WriteFile(s.root + "sub/d.bin", "d");
        fs::create_directories(local.File("in"));
        auto got = RunFtp({s.url, "mget", "*.bin", "sub/*.bin"}, local.File("in"));
        ASSERT_EQ(got.exitCode, 0) << got.err;
        EXPECT_EQ(Names(local.File("in")), (std::set<std::string>{"a.bin", "b.bin", "d.bin"}));
        EXPECT_TRUE(ReadFile(local.File("in/a.bin")) == ReadFile(s.root + "a.bin"));

        fs::create_directories(local.File("out/folder.bin"));
        for (const char* name : {"x.bin", "y.bin", "z.txt"})
            WriteFile(local.File(std::string("out/") + name), PatternBytes(3000, name[0]));
        fs::create_directories(s.root + "target");
        ::chmod((s.root + "target").c_str(), 0777); // vsftpd writes as the test user
        auto sent = RunFtp({s.url + "target", "mput", local.File("out/*.bin")});
        ASSERT_EQ(sent.exitCode, 0) << sent.err;
        EXPECT_EQ(Names(s.root + "target"), (std::set<std::string>{"x.bin", "y.bin"}));
        EXPECT_TRUE(ReadFile(s.root + "target/y.bin") == ReadFile(local.File("out/y.bin")));

        // Nothing matched is a failure, never a silent success.
        auto none = RunFtp({s.url, "mget", "*.nothing"}, local.File("in"));
        EXPECT_EQ(none.exitCode, 5) << none.err;
        EXPECT_TRUE(Has(none.err, "no remote file matches *.nothing")) << none.err;
        auto noLocal = RunFtp({s.url, "mput", local.File("out/*.nothing")});
        EXPECT_EQ(noLocal.exitCode, 6) << noLocal.err;
    });
}

TEST(FtpQueueCommands, ExistingTargetsByOption) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    TempDir local;
    const std::string url = "ftp://" + std::string(VsftpdPeer::User()) + ":" +
                            VsftpdPeer::Password() + "@127.0.0.1:" + peer.PortText() + "/";
    const std::string content = PatternBytes(300000, 41);
    fs::create_directories(peer.Root() + "tree/in");
    WriteFile(peer.Root() + "tree/in/big.bin", content);
    WriteFile(peer.Root() + "tree/small.txt", "remote small\n");
    fs::create_directories(local.File("tree/in"));

    // --resume completes a partial file from where it stopped, in a tree
    // too, and leaves a complete one alone.
    WriteFile(local.File("tree/in/big.bin"), content.substr(0, 100000));
    WriteFile(local.File("tree/small.txt"), "remote small\n");
    auto resumed = RunFtp({"--resume", "--verbose", url, "get", "-r", "tree"}, local.Path());
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_TRUE(ReadFile(local.File("tree/in/big.bin")) == content);
    EXPECT_TRUE(Has(resumed.err, "SEND -> REST 100000")) << resumed.err;
    EXPECT_TRUE(Has(resumed.err, "Skipped tree/small.txt")) << resumed.err;

    // A single get resumes too.
    WriteFile(local.File("one.bin"), content.substr(0, 5000));
    auto one =
        RunFtp({"--resume", "--verbose", url, "get", "tree/in/big.bin", local.File("one.bin")});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_TRUE(ReadFile(local.File("one.bin")) == content);
    EXPECT_TRUE(Has(one.err, "SEND -> REST 5000")) << one.err;

    // A target larger than its source is never appended to: --resume
    // leaves it and says so.
    const std::string longer = std::string(400000, 'x');
    WriteFile(local.File("tree/in/big.bin"), longer);
    auto larger = RunFtp({"--resume", url, "get", "-r", "tree"}, local.Path());
    EXPECT_EQ(larger.exitCode, 0) << larger.err;
    EXPECT_TRUE(Has(larger.err, "nothing to resume")) << larger.err;
    EXPECT_EQ(ReadFile(local.File("tree/in/big.bin")), longer);

    // --skip leaves what is there; without an option it is overwritten.
    WriteFile(local.File("tree/small.txt"), "local\n");
    auto skipped = RunFtp({"--skip", url, "get", "-r", "tree"}, local.Path());
    ASSERT_EQ(skipped.exitCode, 0) << skipped.err;
    EXPECT_EQ(ReadFile(local.File("tree/small.txt")), "local\n");
    EXPECT_EQ(ReadFile(local.File("tree/in/big.bin")), longer);
    auto plain = RunFtp({url, "get", "-r", "tree"}, local.Path());
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(ReadFile(local.File("tree/small.txt")), "remote small\n");
    EXPECT_TRUE(ReadFile(local.File("tree/in/big.bin")) == content);

    // Uploads: --resume appends only the missing end of a remote file.
    WriteFile(local.File("up.bin"), content);
    WriteFile(peer.Root() + "up.bin", content.substr(0, 120000));
    ::chmod((peer.Root() + "up.bin").c_str(), 0666); // the server runs as the test user
    auto put = RunFtp({"--resume", url, "put", local.File("up.bin")});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    EXPECT_TRUE(ReadFile(peer.Root() + "up.bin") == content);

    auto both = RunFtp({"--skip", "--resume", url, "pwd"});
    EXPECT_EQ(both.exitCode, 2);
}

// Each exit status, produced by a real failure.
TEST(FtpQueueCommands, ExitStatusTellsFailuresApart) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    DantePeer dante(true);
    ASSERT_TRUE(dante.Started());
    TempDir local;
    const std::string user = VsftpdPeer::User(), pass = VsftpdPeer::Password();
    const std::string url = "ftp://" + user + ":" + pass + "@127.0.0.1:" + peer.PortText() + "/";
    WriteFile(peer.Root() + "there.bin", "x");
    int silentPort = 0;
    const int silent = SilentListener(silentPort);
    ASSERT_GE(silent, 0);
    const std::string closedPort = std::to_string(FreePort());

    // A server that sends 400 of the 1000 bytes it announced.
    using Conn = ScriptedPeer::Conn;
    ScriptedPeer shortPeer([&](Conn& c) {
        c.Send("220 scripted\r\n");
        for (std::string line = c.ReadLine(); !line.empty(); line = c.ReadLine()) {
            const std::string word = line.substr(0, 4);
            if (word == "USER")
                c.Send("230 in\r\n");
            else if (word == "PASV")
                c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
            else if (word == "RETR") {
                int data = c.AcceptData();
                c.Send("150 Opening BINARY mode data connection for f.bin (1000 bytes).\r\n");
                Conn::SendAll(data, PatternBytes(400, 1));
                ::close(data);
                c.Send("226 Transfer complete.\r\n");
            } else
                c.Send("200 ok\r\n");
        }
    });

    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {"every command succeeds", {url, "pwd", "get", "there.bin", local.File("t")}, 0},
        {"unknown command", {url, "fetch"}, 2},
        {"unknown option", {"--frobnicate", url, "pwd"}, 2},
        {"nothing listens", {"ftp://127.0.0.1:" + closedPort + "/", "pwd"}, 3},
        {"the proxy refuses",
         {"--socks", "127.0.0.1:" + dante.PortText(), "--socks-user", test_user::Name(),
          "--socks-password", "wrong", url, "pwd"},
         3},
        {"wrong password",
         {"ftp://" + user + ":wrong@127.0.0.1:" + peer.PortText() + "/", "pwd"},
         4},
        {"remote file missing", {url, "get", "missing.bin", local.File("m")}, 5},
        {"a folder of the tree missing", {url, "get", "-r", "nosuchdir", local.File("nd")}, 5},
        {"quote refused", {url, "quote", "FROBNICATE"}, 5},
        {"local file missing", {url, "put", local.File("absent.bin")}, 6},
        {"local folder missing", {url, "put", "-r", local.File("absent"), "x"}, 6},
        {"local target folder missing", {url, "get", "there.bin", local.File("no/dir/t")}, 6},
        {"silent server",
         {"--timeout", "1", "ftp://127.0.0.1:" + std::to_string(silentPort) + "/", "pwd"},
         7},
        {"download cut short",
         {"ftp://u:p@127.0.0.1:" + shortPeer.PortText() + "/", "get", "f.bin", local.File("f")},
         8},
        {"mandatory encryption not agreed",
         {"--key", "shared secret", "--mandatory", url, "pwd"},
         9},
    };
    for (const Case& c : cases) {
        auto r = RunFtp(c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.what << "\n" << r.err;
    }
    ::close(silent);
}

// The progress line: on a terminal by itself, on a pipe only when asked.
TEST(FtpQueueCommands, ProgressLineOnATerminalOnly) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    TempDir local;
    WriteFile(peer.Root() + "p.bin", PatternBytes(3000000, 3));
    const std::string url = "ftp://" + std::string(VsftpdPeer::User()) + ":" +
                            VsftpdPeer::Password() + "@127.0.0.1:" + peer.PortText() + "/";
    const std::string ftp = ProgramPath("vexa2-ftp");
    const std::string command = "'" + ftp + "' " + url + " get p.bin '" + local.File("a.bin") + "'";
    // script gives the program a pseudo-terminal and copies what it shows.
    auto tty = RunCommand("/usr/bin/script", {"-qefc", command, "/dev/null"});
    ASSERT_EQ(tty.exitCode, 0) << tty.out << tty.err;
    EXPECT_TRUE(Has(tty.out, "\rp.bin  2.86 MiB/2.86 MiB  100%")) << tty.out;
    EXPECT_TRUE(Has(tty.out, " left")) << tty.out;

    auto pipe = RunFtp({url, "get", "p.bin", local.File("b.bin")});
    ASSERT_EQ(pipe.exitCode, 0) << pipe.err;
    EXPECT_EQ(pipe.err, "");
    auto asked = RunFtp({"--progress", url, "mget", "p.bin"}, local.Path());
    ASSERT_EQ(asked.exitCode, 0) << asked.err;
    EXPECT_TRUE(Has(asked.err, "p.bin  2.86 MiB/2.86 MiB  100%")) << asked.err;
    EXPECT_TRUE(Has(asked.err, "| all 2.86 MiB/2.86 MiB  100%")) << asked.err;
}
