// Our client session against our server with its account owner, both
// layers of the encrypted session on: the whole negotiation, enciphered
// listings and transfers of awkward sizes, at each RSA key size.
#include "base/Version.h"
#include "support/peers/EncryptedSupport.h"

#include <dirent.h>
#include <sys/stat.h>

using namespace enc_test;

namespace {

const std::vector<std::size_t> kSizes = {0, 1, 2047, 2048, 2049, 4542, 10000000};

struct Case {
    TKeyBits bits;
    bool passive;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << KeyBitsText(c.bits) << (c.passive ? " passive" : " active");
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return "Bits" + KeyBitsText(info.param.bits) + (info.param.passive ? "Passive" : "Active");
}

class EncryptedSession : public ::testing::TestWithParam<Case> {};

std::vector<std::string> KeyFilesIn(const std::string& dir) {
    std::vector<std::string> found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 14 && name.compare(name.size() - 14, 14, "encryption.key") == 0)
                found.push_back(dir + name);
        }
        ::closedir(d);
    }
    return found;
}

} // namespace

TEST_P(EncryptedSession, NegotiatesAndMovesEveryByte) {
    const Case c = GetParam();
    Env env(&Pair(c.bits, 0), &Pair(c.bits, 1), kKey56);
    env.session->CurrentSite.Passive = c.passive;
    for (std::size_t size : kSizes)
        WriteFile(env.root + "down_" + std::to_string(size),
                  PatternBytes(size, static_cast<std::uint32_t>(size + 7)));
    ASSERT_TRUE(env.ConnectAndList(180000));

    // The negotiation as the user sees it.
    EXPECT_EQ(env.clientLog.Count("Encryption Successfully negotiated.", colours::clGreen), 1);
    EXPECT_EQ(env.clientLog.Count("Using 448 bit BLOWFISH encryption.", colours::clGreen), 1);
    EXPECT_EQ(env.clientLog.Count(std::string("RECV <- 215 UNIX Type: ") + kVersionText,
                                  colours::clPurple),
              1);
    EXPECT_EQ(env.clientLog.Count(std::string("RECV <- 215 UNIX Type: ") + kVersionText +
                                      " - Encryption ENABLED",
                                  colours::clPurple),
              1);
    EXPECT_EQ(env.session->Indicators().CommandPortEncryption, "ENABLED");
    EXPECT_EQ(env.session->Indicators().Encryption, "ON");
    EXPECT_EQ(env.session->Indicators().Strength, "448 bit");
    EXPECT_EQ(env.session->Indicators().Algorythm, "Blowfish");
    EXPECT_TRUE(env.session->ClientEncryptionActive);
    ASSERT_EQ(env.server.ClientCount(), 1);
    EXPECT_TRUE(env.server.Client(0)->EncryptionActive);
    // The server saw the commands deciphered.
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- PUBK "), 1);
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- USER alice"), 1);
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- RETR *encryption.key*"), 1);
    // The key file stays in the server's program directory, named from the
    // control connection's descriptor.
    const auto keyFiles = KeyFilesIn(env.data.Path());
    ASSERT_EQ(keyFiles.size(), 1u);
    EXPECT_EQ(keyFiles[0],
              env.data.Path() + std::to_string(env.server.Client(0)->HSocket()) + "encryption.key");
    EXPECT_EQ(ReadFile(keyFiles[0]).size(), 4096u);

    // The enciphered listing was read into the remote list.
    ASSERT_EQ(env.session->RemoteItems().size(), kSizes.size());
    for (const auto& item : env.session->RemoteItems()) {
        ASSERT_EQ(item.Caption.rfind("down_", 0), 0u) << item.Caption;
        EXPECT_EQ(item.Caption.substr(5), std::to_string(item.Size));
    }

    for (std::size_t size : kSizes) {
        SCOPED_TRACE(size);
        const std::string name = std::to_string(size);
        const std::string expected = PatternBytes(size, static_cast<std::uint32_t>(size + 7));
        const std::string local = env.clientDir.File("got_" + name);
        ASSERT_TRUE(env.Download("down_" + name, local)) << env.ftp.LastResponse();
        EXPECT_TRUE(ReadFile(local) == expected);

        const std::string upSource = env.clientDir.File("put_" + name);
        const std::string upData = PatternBytes(size, static_cast<std::uint32_t>(size + 99));
        WriteFile(upSource, upData);
        ASSERT_TRUE(env.Upload(upSource, "up_" + name)) << env.ftp.LastResponse();
        EXPECT_TRUE(ReadFile(env.root + "up_" + name) == upData);
    }
}

INSTANTIATE_TEST_SUITE_P(KeySizes, EncryptedSession,
                         ::testing::Values(Case{kb0512, true}, Case{kb0512, false},
                                           Case{kb1024, false}, Case{kb2048, true}),
                         CaseName);

// With "Encrypted Only Clients" the key file is still served, and once the
// session's data is enciphered every command is allowed.
TEST(EncryptedOnly, AdmitsTheEncipheredSession) {
    Env env(&Pair(kb0512, 0), &Pair(kb0512, 1), kKey56);
    env.policy.encryptedOnlyClients = true;
    WriteFile(env.root + "f.bin", PatternBytes(7000, 3));
    ASSERT_TRUE(env.ConnectAndList());
    EXPECT_TRUE(env.session->ClientEncryptionActive);
    ASSERT_EQ(env.session->RemoteItems().size(), 1u);
    ASSERT_TRUE(env.Download("f.bin", env.clientDir.File("f.bin")));
    EXPECT_TRUE(ReadFile(env.clientDir.File("f.bin")) == PatternBytes(7000, 3));
    ASSERT_TRUE(env.Upload(env.clientDir.File("f.bin"), "g.bin"));
    EXPECT_TRUE(ReadFile(env.root + "g.bin") == PatternBytes(7000, 3));
}

TEST(EncryptedOnly, ClosesOnASessionWhoseKeyCheckFailed) {
    Env env(&Pair(kb0512, 0), &Pair(kb0512, 1), "another key");
    env.policy.encryptedOnlyClients = true;
    env.session->Connect();
    // The key check fails, the listing after PWD meets the gate.
    ASSERT_TRUE(RunLoopUntil(
        [&] { return !env.ftp.Connected() && !env.session->Groups().Disconnect; }, 30000));
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- RETR *encryption.key*"), 1);
    EXPECT_EQ(env.serverLog.CountStarting("RECV <- LIST"), 1);
    EXPECT_FALSE(env.session->Groups().RemoteUp);
}
