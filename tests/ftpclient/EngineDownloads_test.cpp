// Downloads against a scripted peer: what the local file holds after each
// way a download can end, onto an existing file and onto a new name. An
// existing file is replaced only by a complete download: any failure leaves
// it byte for byte as it was, with no copy left beside it; a new name keeps
// the bytes received, for a resume.
#include "ClientHarness.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sys/socket.h>
#include <unistd.h>

using namespace testing_support;
using Conn = ScriptedPeer::Conn;

namespace {

const std::string kOld = "what was there before";
const std::string kPayload = PatternBytes(1000, 3);

enum class Outcome {
    Untouched, // an existing file keeps its bytes, a new name is not created
    Received   // the file holds exactly the bytes sent (maybe none); an
               // existing file keeps its bytes when the download failed
};

struct DownloadCase {
    const char* name;
    const char* sizeReply; // answer to SIZE asked first; nullptr: not asked
    const char* first;     // the first reply to RETR
    std::size_t sent;      // bytes of kPayload sent on the data connection
    bool reset;            // the data connection ends with a reset
    const char* final;     // the final reply; nullptr: the control connection closes
    bool fails;
    std::vector<std::string> messageHas;
    Outcome outcome;
};

const DownloadCase kCases[] = {
    {"Refused",
     nullptr,
     "550 No such file.",
     0,
     false,
     nullptr,
     true,
     {"550 No such file."},
     Outcome::Untouched},
    {"OpenedThenFailedWithoutData",
     nullptr,
     "150 Here it comes.",
     0,
     false,
     "550 Failed to open file.",
     true,
     {"550 Failed to open file."},
     Outcome::Untouched},
    {"ShortOfTheAnnouncedSize",
     nullptr,
     "150 Opening BINARY mode data connection for f (1000 bytes).",
     400,
     false,
     "226 Transfer complete.",
     true,
     {"expected 1000 bytes", "received 400 bytes"},
     Outcome::Received},
    {"ShortOfTheSizeReply",
     "213 1000",
     "150 Here it comes.",
     400,
     false,
     "226 Transfer complete.",
     true,
     {"expected 1000 bytes", "received 400 bytes"},
     Outcome::Received},
    {"ResetDataConnection",
     nullptr,
     "150 Here it comes.",
     400,
     true,
     "226 Transfer complete.",
     true,
     {"Connection reset by peer"},
     Outcome::Received},
    {"MidWay551",
     nullptr,
     "150 Here it comes.",
     400,
     false,
     "551 Disk trouble.",
     true,
     {"551 Disk trouble."},
     Outcome::Received},
    {"MidWay421",
     nullptr,
     "150 Here it comes.",
     400,
     false,
     "421 Shutting down.",
     true,
     {"421 Shutting down."},
     Outcome::Received},
    {"ControlConnectionClosedMidWay",
     nullptr,
     "150 Here it comes.",
     400,
     false,
     nullptr,
     true,
     {},
     Outcome::Received},
    {"CompleteWithNoBytes",
     "213 0",
     "150 Here it comes.",
     0,
     false,
     "226 Transfer complete.",
     false,
     {},
     Outcome::Received},
    {"CompleteWithItsSize",
     "213 1000",
     "150 Opening BINARY mode (1000 bytes).",
     1000,
     false,
     "226 Transfer complete.",
     false,
     {},
     Outcome::Received},
};

// The peer's side up to binary type: greeting, login, TYPE I.
void ScriptBinaryLogin(Conn& c) {
    c.Send("220 scripted\r\n");
    c.ReadLine(); // USER
    c.Send("331 password please\r\n");
    c.ReadLine(); // PASS
    c.Send("230 in\r\n");
    c.ReadLine(); // TYPE I
    c.Send("200 binary\r\n");
}

// The client's side of the same: logged in, passive, binary type.
void LogInBinary(ClientHarness& h, const ScriptedPeer& peer) {
    h.client.HostName = "127.0.0.1";
    h.client.Port = peer.PortText();
    h.client.UserName = "u";
    h.client.PassWord = "p";
    h.client.SetUsePassive(true);
    ASSERT_EQ(h.Run([&] { h.client.Connect(); }), 0);
    ASSERT_EQ(h.Run([&] { h.client.TypeBinary(); }), 0);
}

void ResetAndClose(int fd) {
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

} // namespace

class Download : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(Download, LocalFileAfterTheEnd) {
    const DownloadCase& tc = kCases[std::get<0>(GetParam())];
    const bool existing = std::get<1>(GetParam());
    ScriptedPeer peer([&](Conn& c) {
        ScriptBinaryLogin(c);
        if (tc.sizeReply) {
            c.ReadLine();
            c.Send(std::string(tc.sizeReply) + "\r\n");
        }
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        int data = c.AcceptData();
        c.ReadLine(); // RETR
        c.Send(std::string(tc.first) + "\r\n");
        if (tc.first[0] != '1') {
            ::close(data);
            return;
        }
        Conn::SendAll(data, kPayload.substr(0, tc.sent));
        Conn::Sleep(200); // the client has read it all before the end
        if (tc.reset)
            ResetAndClose(data);
        else
            ::close(data);
        Conn::Sleep(100);
        if (!tc.final)
            return; // the control connection closes
        c.Send(std::string(tc.final) + "\r\n");
        c.ReadLine(); // QUIT, or the client's close
    });
    TempDir local;
    const std::string path = local.File("keep.bin");
    if (existing)
        WriteFile(path, kOld);
    ClientHarness h;
    ASSERT_NO_FATAL_FAILURE(LogInBinary(h, peer));
    h.client.HostFileName = "f";
    if (tc.sizeReply) {
        ASSERT_EQ(h.Run([&] { h.client.Size(); }), 0);
    }
    h.client.LocalFileName = path;
    const int error = h.Run([&] { h.client.Get(); });
    ASSERT_NE(error, -1000);
    EXPECT_EQ(error != 0, tc.fails) << error << " " << h.client.ErrorMessage();
    for (const auto& part : tc.messageHas)
        EXPECT_NE(h.client.ErrorMessage().find(part), std::string::npos) << h.client.ErrorMessage();
    if (existing && tc.fails) {
        EXPECT_NE(h.client.ErrorMessage().find("the old copy of " + path + " was kept"),
                  std::string::npos)
            << h.client.ErrorMessage();
    }
    if (existing && (tc.outcome == Outcome::Untouched || tc.fails)) {
        EXPECT_EQ(ReadFile(path), kOld);
    } else if (tc.outcome == Outcome::Untouched) {
        EXPECT_FALSE(std::filesystem::exists(path));
    } else {
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_TRUE(ReadFile(path) == kPayload.substr(0, tc.sent));
    }
    // Nothing but the target (if any) is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path()),
                            std::filesystem::directory_iterator()),
              std::filesystem::exists(path) ? 1 : 0);
    h.client.Abort();
}

