#include "app/Settings.h"

#include "app/AppTexts.h"
#include "app/IniFile.h"
#include "app/RegistryMigration.h"
#include "app/SettingsKeys.h"
#include "base/PathText.h"
#include "base/StoredFile.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <unistd.h>

bool ParseSettingInt(const std::string& text, int& value) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    bool negative = false;
    if (b < e && (text[b] == '+' || text[b] == '-'))
        negative = text[b++] == '-';
    if (b == e)
        return false;
    long long v = 0;
    for (std::size_t i = b; i < e; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string SettingsPathFor(const std::string& dataFolder,
                            const std::vector<std::string>& positional) {
    if (positional.size() != 1 || positional[0].empty())
        return dataFolder + apptexts::kSettingsFileName;
    const std::string& arg = positional[0];
    if (arg.find('/') == std::string::npos)
        return dataFolder + arg;
    if (arg[0] != '/')
        return CurrentFolder() + arg;
    return arg;
}

Settings::Settings(const std::string& dataFolder)
    : dataFolder_(dataFolder), settingsPath_(dataFolder + apptexts::kSettingsFileName),
      registryPath_(RegistryStorePath()), commandPortEncryption_(apptexts::kEncryptionDisabled) {
    for (const OptionInfo& o : SettingsTable())
        values_[o.key] = o.initial;
}

bool Settings::IsDefaultPath() const {
    return settingsPath_ == dataFolder_ + apptexts::kSettingsFileName;
}

const OptionInfo& Settings::Option(const std::string& key, OptionType expected) const {
    const OptionInfo* o = FindOption(key);
    if (!o)
        throw std::invalid_argument("unknown option " + key);
    if (o->type != expected)
        throw std::invalid_argument("option " + key + " read or written with the wrong type");
    return *o;
}

void Settings::Store(const OptionInfo& option, const std::string& text) {
    std::string& slot = values_[option.key];
    if (slot == text)
        return;
    slot = text;
    if (OnChanged)
        OnChanged(option.key);
}

bool Settings::GetBool(const std::string& key) const {
    Option(key, OptionType::Bool);
    return values_.at(key) == "1";
}

int Settings::GetInt(const std::string& key) const {
    Option(key, OptionType::Integer);
    int v = 0;
    ParseSettingInt(values_.at(key), v);
    return v;
}

std::string Settings::GetString(const std::string& key) const {
    Option(key, OptionType::String);
    return values_.at(key);
}

void Settings::SetBool(const std::string& key, bool value) {
    Store(Option(key, OptionType::Bool), value ? "1" : "0");
}

void Settings::SetInt(const std::string& key, int value) {
    const OptionInfo& o = Option(key, OptionType::Integer);
    // The idle-seconds control only holds 60..3600: an idle limit of a few
    // seconds (or a negative one) would drop every client at once.
    if (key == keys::IdleCount)
        value = std::clamp(value, kIdleCountMin, kIdleCountMax);
    if (key == keys::PassivePortMin || key == keys::PassivePortMax)
        value = std::clamp(value, 0, 65535);
    Store(o, std::to_string(value));
}

void Settings::SetString(const std::string& key, const std::string& value) {
    Store(Option(key, OptionType::String), value);
}

std::string Settings::Text(const std::string& key) const {
    if (!FindOption(key))
        throw std::invalid_argument("unknown option " + key);
    return values_.at(key);
}

void Settings::LoadSettingsFile() {
    pendingMessage_.clear();
    loadErrors_.clear();
    loadCorrections_.clear();
    stored_file::RemoveLeftovers(settingsPath_);

    bool exists = ::access(settingsPath_.c_str(), F_OK) == 0;
    if (IsDefaultPath() && !exists && RegistryStoreExists(registryPath_)) {
        pendingMessage_ = apptexts::kConvertingRegistry;
        ReadRegistryStore(registryPath_, *this);
        if (SaveSettings()) {
            exists = true;
            const std::string err = DeleteRegistryStore(registryPath_);
            if (!err.empty())
                loadErrors_.push_back(std::string(apptexts::kRegistryCannotRemove) + registryPath_ +
                                      ": " + err);
        } else {
            // The old store stays, so nothing is lost and the next start tries again.
            loadErrors_.push_back(std::string(apptexts::kSettingsCannotCreate) + settingsPath_ +
                                  ": " + lastSaveError_);
        }
    }
    if (!exists) {
        if (SaveSettings()) {
            pendingMessage_ = settingsPath_ + apptexts::kSettingsCreatedSuffix;
        } else {
            loadErrors_.push_back(std::string(apptexts::kSettingsCannotCreate) + settingsPath_ +
                                  ": " + lastSaveError_);
            return;
        }
    }
    ReadFileValues();
}

void Settings::ReadFileValues() {
    IniFile::LoadResult loaded = IniFile::Load(settingsPath_);
    if (!loaded.error.empty())
        loadErrors_.push_back(std::string(apptexts::kSettingsCannotRead) + settingsPath_ + ": " +
                              loaded.error + apptexts::kSettingsUsingDefaults);
    for (const char* key : SettingsReadOrder()) {
        const OptionInfo& o = *FindOption(key);
        const std::optional<std::string> stored = loaded.ini.Read(o.section, o.key);
        std::optional<std::string> fallback;
        if (o.missingDefault)
            fallback = std::string(o.missingDefault);
        if (!stored) {
            if (fallback)
                Store(o, *fallback);
            continue;
        }
        int n = 0;
        const bool number = ParseSettingInt(*stored, n);
        switch (o.type) {
        case OptionType::String:
            // A negative user limit would refuse nobody and count nothing.
            if (std::string(o.key) == keys::MaximumConcurrentUsers && (!number || n < 0)) {
                if (!stored->empty())
                    Correct(o, *stored, number);
                break;
            }
            Store(o, *stored);
            break;
        case OptionType::Bool:
            if (number)
                SetBool(o.key, n != 0);
            else if (fallback)
                Store(o, *fallback);
            if (!number && !stored->empty())
                Correct(o, *stored, false);
            break;
        case OptionType::Integer:
            if (number)
                SetInt(o.key, n);
            else if (fallback)
                Store(o, *fallback);
            if (!number ? !stored->empty() : values_.at(o.key) != std::to_string(n))
                Correct(o, *stored, number);
            break;
        }
    }
}

void Settings::Correct(const OptionInfo& option, const std::string& found, bool outOfRange) {
    loadCorrections_.push_back(
        apptexts::SettingCorrected(option.key, found, values_.at(option.key), outOfRange));
}

bool Settings::SaveSettings() {
    lastSaveError_.clear();
    // Start from the file as it is now, so keys and comments we do not know survive.
    IniFile::LoadResult current = IniFile::Load(settingsPath_);
    if (!current.error.empty()) {
        lastSaveError_ = current.error;
        return false;
    }
    for (const OptionInfo& o : SettingsTable())
        current.ini.Write(o.section, o.key, values_.at(o.key));
    lastSaveError_ = current.ini.Save(settingsPath_);
    return lastSaveError_.empty();
}
