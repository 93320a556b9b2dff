#pragma once

class AppShell;
class Prompts;
class QWidget;
class QGroupBox;
class SettingBinder;

// The three option tabs of the settings page; every control is bound to its
// option through the binder.
QWidget* MakeClientSettingsTab(SettingBinder& binder);
QWidget* MakeServerSettingsTab(AppShell& shell, Prompts& prompts, SettingBinder& binder);
// Failed-login bans, connections per address and speed limits of the server.
QWidget* MakeServerProtectionTab(SettingBinder& binder);
// The client's download and upload limits.
QGroupBox* MakeClientLimitsBox(SettingBinder& binder, QWidget* parent);
// The key-pair controls are added by the caller into the returned tab's
// encryption group (see KeyPairControls).
QWidget* MakeGlobalSettingsTab(SettingBinder& binder, QWidget* keyPairControls);
