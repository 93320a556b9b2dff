#pragma once
#include <QWidget>

class AppShell;
class AppSignals;
class KeyPairControls;
class Prompts;
class QLabel;
class QTabWidget;
class SettingBinder;

// The "Settings / Server Admin" page: the five inner tabs and the status bar
// with the settings file's path.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    SettingsPage(AppShell& shell, AppSignals& events, Prompts& prompts, QWidget* parent = nullptr);

    // Shows the options, lists and names as loaded at start-up.
    void ShowLoaded();
    // The refresh command while an account tab is shown: its names are read
    // again. False when no account tab is shown.
    bool RefreshAccounts();

    QTabWidget* Tabs() const { return tabs_; }
    KeyPairControls* Keys() const { return keys_; }
    QLabel* SettingsFile() const { return path_; }

private:
    SettingBinder* binder_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    KeyPairControls* keys_ = nullptr;
    QLabel* path_ = nullptr;
};
