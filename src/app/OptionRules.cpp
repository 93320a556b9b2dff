#include "app/OptionRules.h"

#include "app/Settings.h"
#include "app/SettingsKeys.h"

bool OptionEnabled(const Settings& settings, const std::string& key) {
    if (key == keys::HideFromTaskbar)
        return settings.GetBool(keys::MinimizeToTray);
    if (key == keys::AppendLogs)
        return !settings.GetBool(keys::TimestampLogs);
    if (key == keys::IdleCount)
        return settings.GetBool(keys::IdleTimeout);
    return true;
}

void PressOption(Settings& settings, const std::string& key, bool checked) {
    settings.SetBool(key, checked);
    if (!checked)
        return;
    if (key == keys::StartMaximized)
        settings.SetBool(keys::StartMinimized, false);
    else if (key == keys::StartMinimized)
        settings.SetBool(keys::StartMaximized, false);
}

bool DigitsOnly(const std::string& key) {
    return key == keys::MaximumConcurrentUsers;
}
