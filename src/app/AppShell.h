#pragma once
#include "accounts/AccountFiles.h"
#include "accounts/ServerLists.h"
#include "accounts/ServerOwner.h"
#include "app/Settings.h"
#include "app/UpdateCheck.h"
#include "app/WriteLog.h"
#include "crypto/TRSA.h"
#include "ftpserver/FtpServer.h"

#include <memory>
#include <string>

// The program without its window: settings, logs, the key pairs, the server
// with its account owner and lists, and the start-up and closing sequences
// that the desktop window and the headless server both run.
class AppShell {
public:
    // dataFolder ends in "/"; settingsPath is the settings file to use;
    // helpFilePath is where the user manual is expected (beside the program).
    AppShell(std::string dataFolder, std::string settingsPath, std::string helpFilePath);
    ~AppShell();
    AppShell(const AppShell&) = delete;
    AppShell& operator=(const AppShell&) = delete;

    // The start-up sequence, up to (not including) starting the server.
    void StartUp();
    // Starts the server on the ServerPort setting; false with the reason on failure.
    bool StartServer(std::string& error);
    // Starts the update check when "Check for Update on startup." is set
    // (after the server, as the start-up sequence orders it); done receives
    // its outcome. False when no check was started.
    bool CheckForUpdateOnStartup(UpdateCheck::Done done);
    // The closing sequence: settings saved, account edits saved, the three
    // list files written, temporary and key files removed when so configured.
    void Close();

    Settings& Options() { return settings_; }
    Logger& Log() { return logger_; }
    TRSA& RSA1() { return rsa1_; }
    TRSA& RSA2() { return rsa2_; }
    TFtpServer& Server() { return server_; }
    UpdateCheck& Updates() { return updateCheck_; }
    accounts::ServerOwner& Owner() { return *owner_; }
    accounts::ServerLists& Lists() { return lists_; }
    accounts::AccountFiles& Accounts() { return *accountFiles_; }
    const std::string& DataFolder() const { return dataFolder_; }

    // Unsaved account edits of the window's pages, saved on close; the window
    // sets these (the headless server has no edits).
    std::function<void()> SaveUnsavedAccountEdits;

private:
    accounts::ServerPolicy PolicyFromSettings() const;
    void ApplyKeyPairToServer();
    void ClearMissingMessagePaths();

    std::string dataFolder_;
    mutable int lastUserLimit_ = 3;
    std::string helpFilePath_;
    Settings settings_;
    Logger logger_;
    UpdateCheck updateCheck_;
    TRSA rsa1_;
    TRSA rsa2_;
    TFtpServer server_;
    accounts::ServerLists lists_;
    std::unique_ptr<accounts::AccountFiles> accountFiles_;
    std::unique_ptr<accounts::ServerOwner> owner_;
};

// Deletes every "*.tmp" file, then every "*.key" file, directly in folder.
void DeleteTemporaryFiles(const std::string& folder);