INSTANTIATE_TEST_SUITE_P(
    Ends, Download,
    ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kCases))), ::testing::Bool()),
    [](const auto& info) {
        return std::string(kCases[std::get<0>(info.param)].name) +
               (std::get<1>(info.param) ? "_OntoExistingFile" : "_OntoNewName");
    });

// A resumed download keeps what was there and must end at the full size.
TEST(DownloadResume, ShortResumeFailsAndKeepsTheOldBytes) {
    const std::string content = PatternBytes(3000, 9);
    ScriptedPeer peer([&](Conn& c) {
        ScriptBinaryLogin(c);
        c.ReadLine(); // SIZE
        c.Send("213 3000\r\n");
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        c.ReadLine(); // REST 1000
        c.Send("350 Restarting at 1000.\r\n");
        int data = c.AcceptData();
        c.ReadLine(); // RETR
        c.Send("150 Here it comes.\r\n");
        Conn::SendAll(data, content.substr(1000, 1500));
        ::close(data);
        c.Send("226 Transfer complete.\r\n");
        c.ReadLine();
    });
    TempDir local;
    WriteFile(local.File("r.bin"), content.substr(0, 1000));
    ClientHarness h;
    ASSERT_NO_FATAL_FAILURE(LogInBinary(h, peer));
    h.client.HostFileName = "r.bin";
    ASSERT_EQ(h.Run([&] { h.client.Size(); }), 0);
    h.client.LocalFileName = local.File("r.bin");
    EXPECT_EQ(h.Run([&] { h.client.RestGet(); }), 426);
    EXPECT_NE(h.client.ErrorMessage().find("expected 3000 bytes, received 2500 bytes"),
              std::string::npos)
        << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(local.File("r.bin")) == content.substr(0, 2500));
    h.client.Abort();
}

