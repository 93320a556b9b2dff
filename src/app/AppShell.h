#pragma once
#include "accounts/AccountFiles.h"
#include "accounts/ServerLists.h"
#include "accounts/ServerOwner.h"
#include "app/KeyPairManagement.h"
#include "app/KeyPairWorker.h"
#include "app/PassiveSettings.h"
#include "app/QuietPrompts.h"
#include "app/Settings.h"
#include "app/UpdateCheck.h"
#include "app/WriteLog.h"
#include "client/SessionValues.h"
#include "client/SiteStore.h"
#include "client/TransferQueue.h"
#include "crypto/ProgramKeys.h"
#include "ftpclient/TFtpClient.h"
#include "ftpserver/FtpServer.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The program without its window: settings, logs, the key pairs, the server
// with its account owner and lists, the client engine with its session, the
// transfer queue and the site store, and the start-up and closing sequences that the desktop
// window and the headless server both run. The window reaches everything
// below it through this object.
class ClientSession;

class AppShell {
public:
    // dataFolder ends in "/"; settingsPath is the settings file to use;
    // helpFilePath is where the user manual is expected (beside the program).
    // prompts answers the client's and the site store's questions; without
    // one every question is answered No and messages go to the log.
    AppShell(std::string dataFolder, std::string settingsPath, std::string helpFilePath,
             Prompts* prompts = nullptr);
    ~AppShell();
    AppShell(const AppShell&) = delete;
    AppShell& operator=(const AppShell&) = delete;

    // The start-up sequence, up to (not including) starting the server.
    void StartUp();
    // Starts the server on the ServerPort setting; false with the reason on
    // failure (also while a key pair is being generated).
    bool StartServer(std::string& error);
    // Connects the client to its current site; returns the refusal, or empty.
    std::string ConnectClient();
    // Re-reads what an administrator may change on disk while the server
    // runs: the settings file, the saved account files (over the working
    // copies, as a start does) and the three server lists. Connections and
    // the listener stay; a changed port and a changed key pair take effect at
    // the next start, and the log says so.
    void Reload();
    // The end of a run: stops listening, closes every server connection and
    // the client's, then runs the closing sequence.
    void Shutdown();
    // Starts the update check when "Check for Update on startup." is set
    // (after the server, as the start-up sequence orders it); done receives
    // its outcome. False when no check was started.
    bool CheckForUpdateOnStartup(UpdateCheck::Done done);
    // The closing sequence: settings saved, account edits saved, the three
    // list files written, temporary and key files removed when so configured.
    void Close();
    // The first steps of closing the window, before anything can still cancel
    // it: the settings and unsaved account edits are saved.
    void SaveBeforeClose();
    // The questions closing the window asks, in order, as things stand now
    // (a connected client; connected users of the server). Each must be
    // answered Yes for the window to close.
    std::vector<std::string> CloseQuestions() const;

    // Key pair commands. Generation runs on a worker thread; done receives
    // the refusal or failure text (empty on success) on the loop thread. A
    // refusal is also returned at once (and done is then not called).
    std::string GenerateKeyPair(std::function<void(const std::string& outcome)> done);
    std::string ClearKeyPair();
    bool GeneratingKeyPair() const { return keyWorker_.Running(); }
    // What a key pair change depends on, as it stands now.
    KeyPairGuard KeyGuard();
    // Called after the pair changed (generated or cleared).
    std::function<void()> OnKeyPairChanged;
    // Called after an option changed value, once the shell has applied it.
    std::function<void(const std::string& key)> OnSettingChanged;

    // What a client connection takes from the settings and the key pair.
    ClientDefaults ClientSettings() const;

    // Read-only views for the window.
    bool ClientConnected() const { return ftp_.Connected(); }
    bool ServerListening() const { return server_.Active(); }

    Settings& Options() { return settings_; }
    Logger& Log() { return logger_; }
    ProgramKeys& Keys() { return keys_; }
    TRSA& RSA1() { return keys_.RSA1; }
    TRSA& RSA2() { return keys_.RSA2; }
    TFtpServer& Server() { return server_; }
    UpdateCheck& Updates() { return updateCheck_; }
    accounts::ServerOwner& Owner() { return *owner_; }
    accounts::ServerLists& Lists() { return lists_; }
    accounts::AccountFiles& Accounts() { return *accountFiles_; }
    TFtpClient& Ftp() { return ftp_; }
    ClientSession& Client() { return *session_; }
    SiteStore& Sites() { return *sites_; }
    TransferQueue& Queue() { return *queue_; }
    const std::string& DataFolder() const { return dataFolder_; }
    // The user manual beside the program, and whether it was there at start-up.
    const std::string& HelpFilePath() const { return helpFilePath_; }
    bool HelpFileFound() const { return helpFileFound_; }

    // Unsaved account edits of the window's pages, saved on close; the window
    // sets these (the headless server has no edits).
    std::function<void()> SaveUnsavedAccountEdits;

private:
    accounts::ServerPolicy PolicyFromSettings() const;
    // The client's speed limits (KiB/s in the settings) for the engine.
    void ApplyClientLimits();
    void ClearMissingMessagePaths();
    void SettingChanged(const std::string& key);
    void InstallGeneratedPair(const TRSA& pair,
                              const std::function<void(const std::string&)>& done);

    std::string dataFolder_;
    mutable int lastUserLimit_ = 3;
    std::string helpFilePath_;
    bool helpFileFound_ = false;
    Settings settings_;
    Logger logger_;
    ProgramKeys keys_;
    TFtpServer server_;
    accounts::ServerLists lists_;
    std::unique_ptr<accounts::AccountFiles> accountFiles_;
    std::unique_ptr<accounts::ServerOwner> owner_;
    QuietPrompts quietPrompts_;
    Prompts& prompts_;
    UpdateCheck updateCheck_;
    TFtpClient ftp_;
    std::unique_ptr<ClientSession> session_;
    std::unique_ptr<SiteStore> sites_;
    std::unique_ptr<TransferQueue> queue_;
    KeyPairWorker keyWorker_;
    std::unique_ptr<PassiveSettings> passive_;
};

// Deletes every "*.tmp" file, then every "*.key" file, directly in folder.
void DeleteTemporaryFiles(const std::string& folder);
