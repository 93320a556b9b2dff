#include "AppTestEnv.h"
#include "Peers.h"
#include "app/AppShell.h"
#include "app/AppTexts.h"
#include "app/DataFolder.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"

#include <QDir>

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// The complete file a fresh start writes, byte for byte.
const char* const kFreshFile = "[Server Options]\r\n"
                               "StartServerOnStartUp=0\r\n"
                               "ServerPort=21\r\n"
                               "DefaultHomeDirectory=\r\n"
                               "EncryptedOnlyClients=0\r\n"
                               "MaximumConcurrentUsers=3\r\n"
                               "IdleCount=300\r\n"
                               "IdleTimeout=1\r\n"
                               "Allow=0\r\n"
                               "Deny=1\r\n"
                               "LogoutMessage=\r\n"
                               "LoginMessage=\r\n"
                               "ConnectMessage=\r\n"
                               "BanAfterFailedLogins=10\r\n"
                               "BanWindowMinutes=5\r\n"
                               "BanHours=1\r\n"
                               "ExemptLoopback=1\r\n"
                               "MaxConnectionsPerAddress=10\r\n"
                               "ServerDownloadLimit=0\r\n"
                               "ServerUploadLimit=0\r\n"
                               "ConnectionSpeedLimit=0\r\n"
                               "PassivePortMin=0\r\n"
                               "PassivePortMax=0\r\n"
                               "PassiveExternalAddress=\r\n"
                               "PassiveExternalForLocal=0\r\n"
                               "[Global Options]\r\n"
                               "ShowSuperUserWarnings=1\r\n"
                               "CheckForUpdateOnStartup=0\r\n"
                               "StartMaximized=0\r\n"
                               "StartMinimized=0\r\n"
                               "DeleteTemporaryFiles=0\r\n"
                               "MinimizeToTray=0\r\n"
                               "HideFromTaskbar=0\r\n"
                               "TimestampEvents=0\r\n"
                               "LogToFile=0\r\n"
                               "TimestampLogs=0\r\n"
                               "AppendLogs=0\r\n"
                               "ClientLogFile=\r\n"
                               "ServerLogFile=\r\n"
                               "ShowClientLogWindow=1\r\n"
                               "ShowServerLogWindow=1\r\n"
                               "VerboseLogging=0\r\n"
                               "MaskPasswords=1\r\n"
                               "PublicKey=\r\n"
                               "PrivateKey=\r\n"
                               "SymKeyLength=256\r\n"
                               "RSAKeyBits=2048\r\n"
                               "CurrentKeyBits=\r\n"
                               "CurrentKeyLength=\r\n"
                               "UpdateHost=www.quorvel.example\r\n"
                               "[Client Options]\r\n"
                               "SocksServer=\r\n"
                               "SocksPort=\r\n"
                               "SocksUsername=\r\n"
                               "SocksPassword=\r\n"
                               "PassiveMode=0\r\n"
                               "ClientTimeout=20\r\n"
                               "DownloadLimit=0\r\n"
                               "UploadLimit=0\r\n"
                               "MaxSimultaneousTransfers=2\r\n";

std::string Fixture() {
    return ReadFile(std::string(VEXA_SOURCE_DIR) + "/tests/app/fixtures/older_version_vexa2.ini");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

class SettingsTest : public AppTestEnv {
protected:
    void SetUp() override {
        AppTestEnv::SetUp();
        folder = ResolveDataFolder(std::nullopt).path;
        ASSERT_EQ(folder, DataFolder());
    }
    std::string folder;
};

} // namespace

TEST_F(SettingsTest, FreshStartWritesEveryKeyInOrderAndSaysWhere) {
    Settings s(folder);
    s.LoadSettingsFile();
    const std::string path = folder + "vexa2.ini";
    EXPECT_EQ(ReadFile(path), kFreshFile);
    EXPECT_EQ(s.PendingMessage(),
              path +
                  " not found.  The file has been created using the application default settings.");
    EXPECT_TRUE(s.LoadErrors().empty());
    EXPECT_EQ(s.GetString(keys::RSAKeyBits), "2048");
    EXPECT_EQ(s.GetString(keys::SymKeyLength), "256");
    EXPECT_EQ(s.GetInt(keys::IdleCount), 300);
    // The file holds the private key: only its owner may read it.
    EXPECT_EQ(QFile::permissions(QString::fromStdString(path)) &
                  (QFile::ReadGroup | QFile::ReadOther),
              0);

    // A second start finds the file and has nothing to report.
    Settings again(folder);
    again.LoadSettingsFile();
    EXPECT_EQ(again.PendingMessage(), "");
    EXPECT_EQ(ReadFile(path), kFreshFile);
}

