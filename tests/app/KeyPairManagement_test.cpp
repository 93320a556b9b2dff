#include "app/KeyPairManagement.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"

#include <gtest/gtest.h>

TEST(KeyPairManagement, RefusalsAndTheStopOfAnIdleServer) {
    Settings settings("/tmp/");
    TRSA rsa;
    ChooseKeyBits(settings, rsa, kb0512);
    ChooseSymKeyLength(settings, rsa, sk192);
    EXPECT_EQ(settings.GetString(keys::RSAKeyBits), "512");
    EXPECT_EQ(settings.GetString(keys::SymKeyLength), "192");

    bool stopped = false;
    KeyPairGuard busyServer{true, 2, false, [&] { stopped = true; }};
    EXPECT_EQ(GenerateKeyPair(settings, rsa, busyServer),
              "You cannot generate new keypairs while your server is active.  Please deactivate "
              "your server and try again.");
    EXPECT_EQ(ClearKeyPair(settings, rsa, busyServer),
              "You cannot clear the keypairs while your server is active.  Please deactivate your "
              "server and try again.");
    EXPECT_FALSE(stopped);
    KeyPairGuard busyClient{false, 0, true, {}};
    EXPECT_EQ(GenerateKeyPair(settings, rsa, busyClient),
              "You cannot generate new keypairs while your client is active.  Please disconnect "
              "your client and try again.");
    EXPECT_FALSE(rsa.PrivateKeyLoaded());

    KeyPairGuard idleServer{true, 0, false, [&] { stopped = true; }};
    EXPECT_EQ(GenerateKeyPair(settings, rsa, idleServer), "");
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(rsa.PrivateKeyLoaded());
    EXPECT_EQ(settings.GetString(keys::CurrentKeyBits), "0512");
    EXPECT_EQ(settings.GetString(keys::CurrentKeyLength), "192");
    EXPECT_EQ(settings.GetString(keys::PrivateKey), rsa.PrivateKey());
    EXPECT_EQ(settings.CommandPortEncryption(), "READY");

    EXPECT_EQ(ClearKeyPair(settings, rsa, KeyPairGuard{}), "");
    EXPECT_FALSE(rsa.PublicKeyLoaded());
    EXPECT_EQ(settings.GetString(keys::PublicKey), "");
    EXPECT_EQ(settings.CommandPortEncryption(), "DISABLED");
}
