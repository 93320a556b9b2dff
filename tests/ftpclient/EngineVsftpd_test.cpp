// The client engine against a real vsftpd on loopback.
#include "ClientHarness.h"
#include "Peers.h"
#include "TempDir.h"
#include "support/peers/VsftpdPeer.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <functional>
#include <sys/stat.h>

using namespace testing_support;

namespace {

void Login(TFtpClient& c, const VsftpdPeer& peer) {
    c.HostName = "127.0.0.1";
    c.Port = peer.PortText();
    c.UserName = VsftpdPeer::User();
    c.PassWord = VsftpdPeer::Password();
}

} // namespace

TEST(EngineVsftpd, ConnectPwdQuit) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    ClientHarness h;
    Login(h.client, peer);
    EXPECT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    EXPECT_EQ(h.done.back().request, ftpConnect);
    EXPECT_EQ(h.CountCommands("PASS "), 1);
    EXPECT_EQ(h.Run([&] { h.client.Pwd(); }), 0);
    EXPECT_EQ(h.client.ReplyPath() + "/", peer.Root());
    EXPECT_EQ(h.Run([&] { h.client.Quit(); }), 0);
    EXPECT_EQ(h.client.StatusCode(), 221);
    EXPECT_FALSE(h.client.Connected());
    EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
    EXPECT_EQ(h.done.size(), 3u);
}

TEST(EngineVsftpd, UserAnsweredWith230SkipsPass) {
    VsftpdPeer::Options options;
    options.noAnonPassword = true;
    VsftpdPeer peer(options);
    ASSERT_TRUE(peer.Started());
    ClientHarness h;
    Login(h.client, peer);
    h.client.UserName = "anonymous";
    EXPECT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    EXPECT_EQ(h.CountCommands("USER "), 1);
    EXPECT_EQ(h.CountCommands("PASS "), 0);
    EXPECT_EQ(h.client.StatusCode(), 230);
}

TEST(EngineVsftpd, FailingCwdInSessionGetStillQuitsAndReportsCwd) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    TempDir local;
    ClientHarness h;
    Login(h.client, peer);
    h.client.HostDirName = "/no/such/dir";
    h.client.HostFileName = "x";
    h.client.LocalFileName = local.File("x");
    EXPECT_EQ(h.Run([&] { h.client.SessionGet(); }), 550);
    EXPECT_EQ(h.done.back().request, ftpSessionGet);
    EXPECT_EQ(h.CountCommands("QUIT"), 1);
    EXPECT_EQ(h.CountCommands("RETR"), 0);
    EXPECT_EQ(h.CountCommands("TYPE"), 0);
    EXPECT_EQ(h.client.LastResponse().substr(0, 4), "550 ");
    EXPECT_EQ(h.client.StatusCode(), 550);
    EXPECT_FALSE(h.client.Connected());
    RunLoopFor(200);
    EXPECT_EQ(h.done.size(), 1u);
}