TEST_F(SettingsTest, MissingKeysLoadTheirDefaults) {
    // An existing file without the key sizes loads 512 and 64; keys without a
    // fixed default keep the window's value; a non-numeric number or boolean
    // reads as its default.
    WriteFile(folder + "vexa2.ini",
              "[Server Options]\r\nServerPort=2100\r\nIdleCount=ten\r\n"
              "IdleTimeout=yes\r\nDeny=0\r\n[Global Options]\r\nPublicKey=\r\n");
    Settings s(folder);
    s.LoadSettingsFile();
    EXPECT_EQ(s.PendingMessage(), "");
    EXPECT_EQ(s.GetString(keys::RSAKeyBits), "512");
    EXPECT_EQ(s.GetString(keys::SymKeyLength), "64");
    EXPECT_EQ(s.GetString(keys::ServerPort), "2100");
    EXPECT_EQ(s.GetInt(keys::IdleCount), 300);
    EXPECT_TRUE(s.GetBool(keys::IdleTimeout));
    EXPECT_FALSE(s.GetBool(keys::Deny));
    EXPECT_EQ(s.GetString(keys::MaximumConcurrentUsers), "3");
    EXPECT_TRUE(s.GetBool(keys::MaskPasswords));
}

TEST_F(SettingsTest, ValuesAreReadAsTheirType) {
    struct Case {
        const char* stored;
        bool asBool;     // for a boolean key
        int asIdleCount; // for IdleCount (the control's range is 60..3600)
    };
    const Case cases[] = {
        {"0", false, 60},
        {"1", true, 60},
        {"2", true, 60},
        {" 7 ", true, 60},
        {"-1", true, 60},
        {"600", true, 600},
        {"99999", true, 3600},
        {"12abc", true, 300},
        {"", true, 300},
        {"0x10", true, 300},
        {"99999999999", true, 300},
    };
    for (const Case& c : cases) {
        WriteFile(folder + "vexa2.ini", std::string("[Server Options]\nIdleTimeout=") + c.stored +
                                            "\nIdleCount=" + c.stored + "\n");
        Settings s(folder);
        s.LoadSettingsFile();
        EXPECT_EQ(s.GetBool(keys::IdleTimeout), c.asBool) << '"' << c.stored << '"';
        EXPECT_EQ(s.GetInt(keys::IdleCount), c.asIdleCount) << '"' << c.stored << '"';
    }
}

TEST_F(SettingsTest, CorrectedValuesAreReportedWithKeyFoundAndUsed) {
    struct Case {
        const char* entry;
        const char* key;
        const char* used; // the working value afterwards
        const char* line; // the report, or "" for none
    };
    const Case cases[] = {
        {"[Server Options]\nIdleCount=0", "IdleCount", "60",
         "Setting IdleCount=0 is out of range; 60 is used instead."},
        {"[Server Options]\nIdleCount=99999", "IdleCount", "3600",
         "Setting IdleCount=99999 is out of range; 3600 is used instead."},
        {"[Server Options]\nIdleCount=12abc", "IdleCount", "300",
         "Setting IdleCount=12abc is not a number; 300 is used instead."},
        {"[Server Options]\nMaximumConcurrentUsers=-2", "MaximumConcurrentUsers", "3",
         "Setting MaximumConcurrentUsers=-2 is out of range; 3 is used instead."},
        {"[Server Options]\nMaximumConcurrentUsers=many", "MaximumConcurrentUsers", "3",
         "Setting MaximumConcurrentUsers=many is not a number; 3 is used instead."},
        {"[Server Options]\nIdleTimeout=yes", "IdleTimeout", "1",
         "Setting IdleTimeout=yes is not a number; 1 is used instead."},
        {"[Server Options]\nIdleCount=600\nMaximumConcurrentUsers=0\nIdleTimeout=2", "IdleCount",
         "600", ""},
        {"[Server Options]\nIdleCount=", "IdleCount", "300", ""},
    };
    for (const Case& c : cases) {
        WriteFile(folder + "vexa2.ini", std::string(c.entry) + "\n");
        Settings s(folder);
        s.LoadSettingsFile();
        EXPECT_EQ(s.Text(c.key), c.used) << c.entry;
        const std::vector<std::string> expected =
            *c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{};
        EXPECT_EQ(s.LoadCorrections(), expected) << c.entry;
        EXPECT_TRUE(s.LoadErrors().empty()) << c.entry;
    }
}

