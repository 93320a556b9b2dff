// vexa2-admin keys: the program's key pair in the data folder's settings.
#include "app/DataFolder.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "crypto/TRSA.h"
#include "support/KeyCases.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {
CommandResult Keys(const TempDir& data, std::vector<std::string> args) {
    args.insert(args.begin(), {"--data-dir", data.Path(), "keys"});
    return RunCommand(ProgramPath("vexa2-admin"), args);
}
} // namespace

TEST(AdminKeys, GenerateShowClearAndRefuseWhileTheFolderIsHeld) {
    TempDir data;
    CommandResult generated = Keys(data, {"generate", "--bits", "512", "--length", "64"});
    ASSERT_EQ(generated.exitCode, 0) << generated.err;

    // The settings file now holds a pair that loads, with its sizes.
    Settings settings(data.Path());
    settings.SetSettingsPath(data.File("vexa2.ini"));
    TRSA rsa;
    settings.LoadSettings(rsa);
    EXPECT_TRUE(rsa.PublicKeyLoaded());
    EXPECT_TRUE(rsa.PrivateKeyLoaded());
    EXPECT_EQ(settings.GetString(keys::CurrentKeyBits), "0512");
    EXPECT_EQ(settings.GetString(keys::CurrentKeyLength), "064");
    EXPECT_EQ(settings.GetString(keys::PublicKey).rfind("++", 0), 0u); // a one-word exponent
    EXPECT_EQ(rsa.DecryptString(rsa.EncryptString("NOOP")), "NOOP");

    CommandResult shown = Keys(data, {"show"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("Command Port Encryption: READY"), std::string::npos) << shown.out;

    {
        DataFolderLock held;
        ASSERT_TRUE(held.Acquire(data.Path()));
        CommandResult refused = Keys(data, {"clear"});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_NE(refused.err.find("cannot be changed while another program"), std::string::npos);
        EXPECT_EQ(Keys(data, {"show"}).exitCode, 0); // reading is always allowed
    }
    EXPECT_EQ(Keys(data, {"generate", "--bits", "4096"}).exitCode, 1);

    ASSERT_EQ(Keys(data, {"clear"}).exitCode, 0);
    Settings cleared(data.Path());
    cleared.SetSettingsPath(data.File("vexa2.ini"));
    TRSA none;
    cleared.LoadSettings(none);
    EXPECT_FALSE(none.PrivateKeyLoaded());
    EXPECT_EQ(cleared.GetString(keys::PublicKey), "");
    EXPECT_EQ(cleared.CommandPortEncryption(), "DISABLED");
}

TEST(AdminKeys, StoredTextsThatDoNotLoadAreShownInvalidAndKept) {
    TempDir data;
    ASSERT_EQ(Keys(data, {"generate", "--bits", "512"}).exitCode, 0);
    Settings settings(data.Path());
    settings.SetSettingsPath(data.File("vexa2.ini"));
    TRSA good;
    settings.LoadSettings(good);
    ASSERT_TRUE(good.PrivateKeyLoaded());
    EXPECT_EQ(Keys(data, {"show"}).out.find("invalid"), std::string::npos);
    // The modulus replaced by 0: the texts no longer load.
    const KeyCase degenerate = DegenerateKeys(good).front();
    settings.SetString(keys::PublicKey, degenerate.publicKey);
    settings.SetString(keys::PrivateKey, degenerate.privateKey);
    ASSERT_TRUE(settings.SaveSettings());
    const std::string stored = ReadFile(data.File("vexa2.ini"));

    CommandResult shown = Keys(data, {"show"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("Command Port Encryption: DISABLED"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("The stored key texts are invalid"), std::string::npos) << shown.out;
    EXPECT_EQ(ReadFile(data.File("vexa2.ini")), stored);
    // A new pair replaces them and is valid again.
    ASSERT_EQ(Keys(data, {"generate", "--bits", "512"}).exitCode, 0);
    EXPECT_EQ(Keys(data, {"show"}).out.find("invalid"), std::string::npos);
}