// A size asked before an upload says nothing about the file after it.
TEST(DownloadSize, ForgottenAfterAnUpload) {
    const std::string smaller = PatternBytes(700, 4);
    ScriptedPeer peer([&](Conn& c) {
        ScriptBinaryLogin(c);
        c.ReadLine(); // SIZE
        c.Send("213 1000\r\n");
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        int upload = c.AcceptData();
        c.ReadLine(); // STOR
        c.Send("150 send it\r\n");
        Conn::ReadAll(upload);
        ::close(upload);
        c.Send("226 stored\r\n");
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        int data = c.AcceptData();
        c.ReadLine(); // RETR
        c.Send("150 Here it comes.\r\n");
        Conn::SendAll(data, smaller);
        ::close(data);
        c.Send("226 Transfer complete.\r\n");
        c.ReadLine();
    });
    TempDir local;
    WriteFile(local.File("up.bin"), smaller);
    ClientHarness h;
    ASSERT_NO_FATAL_FAILURE(LogInBinary(h, peer));
    h.client.HostFileName = "f";
    ASSERT_EQ(h.Run([&] { h.client.Size(); }), 0);
    h.client.LocalFileName = local.File("up.bin");
    ASSERT_EQ(h.Run([&] { h.client.Put(); }), 0);
    h.client.LocalFileName = local.File("down.bin");
    EXPECT_EQ(h.Run([&] { h.client.Get(); }), 0) << h.client.ErrorMessage();
    EXPECT_TRUE(ReadFile(local.File("down.bin")) == smaller);
    h.client.Abort();
}

// An overwrite stopped part-way (a stalled server given up on, or Ctrl-C)
// keeps the old file and leaves no copy behind.
TEST(DownloadOverwrite, AbortedPartWayKeepsTheOldFile) {
    std::atomic<bool> stop{false};
    ScriptedPeer peer([&](Conn& c) {
        ScriptBinaryLogin(c);
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        int data = c.AcceptData();
        c.ReadLine(); // RETR
        c.Send("150 Here it comes.\r\n");
        Conn::SendAll(data, kPayload.substr(0, 600));
        while (!stop) // then silence
            Conn::Sleep(20);
        ::close(data);
    });
    TempDir local;
    const std::string path = local.File("keep.bin");
    WriteFile(path, kOld);
    ClientHarness h;
    ASSERT_NO_FATAL_FAILURE(LogInBinary(h, peer));
    h.client.HostFileName = "f";
    h.client.LocalFileName = path;
    std::int64_t seen = 0;
    h.client.OnProgress = [&](TCustomFtpCli* c, std::int64_t, bool&) { seen = c->TransferCount(); };
    const int error = h.Run([&] {
        h.client.Get();
        RunLoopUntil([&] { return seen >= 600; }, 10000);
        h.client.Abort();
    });
    stop = true;
    EXPECT_EQ(error, 426);
    EXPECT_EQ(ReadFile(path), kOld);
    EXPECT_NE(h.client.ErrorMessage().find("the old copy of " + path + " was kept"),
              std::string::npos)
        << h.client.ErrorMessage();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path()),
                            std::filesystem::directory_iterator()),
              1);
}