TEST_F(SettingsTest, AFileThatIsNotTextIsReportedAndLeftAlone) {
    const std::string path = folder + "vexa2.ini";
    const std::string binary("[Server Options]\r\nServerPort=2121\r\n\0\x01\x02binary", 40);
    WriteFile(path, binary);
    Settings s(folder);
    s.LoadSettingsFile();
    ASSERT_EQ(s.LoadErrors().size(), 1u);
    EXPECT_EQ(s.LoadErrors()[0], "Cannot read the settings file " + path +
                                     ": not a text file (it holds NUL bytes); the application "
                                     "default settings are used.");
    EXPECT_EQ(s.GetString(keys::ServerPort), "21");
    EXPECT_FALSE(s.SaveSettings());
    EXPECT_EQ(ReadFile(path), binary);
}

TEST_F(SettingsTest, FileOfAnOlderVersionLoadsEveryValue) {
    const std::string older = Fixture();
    ASSERT_NE(older.find("\r\n"), std::string::npos) << "the fixture must keep its CR LF line ends";
    WriteFile(folder + "vexa2.ini", older);
    Settings s(folder);
    s.LoadSettingsFile();
    EXPECT_EQ(s.PendingMessage(), "");
    EXPECT_TRUE(s.GetBool(keys::StartServerOnStartUp));
    EXPECT_EQ(s.GetString(keys::ServerPort), "2121");
    EXPECT_EQ(s.GetString(keys::DefaultHomeDirectory), "C:\\FTP\\Home\\");
    EXPECT_TRUE(s.GetBool(keys::EncryptedOnlyClients));
    EXPECT_EQ(s.GetString(keys::MaximumConcurrentUsers), "12");
    EXPECT_EQ(s.GetInt(keys::IdleCount), 900);
    EXPECT_FALSE(s.GetBool(keys::IdleTimeout));
    EXPECT_TRUE(s.GetBool(keys::Allow));
    EXPECT_FALSE(s.GetBool(keys::Deny));
    EXPECT_EQ(s.GetString(keys::LogoutMessage), "C:\\FTP\\bye.txt");
    EXPECT_EQ(s.GetString(keys::LoginMessage), "C:\\FTP\\welcome.txt");
    EXPECT_EQ(s.GetString(keys::ConnectMessage), "C:\\FTP\\hello.txt");
    EXPECT_FALSE(s.GetBool(keys::ShowSuperUserWarnings));
    EXPECT_TRUE(s.GetBool(keys::CheckForUpdateOnStartup));
    EXPECT_FALSE(s.GetBool(keys::StartMaximized));
    EXPECT_TRUE(s.GetBool(keys::StartMinimized));
    EXPECT_TRUE(s.GetBool(keys::DeleteTemporaryFiles));
    EXPECT_TRUE(s.GetBool(keys::MinimizeToTray));
    EXPECT_TRUE(s.GetBool(keys::HideFromTaskbar));
    EXPECT_TRUE(s.GetBool(keys::TimestampEvents));
    EXPECT_TRUE(s.GetBool(keys::LogToFile));
    EXPECT_FALSE(s.GetBool(keys::TimestampLogs));
    EXPECT_TRUE(s.GetBool(keys::AppendLogs));
    EXPECT_EQ(s.GetString(keys::ClientLogFile), "C:\\Logs\\client.log");
    EXPECT_EQ(s.GetString(keys::ServerLogFile), "C:\\Logs\\server.log");
    EXPECT_FALSE(s.GetBool(keys::ShowClientLogWindow));
    EXPECT_FALSE(s.GetBool(keys::ShowServerLogWindow));
    EXPECT_TRUE(s.GetBool(keys::VerboseLogging));
    EXPECT_FALSE(s.GetBool(keys::MaskPasswords));
    EXPECT_EQ(s.GetString(keys::PublicKey), "3:Hx0Gq1V+7bYc");
    EXPECT_EQ(s.GetString(keys::PrivateKey), "Hx0Gq1V+7bYc:9aZ-Kk2");
    EXPECT_EQ(s.GetString(keys::SymKeyLength), "128");
    EXPECT_EQ(s.GetString(keys::RSAKeyBits), "1024");
    EXPECT_EQ(s.GetString(keys::CurrentKeyBits), "1024");
    EXPECT_EQ(s.GetString(keys::CurrentKeyLength), "128");
    EXPECT_EQ(s.GetString(keys::UpdateHost), apptexts::kDefaultUpdateHost);
    EXPECT_EQ(s.GetString(keys::SocksServer), "proxy.example.net");
    EXPECT_EQ(s.GetString(keys::SocksPort), "1080");
    EXPECT_EQ(s.GetString(keys::SocksUsername), "alice");
    EXPECT_EQ(s.GetString(keys::SocksPassword), "s3cret word");
    EXPECT_TRUE(s.GetBool(keys::PassiveMode));
}

