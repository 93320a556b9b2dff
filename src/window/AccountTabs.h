#pragma once

class AppShell;
class QWidget;
class SettingBinder;

// The "User Admin" and "Group Admin" tabs: the name list, the six buttons
// and the detail tabs. Editing comes with the account pages; until then the
// lists show the stored names and every editing control is disabled.
QWidget* MakeUserAdminTab(AppShell& shell, SettingBinder& binder);
QWidget* MakeGroupAdminTab(AppShell& shell, SettingBinder& binder);
