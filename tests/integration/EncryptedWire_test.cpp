// The bytes of an encrypted session as they travel: the control connection
// recorded by a relay between our client and our server, data connections
// recorded by letting one end store what it receives without deciphering.
#include "base/Version.h"
#include "client/SessionCipher.h"
#include "crypto/TDCP_blowfish.h"
#include "support/peers/EncryptedSupport.h"

#include <cctype>

using namespace enc_test;

namespace {

// Deciphers data as independent chunks, each with a newly keyed cipher.
std::string DecipherChunkByChunk(const std::string& cipher, std::size_t chunk) {
    std::string plain = cipher;
    const TSessionKey key = MakeSessionKey(kKey56);
    for (std::size_t offset = 0; offset < plain.size(); offset += chunk) {
        TDCP_blowfish fish;
        fish.Init(key.data(), 448, nullptr);
        const std::size_t n = std::min(chunk, plain.size() - offset);
        fish.DecryptCBC(plain.data() + offset, plain.data() + offset, n);
        fish.Burn();
    }
    return plain;
}

bool IsKeyword(const std::string& word) {
    if (word.size() < 3 || word.size() > 4)
        return false;
    for (char ch : word)
        if (!std::isupper(static_cast<unsigned char>(ch)))
            return false;
    return true;
}

std::string LeftTrimmed(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

} // namespace

TEST(EncryptedWire, ControlAndDataConnectionsCarryTheAgreedForms) {
    TRSA& serverPair = Pair(kb0512, 0);
    TRSA& clientPair = Pair(kb0512, 1);
    Env env(&serverPair, &clientPair, kKey56);
    WriteFile(env.data.File("connect.txt"), "Welcome\n");
    WriteFile(env.data.File("login.txt"), "Hello\nthere\n");
    WriteFile(env.data.File("logout.txt"), "Bye\n");
    env.policy.connectMessage = env.data.File("connect.txt");
    env.policy.loginMessage = env.data.File("login.txt");
    env.policy.logoutMessage = env.data.File("logout.txt");
    const std::string down = PatternBytes(5000, 11);
    WriteFile(env.root + "down.bin", down);

    Relay relay(env.port);
    env.session->CurrentSite.Port = std::to_string(relay.Port());
    ASSERT_TRUE(env.ConnectAndList());
    ASSERT_TRUE(env.session->ClientEncryptionActive);
    // A plain login-message line and the enciphered reply after it are both read.
    EXPECT_EQ(env.clientLog.Count("RECV <- 230 User alice logged in.", colours::clPurple), 1);

    // Download: the client keeps the bytes as they arrive.
    env.ftp.ClientEncryptionActive = false;
    ASSERT_TRUE(env.Download("down.bin", env.clientDir.File("raw.bin")));
    env.ftp.ClientEncryptionActive = true;
    const std::string rawDown = ReadFile(env.clientDir.File("raw.bin"));
    ASSERT_EQ(rawDown.size(), down.size());
    EXPECT_NE(rawDown, down);
    EXPECT_TRUE(DecipherChunkByChunk(rawDown, 2048) == down);
    EXPECT_FALSE(DecipherChunkByChunk(rawDown, 1514) == down);

    // Upload of 1514 x 3 + 10 bytes: the server keeps the bytes as they arrive.
    const std::string up = PatternBytes(1514 * 3 + 10, 12);
    WriteFile(env.clientDir.File("up.bin"), up);
    ASSERT_EQ(env.server.ClientCount(), 1);
    env.server.Client(0)->EncryptionActive = false;
    ASSERT_TRUE(env.Upload(env.clientDir.File("up.bin"), "up.bin"));
    env.server.Client(0)->EncryptionActive = true;
    const std::string rawUp = ReadFile(env.root + "up.bin");
    ASSERT_EQ(rawUp.size(), up.size());
    EXPECT_NE(rawUp, up);
    EXPECT_TRUE(DecipherChunkByChunk(rawUp, 1514) == up);
    EXPECT_FALSE(DecipherChunkByChunk(rawUp, 2048) == up);
    // And enciphered both ways again, the round trip holds.
    ASSERT_TRUE(env.Upload(env.clientDir.File("up.bin"), "up2.bin"));
    EXPECT_TRUE(ReadFile(env.root + "up2.bin") == up);

    env.session->Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return relay.Finished(); }, 20000));

    // Client to server: PUBK in plain, then only ciphertexts of commands.
    const auto upLines = SplitLines(relay.Up());
    ASSERT_GE(upLines.size(), 8u);
    EXPECT_EQ(upLines[0], "PUBK " + clientPair.PublicKey() +
                              SymKeyLengthText(clientPair.SymKeyLength()) +
                              KeyBitsText(clientPair.KeyBits()));
    std::vector<std::string> commands;
    for (std::size_t i = 1; i < upLines.size(); ++i) {
        const std::string& line = upLines[i];
        SCOPED_TRACE(line);
        EXPECT_TRUE(IsWellFormedCiphertext(line, serverPair.ModulusBytes()));
        EXPECT_FALSE(LooksLikePlainCommand(line));
        const std::string command = LeftTrimmed(serverPair.DecryptString(line));
        EXPECT_TRUE(IsKeyword(command.substr(0, command.find(' '))));
        commands.push_back(command);
    }
    auto has = [&](const std::string& c) {
        return std::count(commands.begin(), commands.end(), c);
    };
    EXPECT_EQ(commands.at(0), "USER alice");
    EXPECT_EQ(commands.at(1), "PASS pw-alice");
    EXPECT_EQ(commands.at(2), "SYST");
    EXPECT_EQ(has("SYST"), 2);
    EXPECT_EQ(has("RETR *encryption.key*"), 1);
    EXPECT_EQ(has("PWD"), 1);
    EXPECT_EQ(has("RETR down.bin"), 1);
    EXPECT_EQ(has("STOR up.bin"), 1);
    EXPECT_EQ(commands.back(), "QUIT");

    // Server to client: greeting and message lines plain, every reply enciphered.
    const std::string downBytes = relay.Down();
    const auto downLines = SplitLines(downBytes);
    ASSERT_GE(downLines.size(), 6u);
    EXPECT_EQ(downLines[0], "220-Welcome");
    EXPECT_EQ(downLines[1], std::string("220 ") + kVersionText);
    std::vector<std::string> replies;
    for (std::size_t i = 2; i < downLines.size(); ++i) {
        const std::string& line = downLines[i];
        if (line == "230-Hello" || line == "230-there" || line == "221-Bye") {
            replies.push_back(line);
            continue;
        }
        SCOPED_TRACE(line);
        EXPECT_TRUE(IsWellFormedCiphertext(line, clientPair.ModulusBytes()));
        const std::string reply = clientPair.DecryptString(line);
        EXPECT_TRUE(LooksLikePlainReply(reply)) << reply;
        replies.push_back(reply);
    }
    EXPECT_EQ(replies.at(0), "666 " + serverPair.PublicKey() +
                                 SymKeyLengthText(serverPair.SymKeyLength()) +
                                 KeyBitsText(serverPair.KeyBits()));
    EXPECT_EQ(replies.at(1), "331 Password required for alice.");
    EXPECT_EQ(replies.at(2), "230-Hello");
    EXPECT_EQ(replies.at(3), "230-there");
    EXPECT_EQ(replies.at(4), "230 User alice logged in.");
    EXPECT_EQ(replies.at(replies.size() - 2), "221-Bye");
    EXPECT_EQ(replies.back(), "221 Goodbye.");
    // The message lines and the enciphered reply travel back to back.
    EXPECT_NE(downBytes.find("230-there\r\n" +
                             downLines[std::find(downLines.begin(), downLines.end(), "230-there") -
                                       downLines.begin() + 1]),
              std::string::npos);
}