TEST_F(SettingsTest, SavingChangesNothingButWhatChanged) {
    const std::string path = folder + "vexa2.ini";
    const std::string older = Fixture();
    WriteFile(path, older);
    Settings s(folder);
    s.LoadSettingsFile();
    s.SetString(keys::ServerPort, "2222");
    s.SetBool(keys::PassiveMode, false);
    ASSERT_TRUE(s.SaveSettings()) << s.LastSaveError();

    // The only additions: the two changed lines, and the keys older versions
    // did not write (the update host, the client's time-out, the protection, speed-limit,
    // passive-mode and simultaneous-transfer keys), each with its default after the last key of its
    // section.
    std::string expected = Replace(older, "ServerPort=2121\r\n", "ServerPort=2222\r\n");
    expected = Replace(expected, "PassiveMode=1\r\n",
                       "PassiveMode=0\r\nClientTimeout=20\r\nDownloadLimit=0\r\nUploadLimit=0\r\n"
                       "MaxSimultaneousTransfers=2\r\n");
    expected =
        Replace(expected, "ConnectMessage=C:\\FTP\\hello.txt\r\n",
                "ConnectMessage=C:\\FTP\\hello.txt\r\nBanAfterFailedLogins=10\r\n"
                "BanWindowMinutes=5\r\nBanHours=1\r\nExemptLoopback=1\r\n"
                "MaxConnectionsPerAddress=10\r\nServerDownloadLimit=0\r\n"
                "ServerUploadLimit=0\r\nConnectionSpeedLimit=0\r\nPassivePortMin=0\r\n"
                "PassivePortMax=0\r\nPassiveExternalAddress=\r\nPassiveExternalForLocal=0\r\n");
    expected = Replace(expected, "CurrentKeyLength=128\r\n",
                       std::string("CurrentKeyLength=128\r\nUpdateHost=") +
                           apptexts::kDefaultUpdateHost + "\r\n");
    EXPECT_EQ(ReadFile(path), expected);

    // Loaded and saved again unchanged, the file stays byte for byte the same.
    Settings again(folder);
    again.LoadSettingsFile();
    ASSERT_TRUE(again.SaveSettings());
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(SettingsTest, SavingKeepsWhatItDoesNotKnowAndTheLineEndStyle) {
    const std::string path = folder + "vexa2.ini";
    const std::string text =
        "; kept comment\n[Server Options]\nServerPort = 2121\nCustom=keep me\n\n"
        "[Other]\nx=1\n";
    WriteFile(path, text);
    Settings s(folder);
    s.LoadSettingsFile();
    EXPECT_EQ(s.GetString(keys::ServerPort),
              "2121"); // blanks around key and value are not part of them
    ASSERT_TRUE(s.SaveSettings());
    const std::string saved = ReadFile(path);
    EXPECT_EQ(saved.find('\r'), std::string::npos);
    EXPECT_EQ(saved.rfind("; kept comment\n[Server Options]\nServerPort = 2121\nCustom=keep me\n"
                          "StartServerOnStartUp=0\n",
                          0),
              0u)
        << saved;
    EXPECT_NE(saved.find("\n\n[Other]\nx=1\n[Global Options]\n"), std::string::npos) << saved;
}

TEST_F(SettingsTest, AValueIsAlwaysOneLine) {
    Settings s(folder);
    s.LoadSettingsFile();
    s.SetString(keys::SocksPassword, "a\r\n[Server Options]\r\nServerPort=1");
    ASSERT_TRUE(s.SaveSettings());
    Settings again(folder);
    again.LoadSettingsFile();
    EXPECT_EQ(again.GetString(keys::ServerPort), "21");
    EXPECT_EQ(again.GetString(keys::SocksPassword), "a[Server Options]ServerPort=1");
}

TEST_F(SettingsTest, UnreadableOrUnwritableFileIsReportedNotClobbered) {
    const std::string path = folder + "vexa2.ini";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path))); // a folder where the file should be
    Settings s(folder);
    s.LoadSettingsFile();
    ASSERT_EQ(s.LoadErrors().size(), 1u);
    EXPECT_EQ(s.LoadErrors()[0].rfind(std::string("Cannot read the settings file ") + path, 0), 0u)
        << s.LoadErrors()[0];
    EXPECT_FALSE(s.SaveSettings());
    EXPECT_FALSE(s.LastSaveError().empty());

    Settings nowhere(root.File("no/such/folder/"));
    nowhere.LoadSettingsFile();
    ASSERT_EQ(nowhere.LoadErrors().size(), 1u);
    EXPECT_EQ(nowhere.LoadErrors()[0].rfind("Cannot create the settings file ", 0), 0u);
    EXPECT_EQ(nowhere.PendingMessage(), "");
}

