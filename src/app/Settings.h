#pragma once
#include "app/SettingsTable.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class TRSA;

// The working copy of every option, under its INI key. The settings pages
// edit it live and every other part reads it when it needs a value. It is
// loaded once at start-up and saved once at exit (plus the save that creates
// or migrates the file).
class Settings {
public:
    static constexpr int kIdleCountMin = 60;
    static constexpr int kIdleCountMax = 3600;

    // Every option at the window's initial value; the default paths lie under
    // the given data folder (ending in "/").
    explicit Settings(const std::string& dataFolder = {});

    // Paths. The settings path follows SettingsPathFor; the registry
    // stand-in defaults to RegistryStorePath().
    const std::string& DataFolder() const { return dataFolder_; }
    const std::string& SettingsPath() const { return settingsPath_; }
    void SetSettingsPath(const std::string& path) { settingsPath_ = path; }
    bool IsDefaultPath() const;
    const std::string& RegistryPath() const { return registryPath_; }
    void SetRegistryPath(const std::string& path) { registryPath_ = path; }

    // Typed access; an unknown key or a getter of the wrong type throws
    // std::invalid_argument (a programming error, never a user's input).
    bool GetBool(const std::string& key) const;
    int GetInt(const std::string& key) const;
    std::string GetString(const std::string& key) const;
    void SetBool(const std::string& key, bool value);
    // IdleCount is kept within 60..3600, the passive ports within 0..65535.
    void SetInt(const std::string& key, int value);
    void SetString(const std::string& key, const std::string& value);
    // The value as it is written to the file ("1"/"0", decimal, or the text).
    std::string Text(const std::string& key) const;

    // Called after an option changed value, with its key.
    std::function<void(const std::string& key)> OnChanged;

    // Start-up load: migration of the registry stand-in, creation of a missing
    // file, reading every key, then the key sizes and the key pair into rsa1.
    void LoadSettings(TRSA& rsa1);
    // The same without the key pair, for callers that hold none.
    void LoadSettingsFile();
    // Applies the key-size choices and the stored key pair to rsa1 and sets
    // the "Command Port Encryption" indicator.
    void LoadKeyPair(TRSA& rsa1);

    // Writes every option in table order; keeps everything else the file
    // holds. False with LastSaveError() set on failure.
    bool SaveSettings();
    const std::string& LastSaveError() const { return lastSaveError_; }

    // The outcome of loading, shown by the start-up sequence in both logs.
    const std::string& PendingMessage() const { return pendingMessage_; }
    void ClearPendingMessage() { pendingMessage_.clear(); }
    // Failures met while loading (file unreadable, not creatable, migration
    // not completed); the start-up sequence logs them in red.
    const std::vector<std::string>& LoadErrors() const { return loadErrors_; }
    // Values of the file that could not be used as they stand (out of range,
    // not a number), one line each naming the key, the value found and the
    // value used; the start-up sequence logs them.
    const std::vector<std::string>& LoadCorrections() const { return loadCorrections_; }

    // The stored key texts did not load as a key pair at the last load. They
    // are kept (and written back at exit) so nothing is lost; the program
    // runs without a key pair until a new one is generated.
    bool StoredKeysInvalid() const { return storedKeysInvalid_; }
    void SetStoredKeysInvalid(bool invalid) { storedKeysInvalid_ = invalid; }

    // "Command Port Encryption" indicator: "READY" or "DISABLED".
    const std::string& CommandPortEncryption() const { return commandPortEncryption_; }
    void SetCommandPortEncryption(const std::string& state) { commandPortEncryption_ = state; }

private:
    const OptionInfo& Option(const std::string& key, OptionType expected) const;
    void Store(const OptionInfo& option, const std::string& text);
    void ReadFileValues();
    void Correct(const OptionInfo& option, const std::string& found, bool outOfRange);

    std::string dataFolder_;
    std::string settingsPath_;
    std::string registryPath_;
    std::map<std::string, std::string> values_;
    std::string pendingMessage_;
    std::vector<std::string> loadErrors_;
    std::vector<std::string> loadCorrections_;
    bool storedKeysInvalid_ = false;
    std::string lastSaveError_;
    std::string commandPortEncryption_;
};

// The settings file: the single non-option argument when there is exactly
// one (a bare file name lands in the data folder, a relative path is taken
// from the current folder), else the data folder's "vexa2.ini".
std::string SettingsPathFor(const std::string& dataFolder,
                            const std::vector<std::string>& positional);

// Reads a decimal integer the way the settings file's readers do: blanks
// around it allowed, anything else makes it unreadable.
bool ParseSettingInt(const std::string& text, int& value);
