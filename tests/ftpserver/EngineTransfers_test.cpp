// Data connections against a raw client: passive in both orders, active
// mode, REST, APPE, ABOR, refusals, and the mended transfer faults.
#include "ServerHarness.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

namespace {

using namespace server_test;
using testing_support::PatternBytes;
using testing_support::ReadFile;
using testing_support::RunLoopUntil;
using testing_support::TempDir;
using testing_support::WriteFile;

class EngineTransfers : public LoggedInServer {
protected:
    // RETR over PASV, the data connection opened before the command.
    std::string Retr(const std::string& name, std::string& closing) {
        const int fd = c.OpenPassive();
        EXPECT_EQ(c.Cmd("RETR " + name), "150 Opening data connection for " + name + ".");
        const std::string data = ReadAll(fd);
        closing = c.Reply();
        return data;
    }
    std::string Stor(const std::string& command, const std::string& data) {
        const int fd = c.OpenPassive();
        const std::string first = c.Cmd(command);
        EXPECT_EQ(first.substr(0, 4), "150 ") << first;
        WriteAllAndClose(fd, data);
        return c.Reply();
    }
};

TEST_F(EngineTransfers, PassiveDownloadBothOrders) {
    const std::string content = PatternBytes(100000, 3);
    WriteFile(home + "f.bin", content);
    std::string closing;
    EXPECT_TRUE(SameBytes(Retr("f.bin", closing), content));
    EXPECT_EQ(closing, "226 File sent ok");
    // The transfer command first, the connection afterwards.
    const std::string pasv = c.Cmd("PASV");
    int h[4], p1, p2;
    ASSERT_EQ(std::sscanf(pasv.c_str(), "227 Entering Passive Mode (%d,%d,%d,%d,%d,%d).", &h[0],
                          &h[1], &h[2], &h[3], &p1, &p2),
              6);
    EXPECT_EQ(c.Cmd("RETR f.bin"), "150 Opening data connection for f.bin.");
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(p1 * 256 + p2));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_TRUE(SameBytes(ReadAll(fd), content));
    EXPECT_EQ(c.Reply(), "226 File sent ok");
}

