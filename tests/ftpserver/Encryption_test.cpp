// The engine's side of the encrypted session, driven by a raw client: the
// key announcement, enciphered replies, the key file and the Blowfish
// framing of data connections.
#include "EventLoop.h"
#include "Peers.h"
#include "ServerHarness.h"
#include "TempDir.h"
#include "base/Version.h"
#include "crypto/ChunkCipher.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/KeyFile.h"
#include "crypto/TRSA.h"
#include "support/KeyCases.h"

#include <filesystem>
#include <sys/socket.h>
#include <unistd.h>

using namespace server_test;
using namespace testing_support;

namespace {

const std::string kKey =
    "a data key of some length, cut at 56 characters by both ends; the rest is ignored";

TRSA& KeyPair(int index) {
    static std::unique_ptr<TRSA> pairs[2];
    if (!pairs[index]) {
        pairs[index] = std::make_unique<TRSA>();
        pairs[index]->SetKeyBits(kb0512);
        pairs[index]->GenerateKeys();
    }
    return *pairs[index];
}

std::string Announcement(TRSA& pair) {
    return pair.PublicKey() + SymKeyLengthText(pair.SymKeyLength()) + KeyBitsText(pair.KeyBits());
}

// A control connection read line by line: an enciphered reply may have a
// '-' in its fourth place, so no line is taken for a continuation.
class LineClient {
public:
    explicit LineClient(int port) : fd_(NonBlocking(ConnectLoopback(port))) {}
    ~LineClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    std::string Reply(int timeoutMs = 5000) {
        std::string line;
        RunLoopUntil(
            [&] {
                char buf[4096];
                const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
                if (n > 0)
                    buffer_.append(buf, static_cast<std::size_t>(n));
                const auto eol = buffer_.find("\r\n");
                if (eol == std::string::npos)
                    return n == 0;
                line = buffer_.substr(0, eol);
                buffer_.erase(0, eol + 2);
                return true;
            },
            timeoutMs);
        return line;
    }
    std::string Cmd(const std::string& line, int timeoutMs = 5000) {
        const std::string out = line + "\r\n";
        ::send(fd_, out.data(), out.size(), MSG_NOSIGNAL);
        return Reply(timeoutMs);
    }
    void Login() {
        Cmd(std::string("USER ") + kUser);
        Cmd(std::string("PASS ") + kPass);
    }

private:
    int fd_ = -1;
    std::string buffer_;
};

struct EncryptedServer : ::testing::Test {
    TempDir home, programDir;
    std::unique_ptr<ServerFixture> fixture;
    TRSA& serverPair = KeyPair(0);
    TRSA& clientPair = KeyPair(1);
    ProgramKeys keys;

    void SetUp() override {
        fixture = std::make_unique<ServerFixture>(home.Path());
        TFtpServer& s = fixture->Server();
        keys = ProgramKeys::From(serverPair);
        s.Keys = &keys;
        s.ProgramDirectory = programDir.Path();
    }
    TFtpCtrlSocket* Conn() { return fixture->Server().Client(0); }
    std::string Plain(const std::string& line) { return clientPair.DecryptString(line); }
    std::string Cmd(LineClient& c, const std::string& line) {
        return Plain(c.Cmd(serverPair.EncryptString(line)));
    }
    // PASV with enciphered lines; the data connection's descriptor or -1.
    int OpenPassive(LineClient& c) { return ConnectPassive(Cmd(c, "PASV")); }
};

// Sends bytes in uneven pieces with the event loop running between them, so
// the server sees reads that cut across chunk boundaries.
void SendInPieces(int fd, const std::string& data, std::size_t piece) {
    for (std::size_t off = 0; off < data.size(); off += piece) {
        const std::size_t n = std::min(piece, data.size() - off);
        ASSERT_EQ(::send(fd, data.data() + off, n, MSG_NOSIGNAL), static_cast<ssize_t>(n));
        RunLoopFor(2);
    }
    ::close(fd);
}

} // namespace

TEST_F(EncryptedServer, PubkAnswersEncipheredAndLogsOut) {
    LineClient c(fixture->Port());
    c.Reply();
    c.Login();
    ASSERT_EQ(Conn()->FtpState, ftpcReady);
    const std::string answer = c.Cmd("PUBK  " + Announcement(clientPair) + "  ");
    EXPECT_TRUE(IsWellFormedCiphertext(answer, clientPair.ModulusBytes()));
    EXPECT_EQ(Plain(answer), "666 " + Announcement(serverPair));
    // Fields cut by position from the trimmed parameter.
    EXPECT_EQ(Conn()->PublicKey, clientPair.PublicKey());
    EXPECT_EQ(Conn()->PublicKeyLength, "064");
    EXPECT_EQ(Conn()->PublicKeyBits, "0512");
    // Back to waiting for USER; a plain command still gets an enciphered reply.
    EXPECT_EQ(Conn()->FtpState, ftpcWaitingUserCode);
    EXPECT_EQ(Plain(c.Cmd("PWD")), "530 Please login with USER and PASS.");
    EXPECT_EQ(Cmd(c, "USER bob"), "331 Password required for bob.");
    EXPECT_EQ(Cmd(c, "PASS secret"), "230 User bob logged in.");
}

