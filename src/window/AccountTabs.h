#pragma once
#include <QWidget>

class AppShell;
class Prompts;
class SettingBinder;

// The "User Admin" and "Group Admin" tabs. Each shows one editor of
// accounts/ (UserAdmin, GroupAdmin): the widgets only show its state and
// hand every click and keystroke to it.
class AccountPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Reads the names again from the working file (another program may have
    // changed it) and shows them: the refresh command.
    virtual void Reload() = 0;

protected:
    void showEvent(QShowEvent* event) override;
};

// Both tabs; unsaved edits of either are saved when the program closes.
AccountPage* MakeUserAdminTab(AppShell& shell, Prompts& prompts, SettingBinder& binder);
AccountPage* MakeGroupAdminTab(AppShell& shell, Prompts& prompts, SettingBinder& binder);