// Some ciphertexts begin with three capitals and a capital or a space. Our
// server still deciphers such a line; our client sends the command with one
// more leading space instead, whose ciphertext reads as no command.
TEST(EncryptedWire, CiphertextThatBeginsLikeACommand) {
    TRSA* pair = nullptr;
    std::string command, cipher;
    for (int p = 0; p < 6 && !pair; ++p) {
        TRSA& candidate = Pair(kb0512, 10 + p);
        for (int i = 0; i < 400; ++i) {
            const std::string c = "NOOP probe" + std::to_string(i);
            const std::string e = candidate.EncryptString(c);
            if (LooksLikePlainCommand(e)) {
                pair = &candidate;
                command = c;
                cipher = e;
                break;
            }
        }
    }
    ASSERT_NE(pair, nullptr) << "no command found whose ciphertext begins like a command";

    // Our server deciphers it and answers the command.
    Env env(pair, &Pair(kb0512, 1), kKey56);
    const std::string got = RawExchange(env.port, {cipher});
    const auto lines = SplitLines(got);
    ASSERT_EQ(lines.size(), 2u) << got;
    EXPECT_EQ(lines[1], "200 Ok. Parameter was '" + command.substr(5) + "'.");

    // Our client never sends a ciphertext of that form.
    TRSA own = Pair(kb0512, 1);
    TRSA peer;
    TSessionCipher hooks(own, peer);
    const std::string sent =
        hooks.EncipherCommand(command, pair->PublicKey(), KeyBitsText(pair->KeyBits()),
                              SymKeyLengthText(pair->SymKeyLength()));
    EXPECT_FALSE(LooksLikePlainCommand(sent));
    const std::string plain = pair->DecryptString(sent);
    EXPECT_GT(plain.size(), command.size());
    EXPECT_EQ(LeftTrimmed(plain), command);
}