TEST_F(EncryptedServer, ADegenerateClientKeyIsNoKeyAndAOneBitShortOneWorks) {
    LineClient c(fixture->Port());
    c.Reply();
    for (const KeyCase& k : DegenerateKeys(clientPair)) {
        // Answered in plain: enciphering with such a key would give garbage.
        EXPECT_EQ(c.Cmd("PUBK " + k.publicKey + "0640512"), "666 " + Announcement(serverPair))
            << k.what;
        EXPECT_TRUE(Conn()->PublicKey.empty()) << k.what;
    }
    TRSA shortPair = OneBitShortPair(kb0512);
    EXPECT_EQ(shortPair.DecryptString(c.Cmd("PUBK " + Announcement(shortPair))),
              "666 " + Announcement(serverPair));
    EXPECT_EQ(shortPair.DecryptString(c.Cmd(serverPair.EncryptString("USER bob"))),
              "331 Password required for bob.");
}

TEST_F(EncryptedServer, WithoutItsOwnKeyRepliesStayPlain) {
    keys.RSA1.ClearKeys();
    LineClient c(fixture->Port());
    c.Reply();
    EXPECT_EQ(c.Cmd("PUBK " + Announcement(clientPair)),
              "666 " + SymKeyLengthText(serverPair.SymKeyLength()) +
                  KeyBitsText(serverPair.KeyBits()));
    EXPECT_TRUE(Conn()->PublicKey.empty());
    EXPECT_EQ(c.Cmd("USER bob"), "331 Password required for bob.");
}

TEST_F(EncryptedServer, KeyFileThenEncipheredDataBothWays) {
    LineClient c(fixture->Port());
    c.Reply();
    c.Cmd("PUBK " + Announcement(clientPair));
    Cmd(c, "USER bob");
    Cmd(c, "PASS secret");
    // Before the key file, SYST carries no mark.
    EXPECT_EQ(Cmd(c, "SYST"), std::string("215 UNIX Type: ") + kVersionText);

    // No account key: an empty transfer, no key file.
    int data = OpenPassive(c);
    ASSERT_GE(data, 0);
    EXPECT_EQ(Cmd(c, "RETR *encryption.key*").substr(0, 4), "150 ");
    EXPECT_EQ(ReadAll(data), "");
    EXPECT_EQ(Plain(c.Reply()), "226 File sent ok");
    EXPECT_FALSE(Conn()->KeyFileSent);

    Conn()->EncryptionKey = kKey;
    data = OpenPassive(c);
    ASSERT_GE(data, 0);
    Cmd(c, "RETR *encryption.key*");
    const std::string keyFile = ReadAll(data);
    EXPECT_EQ(Plain(c.Reply()), "226 File sent ok");
    ASSERT_EQ(keyFile.size(), kKeyFileSize);
    EXPECT_TRUE(KeyFileMatches(keyFile, kKey.substr(0, 56)));
    EXPECT_EQ(Conn()->EncryptionKey, kKey.substr(0, 56));
    EXPECT_TRUE(Conn()->KeyFileSent);
    EXPECT_EQ(ReadFile(programDir.Path() + std::to_string(Conn()->HSocket()) + "encryption.key"),
              keyFile);
    EXPECT_FALSE(Conn()->EncryptionActive);
    EXPECT_EQ(Cmd(c, "SYST"),
              std::string("215 UNIX Type: ") + kVersionText + " - Encryption ENABLED");
    EXPECT_TRUE(Conn()->EncryptionActive);

    const TBlowfishSession session(kKey.substr(0, 56));
    // Downloads: 2048-byte chunks, each enciphered on its own.
    const std::string file = PatternBytes(2048 * 200 + 77, 3);
    WriteFile(home.File("big.bin"), file);
    data = OpenPassive(c);
    Cmd(c, "RETR big.bin");
    const std::string wire = ReadAll(data);
    EXPECT_EQ(Plain(c.Reply()), "226 File sent ok");
    EXPECT_TRUE(SameBytes(wire, EncipherChunks(session, file, kServerToClientChunk)));

    // Uploads: 1514-byte chunks arriving in pieces of any size; the short
    // last chunk is deciphered when the upload ends.
    for (std::size_t piece : {std::size_t{1514}, std::size_t{700}, std::size_t{4000}}) {
        SCOPED_TRACE(piece);
        const std::string up =
            PatternBytes(1514 * 3 + 10 + piece, static_cast<std::uint32_t>(piece));
        data = OpenPassive(c);
        Cmd(c, "STOR up.bin");
        SendInPieces(data, EncipherChunks(session, up, kClientToServerChunk), piece);
        EXPECT_EQ(Plain(c.Reply(10000)), "226 File received ok");
        EXPECT_TRUE(SameBytes(ReadFile(home.File("up.bin")), up));
    }

    // A listing travels enciphered too.
    data = OpenPassive(c);
    Cmd(c, "NLST");
    std::string listing = ReadAll(data);
    c.Reply();
    session.DecryptChunk(listing.data(), listing.size());
    EXPECT_NE(listing.find("big.bin"), std::string::npos);

    // A second login starts without the data key of the first.
    EXPECT_EQ(Cmd(c, "USER bob"), "331 Password required for bob.");
    EXPECT_FALSE(Conn()->EncryptionActive);
    EXPECT_FALSE(Conn()->KeyFileSent);
    Cmd(c, "PASS secret");
    EXPECT_EQ(Cmd(c, "SYST"), std::string("215 UNIX Type: ") + kVersionText);
    data = OpenPassive(c);
    Cmd(c, "RETR big.bin");
    EXPECT_TRUE(SameBytes(ReadAll(data), file));
    c.Reply();
}