TEST_F(EngineTransfers, ActiveModeAndPortRules) {
    WriteFile(home + "a.txt", "active bytes");
    // PORT after PASV switches to active mode and closes the passive listener.
    const std::string pasv = c.Cmd("PASV");
    int port = 0;
    const int lfd = NonBlocking(ListenLoopback(port));
    EXPECT_EQ(
        c.Cmd("PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256)),
        "200 Port command successful.");
    EXPECT_LT(ConnectPassive(pasv), 0);
    EXPECT_EQ(c.Cmd("RETR a.txt"), "150 Opening data connection for a.txt.");
    const int dfd = AcceptWithLoop(lfd);
    ASSERT_GE(dfd, 0);
    EXPECT_EQ(ReadAll(dfd), "active bytes");
    EXPECT_EQ(c.Reply(), "226 File sent ok");
    ::close(lfd);

    EXPECT_EQ(c.Cmd("PORT 127,0,0,1,4,x"), "501 Invalid PORT command.");
    EXPECT_EQ(c.Cmd("PORT 10,0,0,1,4,1"), "500 Illegal PORT command.");
    // Privileged ports of the client's own host are refused too.
    EXPECT_EQ(c.Cmd("PORT 127,0,0,1,3,255"), "500 Illegal PORT command.");
    EXPECT_EQ(c.Cmd("PORT 127,0,0,1,0,21"), "500 Illegal PORT command.");
    EXPECT_EQ(c.Cmd("PORT 127,0,0,1,4,1"), "200 Port command successful.");
    TFtpCtrlSocket* client = fx.Server().Client(0);
    EXPECT_EQ(client->DataAddr, "127.0.0.1");
    EXPECT_EQ(client->DataPort, "1025");
}

TEST_F(EngineTransfers, ActiveModeToAClosedPortSays425) {
    WriteFile(home + "a.txt", "x");
    int port = 0;
    ::close(ListenLoopback(port)); // nothing listens there any more
    c.Cmd("PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    EXPECT_EQ(c.Cmd("RETR a.txt"), "150 Opening data connection for a.txt.");
    EXPECT_EQ(c.Reply(), "425 Cannot open data connection.");
    EXPECT_EQ(fx.Server().Client(0)->DataPort, "ftp-data");
    c.Cmd("PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    EXPECT_EQ(c.Cmd("STOR up.txt"), "150 Opening data connection for up.txt.");
    EXPECT_EQ(c.Reply(), "425 Cannot open data connection.");
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
}

TEST_F(EngineTransfers, RestThenRetrAndStor) {
    const std::string content = PatternBytes(300, 9);
    WriteFile(home + "f", content);
    EXPECT_EQ(c.Cmd("REST 100"), "350 REST supported. Ready to resume at byte offset 100.");
    std::string closing;
    EXPECT_TRUE(SameBytes(Retr("f", closing), content.substr(100)));
    EXPECT_EQ(closing, "226 File sent ok");
    EXPECT_TRUE(SameBytes(Retr("f", closing), content)); // the offset was used up

    // A resumed upload keeps the bytes before the restart position.
    const std::string whole = PatternBytes(5000, 4);
    WriteFile(home + "up", whole.substr(0, 1200));
    EXPECT_EQ(c.Cmd("REST 1200"), "350 REST supported. Ready to resume at byte offset 1200.");
    EXPECT_EQ(Stor("STOR up", whole.substr(1200)), "226 File received ok");
    EXPECT_TRUE(SameBytes(ReadFile(home + "up"), whole));
    // A plain STOR replaces the file.
    EXPECT_EQ(Stor("STOR up", "short"), "226 File received ok");
    EXPECT_EQ(ReadFile(home + "up"), "short");

    EXPECT_EQ(c.Cmd("REST 0"), "501 Required byte offset parameter bad or missing.");
    EXPECT_EQ(c.Cmd("REST abc"),
              "501 Syntax error in parameter: 'abc' is not a valid integer value.");
}

TEST_F(EngineTransfers, EmptyUploadAndAppe) {
    EXPECT_EQ(Stor("STOR empty", ""), "226 File received ok");
    ASSERT_TRUE(std::filesystem::exists(home + "empty"));
    EXPECT_EQ(std::filesystem::file_size(home + "empty"), 0u);

    const int fd = c.OpenPassive();
    EXPECT_EQ(c.Cmd("APPE new.txt"),
              "150 APPE supported.  Ready to append file \"new.txt\" at offset 0.");
    WriteAllAndClose(fd, "abc");
    EXPECT_EQ(c.Reply(), "226 File received ok");
    const int fd2 = c.OpenPassive();
    EXPECT_EQ(c.Cmd("APPE new.txt"),
              "150 APPE supported.  Ready to append file \"new.txt\" at offset 3.");
    WriteAllAndClose(fd2, "def");
    EXPECT_EQ(c.Reply(), "226 File received ok");
    EXPECT_EQ(ReadFile(home + "new.txt"), "abcdef");
}

TEST_F(EngineTransfers, AborDuringDownloadPlainAndUrgent) {
    WriteFile(home + "big", PatternBytes(20000000, 5));
    for (bool urgent : {false, true}) {
        const int fd = c.OpenPassive();
        EXPECT_EQ(c.Cmd("RETR big"), "150 Opening data connection for big.");
        // Read a little, then abort while the server is still sending.
        std::string got;
        RunLoopUntil([&] {
            char buf[65536];
            const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
            return got.size() > 100000;
        });
        c.SendRaw("ABOR\r\n", urgent);
        EXPECT_EQ(c.Reply(), "501 Cannot RETR. ABORT requested by client");
        EXPECT_EQ(c.Reply(), "225 ABOR command successful.");
        ::close(fd);
    }
    EXPECT_EQ(c.Cmd("ABOR"), "225 ABOR command successful.");
}

TEST_F(EngineTransfers, AborDuringUpload) {
    const int fd = c.OpenPassive();
    EXPECT_EQ(c.Cmd("STOR part"), "150 Opening data connection for part.");
    ::send(fd, "abc", 3, MSG_NOSIGNAL);
    ASSERT_TRUE(RunLoopUntil([&] {
        return std::filesystem::exists(home + "part") &&
               std::filesystem::file_size(home + "part") == 3;
    }));
    EXPECT_EQ(c.Cmd("ABOR"), "426 Connection closed; ABORT requested by client.");
    EXPECT_EQ(c.Reply(), "225 ABOR command successful.");
    ::close(fd);
}

TEST_F(EngineTransfers, PassiveConnectionFromAnotherAddressIsTurnedAway) {
    WriteFile(home + "f", "mine");
    const std::string pasv = c.Cmd("PASV");
    int h[4], p1, p2;
    ASSERT_EQ(std::sscanf(pasv.c_str(), "227 Entering Passive Mode (%d,%d,%d,%d,%d,%d).", &h[0],
                          &h[1], &h[2], &h[3], &p1, &p2),
              6);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(p1 * 256 + p2));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A stranger from 127.0.0.2 comes first.
    const int stranger = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.2", &from.sin_addr);
    ASSERT_EQ(::bind(stranger, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    ASSERT_EQ(::connect(stranger, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::fcntl(stranger, F_SETFL, O_NONBLOCK);
    EXPECT_EQ(c.Cmd("RETR f"), "150 Opening data connection for f.");
    EXPECT_EQ(ReadAll(stranger, 3000), "");
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(ReadAll(fd), "mine");
    EXPECT_EQ(c.Reply(), "226 File sent ok");
}

TEST_F(EngineTransfers, RetrRefusalsAndMissingFile) {
    std::string closing;
    EXPECT_EQ(Retr("missing", closing), "");
    EXPECT_EQ(closing, "501 Cannot RETR. No such file or directory");
    fx.Owner().AllowAll = false;
    EXPECT_EQ(c.Cmd("RETR x"), "500 Cannot RETR - Insufficient Rights.");
    EXPECT_EQ(c.Cmd("STOR x"), "501 Permission Denied");
    EXPECT_EQ(c.Cmd("APPE x"), "500 Cannot APPE - Insufficient Rights.");
}

TEST_F(EngineTransfers, PathsReachTheOwnerCanonical) {
    std::filesystem::create_directories(home + "sub");
    std::filesystem::create_directory_symlink("/etc", home + "etclink");
    c.Cmd("CWD sub");
    c.Cmd("RETR ../../etc/passwd"); // no data address: refused after the check
    ASSERT_FALSE(fx.Owner().Seen["GET"].empty());
    const std::string parentOfHome =
        std::filesystem::path(home).parent_path().parent_path().string();
    EXPECT_EQ(fx.Owner().Seen["GET"].back(),
              (parentOfHome == "/" ? "" : parentOfHome) + "/etc/passwd");
    c.Cmd("RETR /" + home.substr(1) + "etclink/hostname");
    EXPECT_EQ(fx.Owner().Seen["GET"].back(), "/etc/hostname");
    const int fd = c.OpenPassive();
    c.Cmd("STOR ../x");
    WriteAllAndClose(fd, "x");
    c.Reply();
    EXPECT_EQ(fx.Owner().Seen["PUT"].back(), home + "x");
    c.Cmd("SIZE ../etclink/hostname");
    EXPECT_EQ(fx.Owner().Seen["SIZE"].back(), "/etc/hostname");
    c.Cmd("CWD ..");
    c.Cmd("CWD etclink");
    EXPECT_EQ(fx.Owner().Seen["CWD"].back(), "/etc/");
}

TEST_F(EngineTransfers, UploadsNeverFollowALink) {
    WriteFile(home + "target", "keep");
    std::filesystem::create_symlink(home + "target", home + "link");
    std::filesystem::create_symlink(home + "nowhere", home + "dangling");
    EXPECT_EQ(c.Cmd("STOR link"), "501 Cannot STOR. Too many levels of symbolic links");
    EXPECT_EQ(c.Cmd("STOR dangling"), "501 Cannot STOR. Too many levels of symbolic links");
    EXPECT_EQ(c.Cmd("APPE link"), "550 APPE failed.");
    EXPECT_EQ(ReadFile(home + "target"), "keep");
    EXPECT_FALSE(std::filesystem::exists(home + "nowhere"));
}

TEST_F(EngineTransfers, VirtualDirectoryForStorListAndDele) {
    TempDir other;
    const std::string pub = std::filesystem::canonical(other.Path()).string() + "/";
    fx.Server().VirtMapTable = {TVirtMapEntry{pub, "/pub/"}};
    EXPECT_EQ(Stor("STOR /pub/v.txt", "virtual"), "226 File received ok");
    EXPECT_EQ(ReadFile(pub + "v.txt"), "virtual");
    const int fd = c.OpenPassive();
    EXPECT_EQ(c.Cmd("NLST /Pub/"), "150 Opening data connection for directory list.");
    EXPECT_EQ(ReadAll(fd), "v.txt\r\n");
    EXPECT_EQ(c.Reply(), "226 File sent ok");
    const int fd2 = c.OpenPassive();
    EXPECT_EQ(c.Cmd("LIST /pub"), "150 Opening data connection for directory list.");
    EXPECT_NE(ReadAll(fd2).find(" 7 "), std::string::npos);
    EXPECT_EQ(c.Reply(), "226 File sent ok");
    EXPECT_EQ(fx.Owner().Seen["LIST"].back(), pub.substr(0, pub.size() - 1));
    EXPECT_EQ(c.Cmd("DELE /pub/v.txt"), "250 File '" + pub + "v.txt' deleted.");
    EXPECT_FALSE(std::filesystem::exists(pub + "v.txt"));
}

} // namespace

TEST_F(EngineTransfers, OneTransferAtATime) {
    const std::string content = PatternBytes(50 * 1024 * 1024, 7);
    WriteFile(home + "big", content);
    const int fd = c.OpenPassive();
    EXPECT_EQ(c.Cmd("RETR big"), "150 Opening data connection for big.");
    // The client reads nothing of the download until these are answered.
    for (const char* cmd :
         {"LIST", "NLST", "RETR big", "STOR x", "APPE x", "PASV", "PORT 127,0,0,1,4,1"})
        EXPECT_EQ(c.Cmd(cmd), "450 Transfer in progress.") << cmd;
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
    EXPECT_TRUE(SameBytes(ReadAll(fd, 120000), content));
    EXPECT_EQ(c.Reply(), "226 File sent ok");
    EXPECT_FALSE(std::filesystem::exists(home + "x"));
    // Once it has ended, the next transfer runs.
    WriteFile(home + "small", "small");
    std::string closing;
    EXPECT_EQ(Retr("small", closing), "small");
    EXPECT_EQ(closing, "226 File sent ok");
}

TEST_F(EngineTransfers, PassiveTransferWaitsThroughOtherCommands) {
    WriteFile(home + "f", "payload");
    WriteFile(home + "up", "a longer old content");
    const std::string pasv = c.Cmd("PASV");
    EXPECT_EQ(c.Cmd("RETR f"), "150 Opening data connection for f.");
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
    EXPECT_EQ(c.Cmd("TYPE I"), "200 Type set to I.");
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "\" is current directory.");
    const int fd = ConnectPassive(pasv);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadAll(fd), "payload");
    EXPECT_EQ(c.Reply(), "226 File sent ok");
    // An upload too, and STOR still replaces the whole file.
    const std::string pasv2 = c.Cmd("PASV");
    EXPECT_EQ(c.Cmd("STOR up"), "150 Opening data connection for up.");
    EXPECT_EQ(c.Cmd("TYPE A"), "200 Type set to A.");
    EXPECT_EQ(c.Cmd("RNFR f"), "350 File exists, ready for destination name.");
    const int fd2 = ConnectPassive(pasv2);
    ASSERT_GE(fd2, 0);
    WriteAllAndClose(fd2, "new");
    EXPECT_EQ(c.Reply(), "226 File received ok");
    EXPECT_EQ(ReadFile(home + "up"), "new");
}

TEST_F(EngineTransfers, AborOfAnArmedPassiveTransfer) {
    WriteFile(home + "f", "payload");
    for (const bool upload : {false, true}) {
        const std::string pasv = c.Cmd("PASV");
        EXPECT_EQ(c.Cmd(upload ? "STOR up" : "RETR f").substr(0, 4), "150 ");
        c.Send("ABOR");
        EXPECT_EQ(c.Reply(), upload ? "426 Connection closed; ABORT requested by client."
                                    : "501 Cannot RETR. ABORT requested by client");
        EXPECT_EQ(c.Reply(), "225 ABOR command successful.");
        // The listener is gone: a late connection gets nothing.
        const int late = ConnectPassive(pasv);
        EXPECT_LT(late, 0);
        if (late >= 0)
            ::close(late);
    }
    EXPECT_FALSE(std::filesystem::exists(home + "up"));
    EXPECT_EQ(c.Cmd("NOOP"), "200 Ok. Parameter was ''.");
    std::string closing;
    EXPECT_EQ(Retr("f", closing), "payload");
    EXPECT_EQ(closing, "226 File sent ok");
}
