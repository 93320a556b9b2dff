#include "AppTestEnv.h"
#include "Peers.h"
#include "app/DataFolder.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "crypto/TRSA.h"
#include "support/KeyCases.h"

#include <memory>

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// One 512-bit key pair for the whole binary: generating keys is slow.
const TRSA& Pair512() {
    static const TRSA pair = [] {
        TRSA r;
        r.SetKeyBits(kb0512);
        r.GenerateKeys();
        return r;
    }();
    return pair;
}

class SettingsKeyPairTest : public AppTestEnv {
protected:
    void SetUp() override {
        AppTestEnv::SetUp();
        folder = ResolveDataFolder(std::nullopt).path;
        settings = std::make_unique<Settings>(folder);
    }
    void Load(const std::string& globalOptions) {
        WriteFile(folder + "vexa2.ini", "[Global Options]\r\n" + globalOptions);
        settings->LoadSettings(rsa1);
    }
    std::string folder;
    std::unique_ptr<Settings> settings;
    TRSA rsa1;
};

} // namespace

TEST_F(SettingsKeyPairTest, StoredPairLoadsAndShowsReady) {
    const TRSA& pair = Pair512();
    Load("PublicKey=" + pair.PublicKey() + "\r\nPrivateKey=" + pair.PrivateKey() + "\r\n");
    EXPECT_EQ(settings->CommandPortEncryption(), "READY");
    EXPECT_TRUE(rsa1.PublicKeyLoaded());
    EXPECT_TRUE(rsa1.PrivateKeyLoaded());
    EXPECT_EQ(rsa1.KeyBits(), kb0512);
    EXPECT_EQ(rsa1.SymKeyLength(), sk64);
    EXPECT_EQ(rsa1.DecryptString(rsa1.EncryptString("NOOP")), "NOOP");
    EXPECT_EQ(settings->GetString(keys::PublicKey), pair.PublicKey());
}

TEST_F(SettingsKeyPairTest, KeysThatDoNotLoadAreKeptButNotUsed) {
    const TRSA& pair = Pair512();
    struct Case {
        std::string what;
        std::string entries;
    };
    std::vector<Case> cases = {
        {"only the public key", "PublicKey=" + pair.PublicKey() + "\r\n"},
        {"only the private key", "PrivateKey=" + pair.PrivateKey() + "\r\n"},
        {"no colon", "PublicKey=" + pair.PublicKey() + "\r\nPrivateKey=nocolonhere\r\n"},
        {"bad character", "PublicKey=" + pair.PublicKey() + "\r\nPrivateKey=!!:??\r\n"},
        {"wrong length for the key size", "PublicKey=" + pair.PublicKey() + "\r\nPrivateKey=" +
                                              pair.PrivateKey() + "\r\nRSAKeyBits=1024\r\n"},
    };
    for (const auto& k : testing_support::DegenerateKeys(pair))
        cases.push_back({k.what, "PublicKey=" + k.publicKey + "\r\nPrivateKey=" + k.privateKey +
                                     "\r\nRSAKeyBits=512\r\n"});
    for (const Case& c : cases) {
        Settings s(folder);
        TRSA rsa;
        // A key from an earlier load must not survive either.
        rsa.SetPublicKey(pair.PublicKey());
        s.SetCommandPortEncryption("READY");
        WriteFile(folder + "vexa2.ini", "[Global Options]\r\n" + c.entries);
        s.LoadSettings(rsa);
        EXPECT_EQ(s.CommandPortEncryption(), "DISABLED") << c.what;
        EXPECT_FALSE(rsa.PublicKeyLoaded()) << c.what;
        EXPECT_FALSE(rsa.PrivateKeyLoaded()) << c.what;
        EXPECT_TRUE(s.StoredKeysInvalid()) << c.what;
        // The texts survive an exit: the file keeps exactly what it held.
        const std::string before = ReadFile(folder + "vexa2.ini");
        ASSERT_TRUE(s.SaveSettings());
        const std::string saved = ReadFile(folder + "vexa2.ini");
        for (const char* key : {"PublicKey=", "PrivateKey="}) {
            const auto at = before.find(key);
            if (at != std::string::npos) {
                EXPECT_NE(saved.find(before.substr(at, before.find("\r\n", at) - at)),
                          std::string::npos)
                    << c.what << " " << key;
            }
        }
    }
}

TEST_F(SettingsKeyPairTest, APairWhoseModulusIsOneBitShortLoads) {
    const TRSA pair = testing_support::OneBitShortPair(kb0512);
    Load("PublicKey=" + pair.PublicKey() + "\r\nPrivateKey=" + pair.PrivateKey() +
         "\r\nRSAKeyBits=512\r\n");
    EXPECT_EQ(settings->CommandPortEncryption(), "READY");
    EXPECT_FALSE(settings->StoredKeysInvalid());
    EXPECT_EQ(rsa1.DecryptString(rsa1.EncryptString("NOOP")), "NOOP");
}

TEST_F(SettingsKeyPairTest, NoKeysChangeNothing) {
    rsa1.SetPublicKey(Pair512().PublicKey());
    Load("RSAKeyBits=512\r\n");
    EXPECT_EQ(settings->CommandPortEncryption(), "DISABLED");
    EXPECT_TRUE(rsa1.PublicKeyLoaded());
}

TEST_F(SettingsKeyPairTest, KeySizeChoices) {
    struct Case {
        const char* bits;
        const char* length;
        TKeyBits expectedBits;
        TSymKeyLength expectedLength;
    };
    // Texts outside the choices leave the key pair's setting as it was.
    const Case cases[] = {
        {"512", "64", kb0512, sk64},    {"1024", "128", kb1024, sk128},
        {"2048", "192", kb2048, sk192}, {"4096", "256", kb1024, sk256},
        {"", "7", kb1024, sk128},
    };
    for (const Case& c : cases) {
        Settings s(folder);
        TRSA rsa;
        rsa.SetKeyBits(kb1024);
        rsa.SetSymKeyLength(sk128);
        WriteFile(folder + "vexa2.ini", std::string("[Global Options]\r\nRSAKeyBits=") + c.bits +
                                            "\r\nSymKeyLength=" + c.length + "\r\n");
        s.LoadSettings(rsa);
        EXPECT_EQ(rsa.KeyBits(), c.expectedBits) << c.bits;
        EXPECT_EQ(rsa.SymKeyLength(), c.expectedLength) << c.length;
    }
}

TEST_F(SettingsKeyPairTest, FreshFileGivesTheWindowsSizes) {
    settings->LoadSettings(rsa1);
    EXPECT_EQ(rsa1.KeyBits(), kb2048);
    EXPECT_EQ(rsa1.SymKeyLength(), sk256);
    EXPECT_EQ(settings->CommandPortEncryption(), "DISABLED");
}
