#include "AppTestEnv.h"
#include "Peers.h"
#include "app/DataFolder.h"
#include "app/RegistryMigration.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"

#include <QDir>
#include <QFile>

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

bool Exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path));
}

class RegistryMigrationTest : public AppTestEnv {
protected:
    void SetUp() override {
        AppTestEnv::SetUp();
        folder = ResolveDataFolder(std::nullopt).path;
        ASSERT_EQ(RegistryStorePath(), RegistryFile());
        QDir().mkpath(QString::fromStdString(root.File("config/Quorvel/Vexa2")));
        WriteFile(RegistryFile(), "[Vexa2]\r\n"
                                  "StartServerOnStartup=1\r\n"
                                  "ServerPort=2021\r\n"
                                  "DefaultHomeDirectory=/srv/ftp/\r\n"
                                  "ShowSuperUserWarnings=0\r\n"
                                  "IdleCount=1200\r\n"
                                  "IdleTimeout=0\r\n"
                                  "Deny=0\r\n"
                                  "Allow=1\r\n"
                                  "ConnectMessage=/srv/hello.txt\r\n"
                                  "ServerLogFile=/var/log/vexa-server.log\r\n");
    }
    std::string folder;
};

} // namespace

TEST_F(RegistryMigrationTest, MigratedOnceThenRemovedWithItsEmptyFolders) {
    Settings s(folder);
    s.LoadSettingsFile();
    EXPECT_EQ(s.PendingMessage(), "Converting Registry settings to .ini file");
    EXPECT_TRUE(s.LoadErrors().empty());
    EXPECT_TRUE(s.GetBool(keys::StartServerOnStartUp));
    EXPECT_EQ(s.GetString(keys::ServerPort), "2021");
    EXPECT_EQ(s.GetString(keys::DefaultHomeDirectory), "/srv/ftp/");
    EXPECT_FALSE(s.GetBool(keys::ShowSuperUserWarnings));
    EXPECT_EQ(s.GetInt(keys::IdleCount), 1200);
    EXPECT_FALSE(s.GetBool(keys::IdleTimeout));
    EXPECT_TRUE(s.GetBool(keys::Allow));
    EXPECT_FALSE(s.GetBool(keys::Deny));
    EXPECT_EQ(s.GetString(keys::ConnectMessage), "/srv/hello.txt");
    EXPECT_EQ(s.GetString(keys::ServerLogFile), "/var/log/vexa-server.log");
    // Options the old store never held have the window's values, as a new file would.
    EXPECT_EQ(s.GetString(keys::RSAKeyBits), "2048");
    EXPECT_EQ(s.GetString(keys::MaximumConcurrentUsers), "3");

    const std::string ini = ReadFile(folder + "vexa2.ini");
    EXPECT_NE(ini.find("ServerPort=2021\r\n"), std::string::npos);
    EXPECT_NE(ini.find("IdleCount=1200\r\n"), std::string::npos);
    EXPECT_FALSE(Exists(RegistryFile()));
    EXPECT_FALSE(Exists(root.File("config/Quorvel")));
    EXPECT_TRUE(Exists(root.File("config")));

    // Next start: nothing left to migrate, the file is read as it is.
    Settings again(folder);
    again.LoadSettingsFile();
    EXPECT_EQ(again.PendingMessage(), "");
    EXPECT_EQ(again.GetString(keys::ServerPort), "2021");
}

TEST_F(RegistryMigrationTest, ParentFolderWithOtherContentIsKept) {
    WriteFile(root.File("config/Quorvel/other.ini"), "x");
    Settings s(folder);
    s.LoadSettingsFile();
    EXPECT_FALSE(Exists(RegistryFile()));
    EXPECT_FALSE(Exists(root.File("config/Quorvel/Vexa2")));
    EXPECT_TRUE(Exists(root.File("config/Quorvel/other.ini")));
}

TEST_F(RegistryMigrationTest, NotMigratedWhenTheFileExistsOrAnotherFileIsNamed) {
    WriteFile(folder + "vexa2.ini", "[Server Options]\r\nServerPort=99\r\n");
    Settings existing(folder);
    existing.LoadSettingsFile();
    EXPECT_EQ(existing.PendingMessage(), "");
    EXPECT_EQ(existing.GetString(keys::ServerPort), "99");
    EXPECT_TRUE(Exists(RegistryFile()));

    Settings named(folder);
    named.SetSettingsPath(SettingsPathFor(folder, {"named.ini"}));
    named.LoadSettingsFile();
    EXPECT_EQ(named.GetString(keys::ServerPort), "21");
    EXPECT_NE(named.PendingMessage().find("named.ini not found."), std::string::npos);
    EXPECT_TRUE(Exists(RegistryFile()));
}

TEST_F(RegistryMigrationTest, StoreIsKeptWhenTheNewFileCannotBeWritten) {
    // The data folder vanished after start: nothing may be lost.
    Settings s(root.File("gone/"));
    s.LoadSettingsFile();
    EXPECT_EQ(s.PendingMessage(), "Converting Registry settings to .ini file");
    ASSERT_FALSE(s.LoadErrors().empty());
    EXPECT_TRUE(Exists(RegistryFile()));
}

TEST_F(RegistryMigrationTest, UnreadableValuesAreSkipped) {
    WriteFile(RegistryFile(), "[Vexa2]\nIdleCount=soon\nIdleTimeout=perhaps\nServerPort=2100\n");
    Settings s(folder);
    s.LoadSettingsFile();
    EXPECT_EQ(s.GetInt(keys::IdleCount), 300);
    EXPECT_TRUE(s.GetBool(keys::IdleTimeout));
    EXPECT_EQ(s.GetString(keys::ServerPort), "2100");
}