TEST(EngineVsftpd, MultiLineRepliesAreJudgedOnTheirLastLine) {
    TempDir dir;
    WriteFile(dir.File("banner"), "Welcome\nsecond line\n");
    ::chmod(dir.Path().c_str(), 0755);
    VsftpdPeer::Options options;
    options.bannerFile = dir.File("banner");
    VsftpdPeer peer(options);
    ASSERT_TRUE(peer.Started());
    ClientHarness h;
    Login(h.client, peer);
    EXPECT_EQ(h.Run([&] { h.client.Open(); }), 0);
    EXPECT_EQ(h.responses.size(), 3u); // 220-Welcome, 220-second line, 220
    EXPECT_THROW(h.client.Connect(), FtpException);
    EXPECT_EQ(h.Run([&] { h.client.User(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.Pass(); }), 0);
    // HELP is answered with a long 214- reply: judged once, on its last line.
    h.display.clear();
    h.responses.clear();
    h.client.LocalFileName = "HELP";
    EXPECT_EQ(h.Run([&] { h.client.Quote(); }), 0);
    EXPECT_GT(h.responses.size(), 2u);
    int shown = 0;
    for (const auto& line : h.display)
        if (line.rfind("< ", 0) == 0)
            ++shown;
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(h.client.StatusCode(), 214);
    EXPECT_EQ(h.done.size(), 4u);
}

TEST(EngineVsftpd, QuoteAcceptsAnyReplyBelow500) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    ClientHarness h;
    Login(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    struct Case {
        const char* line;
        int error;
    } cases[] = {{"NOOP", 0}, {"STAT", 0}, {"MODE S", 0}, {"XYZZY", 500}, {"RNTO x", 503}};
    for (const auto& c : cases) {
        h.client.LocalFileName = c.line;
        EXPECT_EQ(h.Run([&] { h.client.Quote(); }), c.error) << c.line;
        EXPECT_EQ(h.done.back().request, ftpQuote);
    }
}

TEST(EngineVsftpd, StartUpChecksRaiseWithoutRequestDone) {
    ClientHarness h;
    struct Case {
        std::function<void()> start;
        const char* message;
    } cases[] = {
        {[&] { h.client.User(); }, "UserName emtpy"},
        {[&] { h.client.Pass(); }, "Password emtpy"},
        {[&] { h.client.Pubk(); }, "Public Key emtpy"},
        {[&] { h.client.Cwd(); }, "HostDirName emtpy"},
        {[&] { h.client.Pwd(); }, "FTP component not connected"},
        {[&] { h.client.Dir(); }, "FTP component not connected"},
    };
    for (const auto& c : cases) {
        try {
            c.start();
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const FtpException& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
    }
    RunLoopFor(50);
    EXPECT_TRUE(h.done.empty());
}

TEST(EngineVsftpd, OpenOfAClosedPortFailsWith500Text) {
    ClientHarness h;
    h.client.HostName = "127.0.0.1";
    h.client.Port = std::to_string(FreePort());
    EXPECT_EQ(h.Run([&] { h.client.Open(); }), 10061);
    EXPECT_EQ(h.client.LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
    EXPECT_FALSE(h.client.Connected());
}

// ---------------------------------------------------------------- transfers

struct TransferCase {
    std::size_t size;
    bool passive;
};

class EngineTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(EngineTransfer, GetPutAppendByteForByte) {
    const auto param = GetParam();
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    TempDir local;
    const std::string content =
        PatternBytes(param.size, static_cast<std::uint32_t>(param.size + 7));
    WriteFile(peer.Root() + "src.bin", content);

    ClientHarness h;
    Login(h.client, peer);
    h.client.SetUsePassive(param.passive);
    h.client.HostDirName = peer.Root();
    h.client.HostFileName = "src.bin";
    h.client.LocalFileName = local.File("got.bin");
    ASSERT_EQ(h.Run([&] { h.client.SessionGet(); }, 60000), 0) << h.client.ErrorMessage();
    EXPECT_EQ(h.done.back().request, ftpSessionGet);
    EXPECT_TRUE(ReadFile(local.File("got.bin")) == content);
    EXPECT_EQ(h.CountCommands(param.passive ? "PASV" : "PORT 127,0,0,1,"), 1);

    h.client.HostFileName = "up.bin";
    ASSERT_EQ(h.Run([&] { h.client.SessionPut(); }, 60000), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(peer.Root() + "up.bin") == content);

    ASSERT_EQ(h.Run([&] { h.client.SessionAppend(); }, 60000), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(peer.Root() + "up.bin") == content + content);

    // The same on one connection, with the two-step requests.
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "src.bin";
    h.client.LocalFileName = local.File("again.bin");
    ASSERT_EQ(h.Run([&] { h.client.Get(); }, 60000), 0);
    EXPECT_EQ(h.done.back().request, ftpGet);
    EXPECT_TRUE(ReadFile(local.File("again.bin")) == content);
    EXPECT_EQ(h.client.TransferCount(), static_cast<std::int64_t>(param.size));
    h.client.HostFileName = "up2.bin";
    ASSERT_EQ(h.Run([&] { h.client.Put(); }, 60000), 0);
    EXPECT_TRUE(ReadFile(peer.Root() + "up2.bin") == content);
    ASSERT_EQ(h.Run([&] { h.client.Quit(); }), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EngineTransfer,
                         ::testing::Values(TransferCase{0, true}, TransferCase{1, true},
                                           TransferCase{1514, true}, TransferCase{10000000, true},
                                           TransferCase{0, false}, TransferCase{1, false},
                                           TransferCase{1514, false},
                                           TransferCase{10000000, false}),
                         [](const auto& info) {
                             return std::string(info.param.passive ? "Passive" : "Active") + "_" +
                                    std::to_string(info.param.size);
                         });

TEST(EngineVsftpd, DirAndLsToFileAndDisplay) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    WriteFile(peer.Root() + "alpha.txt", "a");
    WriteFile(peer.Root() + "beta.txt", "bb");
    TempDir local;
    for (bool passive : {true, false}) {
        ClientHarness h;
        Login(h.client, peer);
        h.client.SetUsePassive(passive);
        ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
        h.client.HostFileName = "";
        h.client.LocalFileName = local.File("list.txt");
        ASSERT_EQ(h.Run([&] { h.client.Dir(); }), 0);
        EXPECT_EQ(h.done.back().request, ftpDir);
        std::string listing = ReadFile(local.File("list.txt"));
        EXPECT_NE(listing.find("alpha.txt"), std::string::npos);
        EXPECT_NE(listing.find("beta.txt"), std::string::npos);

        std::vector<std::string> names;
        h.client.OnDisplayFile = [&](TCustomFtpCli*, const std::string& line) {
            names.push_back(line);
        };
        h.client.DisplayFileFlag = true;
        h.client.LocalFileName = "";
        ASSERT_EQ(h.Run([&] { h.client.Ls(); }), 0);
        EXPECT_EQ(h.done.back().request, ftpLs);
        EXPECT_EQ(names, (std::vector<std::string>{"alpha.txt", "beta.txt"}));
        bool stats = false;
        for (const auto& line : h.display)
            if (line.find(" bytes received/sent in ") != std::string::npos)
                stats = true;
        EXPECT_TRUE(stats);
    }
}

TEST(EngineVsftpd, RestGetWithoutLocalFileSendsNoRest) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    const std::string content = PatternBytes(100000, 3);
    WriteFile(peer.Root() + "r.bin", content);
    TempDir local;
    ClientHarness h;
    Login(h.client, peer);
    h.client.SetUsePassive(true);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "r.bin";
    h.client.LocalFileName = local.File("r.bin");
    ASSERT_EQ(h.Run([&] { h.client.RestGet(); }), 0);
    EXPECT_EQ(h.done.back().request, ftpRestGet);
    EXPECT_EQ(h.CountCommands("REST"), 0);
    EXPECT_TRUE(ReadFile(local.File("r.bin")) == content);
}

TEST(EngineVsftpd, RestGetResumesAPartialFile) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    const std::string content = PatternBytes(300000, 4);
    WriteFile(peer.Root() + "r.bin", content);
    TempDir local;
    WriteFile(local.File("r.bin"), content.substr(0, 123456));
    ClientHarness h;
    Login(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    ASSERT_EQ(h.Run([&] { h.client.TypeBinary(); }), 0); // vsftpd resumes binary transfers only
    h.client.HostFileName = "r.bin";
    h.client.LocalFileName = local.File("r.bin");
    ASSERT_EQ(h.Run([&] { h.client.RestGet(); }), 0) << ::testing::PrintToString(h.display);
    EXPECT_EQ(h.CountCommands("REST 123456"), 1);
    EXPECT_EQ(h.client.TransferCount(), 300000 - 123456);
    EXPECT_TRUE(ReadFile(local.File("r.bin")) == content);
    EXPECT_EQ(h.client.ResumeOffset, 0);
}

TEST(EngineVsftpd, FileCommandsAndSize) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    WriteFile(peer.Root() + "f.txt", "12345");
    ClientHarness h;
    Login(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "f.txt";
    EXPECT_EQ(h.Run([&] { h.client.Size(); }), 0);
    EXPECT_EQ(h.client.ReplySize(), 5);
    h.client.HostFileName = "new dir";
    EXPECT_EQ(h.Run([&] { h.client.Mkd(); }), 0);
    EXPECT_EQ(h.client.ReplyPath(), peer.Root() + "new dir");
    h.client.HostDirName = "new dir";
    EXPECT_EQ(h.Run([&] { h.client.Cwd(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.CDup(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.Rmd(); }), 0);
    h.client.HostFileName = "f.txt";
    h.client.LocalFileName = "g.txt";
    EXPECT_EQ(h.Run([&] { h.client.Rename(); }), 0);
    EXPECT_EQ(ReadFile(peer.Root() + "g.txt"), "12345");
    h.client.HostFileName = "g.txt";
    EXPECT_EQ(h.Run([&] { h.client.Dele(); }), 0);
    EXPECT_EQ(h.Run([&] { h.client.Dele(); }), 550);
    EXPECT_EQ(h.Run([&] { h.client.Syst(); }), 0);
    EXPECT_EQ(h.client.StatusCode(), 215);
    EXPECT_EQ(h.Run([&] { h.client.TypeAscii(); }), 0);
    EXPECT_FALSE(h.client.Binary);
}

TEST(EngineVsftpd, AbortDuringATransferEndsTheRequestOnce) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    WriteFile(peer.Root() + "big.bin", PatternBytes(50000000, 9));
    TempDir local;
    ClientHarness h;
    Login(h.client, peer);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    h.client.HostFileName = "big.bin";
    h.client.LocalFileName = local.File("big.bin");
    bool aborted = false;
    h.client.OnProgress = [&](TCustomFtpCli* c, std::int64_t count, bool&) {
        if (!aborted && count > 1000000) {
            aborted = true;
            QTimer::singleShot(0, [c] { c->Abort(); });
        }
    };
    EXPECT_EQ(h.Run([&] { h.client.Get(); }), 426);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(h.client.State(), TFtpState::ftpcReady);
    EXPECT_FALSE(h.client.Connected());
    RunLoopFor(300);
    EXPECT_EQ(h.done.size(), 2u);
    // The client is usable again.
    EXPECT_EQ(h.Run([&] { h.client.Connect(); }), 0);
}
