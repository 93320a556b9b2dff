#pragma once
#include "window/CommandMap.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class AppShell;
class AppSignals;
class ClientPage;
class HelpWindow;
class LogPane;
class Prompts;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QToolBar;
class ServerPage;
class SettingsPage;
class TSiteManager;

// The main window: the toolbar, the main menu, and the client, server and
// settings pages over the application shell.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kInitialWidth = 770;
    static constexpr int kInitialHeight = 564;

    TForm1(AppShell& shell, Prompts& prompts, QWidget* parent = nullptr);
    ~TForm1() override;

    // After the shell's start-up (the window exists before it, so the panes
    // show the start-up lines): the loaded state shown, then the steps that
    // need the window: the server started, the window maximised, the update
    // check, the window minimised.
    void StartUpSteps();

    CommandMap& Commands() { return *commands_; }
    QToolBar* Toolbar() const { return toolbar_; }
    QTabWidget* Pages() const { return pages_; }
    ClientPage* Client() const { return client_; }
    ServerPage* Server() const { return server_; }
    SettingsPage* SettingsTab() const { return settings_; }
    AppSignals& Signals() { return *signals_; }
    QSystemTrayIcon* Tray() const { return tray_; }
    QMenu* PopupMenu(Popup popup) const { return popups_[static_cast<int>(popup)]; }
    HelpWindow* Help() const { return help_.get(); }
    // The site manager while it is open.
    TSiteManager* SiteManager() const;
    // Set when the window minimised (to the tray or not), cleared on restore.
    bool MinimisedToTray() const { return minimised_; }
    // True once the close was confirmed and the shell shut down.
    bool Closed() const { return closed_; }

    void Run(Command command);
    void RestoreFromTray();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowServerState();
    void ShowClientGroups();
    void ShowLogPanes();
    void FocusChanged();
    void StartServer();
    void OpenSiteManager();
    void CheckForUpdate();
    void AskNext(std::vector<std::string> questions);
    void EnterTray();
    void LeaveTray();
    LogPane* FocusedLog() const;
    void ShowPage(QWidget* page, QWidget* focus = nullptr);

    AppShell& shell_;
    Prompts& prompts_;
    std::unique_ptr<AppSignals> signals_;
    QToolBar* toolbar_ = nullptr;
    CommandMap* commands_ = nullptr;
    QTabWidget* pages_ = nullptr;
    ClientPage* client_ = nullptr;
    ServerPage* server_ = nullptr;
    SettingsPage* settings_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* popups_[3] = {};
    std::unique_ptr<HelpWindow> help_;
    QPointer<TSiteManager> siteManager_;
    bool minimised_ = false;
    bool asking_ = false;
    bool confirmed_ = false;
    bool closed_ = false;
};