TEST_F(EncryptedServer, OnlyTheExactPseudoNameIsTheKeyFile) {
    WriteFile(home.File("x*encryption.key*"), "a real file");
    RawClient c(fixture->Port());
    c.Reply();
    c.Login();
    Conn()->EncryptionKey = kKey;
    int data = c.OpenPassive();
    c.Cmd("RETR x*encryption.key*");
    EXPECT_EQ(ReadAll(data), "a real file");
    c.Reply();
    EXPECT_FALSE(Conn()->KeyFileSent);
}

TEST_F(EncryptedServer, LinesHoldingNulNeverReachAHandler) {
    const std::string home = std::filesystem::canonical(this->home.Path()).string();
    std::filesystem::create_directory(home + "/sub");
    WriteFile(home + "/sub/a", "a");
    LineClient c(fixture->Port());
    c.Reply();
    EXPECT_EQ(c.Cmd(std::string("USER a\0", 7)), "501 Syntax error in parameter.");
    c.Login();
    EXPECT_EQ(c.Cmd("CWD sub"), "250 CWD command successful. \"sub\" is current directory.");
    using namespace std::string_literals;
    for (const std::string& line : {"RMD \0x"s, "MKD \0x"s, "NLST ..\0"s, "RETR a\0b"s, "DELE \0x"s,
                                    "RNFR a\0"s, "STOR \0x"s, "CWD ..\0"s})
        EXPECT_EQ(c.Cmd(line), "501 Syntax error in parameter.") << line.substr(0, 4);
    // A ciphertext that deciphers to such a line is refused the same way.
    EXPECT_EQ(c.Cmd(serverPair.EncryptString("RMD \0x"s)), "501 Syntax error in parameter.");
    // Nothing changed: the folder is there with its file, nothing was made.
    EXPECT_EQ(ReadFile(home + "/sub/a"), "a");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "/sub/\" is current directory.");
}

TEST_F(EncryptedServer, ControlBytesInArgumentsAreRefusedPlainAndEnciphered) {
    const std::string home = std::filesystem::canonical(this->home.Path()).string();
    std::vector<std::string> seen;
    fixture->Server().OnClientCommand = [&](TFtpServer*, TFtpCtrlSocket*, std::string& keyword,
                                            std::string& params, std::string&) {
        seen.push_back(keyword + " " + params);
    };
    LineClient c(fixture->Port());
    c.Reply();
    c.Login();
    seen.clear();
    using namespace std::string_literals;
    for (const std::string& arg : {"a\x1b[31mb"s, "a\rb"s, "a\nb"s, "a\x7f"s, "\x01x"s, "x\r"s}) {
        for (const char* command : {"USER ", "MKD ", "STOR ", "CWD ", "RNFR "}) {
            const std::string line = command + arg;
            // A plain line ends at its LF; one that holds LF only comes enciphered.
            if (arg.find('\n') == std::string::npos) {
                EXPECT_EQ(c.Cmd(line), "501 Syntax error in parameter.") << line;
            }
            EXPECT_EQ(c.Cmd(serverPair.EncryptString(line)), "501 Syntax error in parameter.")
                << line;
        }
    }
    // No handler and no owner event saw such a line, and nothing was made.
    EXPECT_TRUE(seen.empty()) << seen.front();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home),
                            std::filesystem::directory_iterator()),
              0);
    EXPECT_EQ(c.Cmd("PWD"), "257 \"" + home + "/\" is current directory.");
}