TEST_F(SettingsTest, SettingsPathRule) {
    const std::string cwd = QDir::currentPath().toStdString() + "/";
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{}, folder + "vexa2.ini"},
        {{"mine.ini"}, folder + "mine.ini"},
        {{"/etc/elsewhere.ini"}, "/etc/elsewhere.ini"},
        {{"sub/other.ini"}, cwd + "sub/other.ini"},
        {{"a.ini", "b.ini"}, folder + "vexa2.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SettingsPathFor(folder, c.args), c.expected);
}

TEST_F(SettingsTest, BareFileNameArgumentLandsInTheDataFolder) {
    Settings s(folder);
    s.SetSettingsPath(SettingsPathFor(folder, {"mine.ini"}));
    EXPECT_FALSE(s.IsDefaultPath());
    s.LoadSettingsFile();
    EXPECT_EQ(s.PendingMessage(), folder + "mine.ini" + apptexts::kSettingsCreatedSuffix);
    EXPECT_EQ(ReadFile(folder + "mine.ini"), kFreshFile);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + "vexa2.ini")));
}

TEST_F(SettingsTest, TypedAccessRejectsUnknownKeysAndWrongTypes) {
    Settings s(folder);
    EXPECT_THROW(s.GetBool("NoSuchKey"), std::invalid_argument);
    EXPECT_THROW(s.GetString(keys::IdleTimeout), std::invalid_argument);
    EXPECT_THROW(s.SetBool(keys::ServerPort, true), std::invalid_argument);
    std::vector<std::string> changed;
    s.OnChanged = [&](const std::string& key) { changed.push_back(key); };
    s.SetBool(keys::IdleTimeout, true); // already on: no change
    s.SetInt(keys::IdleCount, 5);       // the control's lowest is 60
    EXPECT_EQ(s.GetInt(keys::IdleCount), 60);
    EXPECT_EQ(changed, std::vector<std::string>{keys::IdleCount});
}

TEST_F(SettingsTest, LinesEndingInCrCrLfKeepTheirValuesThroughAStartAndAStop) {
    // A file saved once more on another system: every line ends CR CR LF.
    const std::string path = folder + "vexa2.ini";
    std::string text;
    for (char ch : Fixture())
        text += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    ASSERT_NE(text.find("ServerPort=2121\r\r\n"), std::string::npos);
    WriteFile(path, text);
    {
        AppShell shell(folder, path, folder + "vexa2.hlp");
        shell.StartUp();
        EXPECT_EQ(shell.Options().GetString(keys::ServerPort), "2121");
        EXPECT_TRUE(shell.Options().GetBool(keys::PassiveMode));
        EXPECT_EQ(shell.Options().GetString(keys::CurrentKeyLength), "128");
        shell.Shutdown();
    }
    Settings again(folder);
    again.LoadSettingsFile();
    EXPECT_EQ(again.GetString(keys::ServerPort), "2121");
    EXPECT_TRUE(again.GetBool(keys::PassiveMode));
    EXPECT_EQ(again.GetString(keys::CurrentKeyLength), "128");
}
