#pragma once
#include "app/THttpCli.h"
#include "base/Version.h"

#include <functional>
#include <string>

class Logger;
class Settings;

// What one update check found, for the window to turn into its dialogs (or
// the headless server into log lines).
struct UpdateCheckResult {
    enum class Outcome {
        Newer,       // question and installerUrl are set
        UpToDate,    // nothing to ask
        NoBuildMark, // the page holds no build number; nothing to show
        Error        // errorText is what the error dialog shows
    };
    Outcome outcome = Outcome::Error;
    std::string publishedVersion;
    std::string ownVersion;
    std::string question;     // "New version found. ..." (Yes opens installerUrl)
    std::string installerUrl; // the newer installer's address
    std::string errorText;
};

// Reads a fetched update page against the program's version text. Logs
// nothing.
[[nodiscard]] UpdateCheckResult EvaluateUpdatePage(const std::string& page,
                                                   const std::string& versionText,
                                                   const std::string& installerUrl);

// The update check: fetches the maker's update page from the host of the
// UpdateHost setting (host or host:port), keeps it as "update.tmp" in the
// data folder, compares the published build with the program's own and logs
// what it found in olive to both logs. It runs on the event loop and reports
// once through the callback given to Start.
class UpdateCheck {
public:
    using Done = std::function<void(const UpdateCheckResult&)>;

    UpdateCheck(const Settings& settings, Logger& logger, std::string dataFolder,
                std::string versionText = kVersionText);

    // Starts a check; false, with nothing started, while one runs.
    bool Start(Done done);
    bool Running() const { return http_.Busy(); }

    // "http://" + UpdateHost + the page's or the installer's path.
    std::string PageAddress() const;
    std::string InstallerAddress() const;

    // The HTTP client, for its time-out and limits.
    THttpCli& Http() { return http_; }

private:
    void RequestDone(int error);
    [[nodiscard]] UpdateCheckResult Outcome(int error);

    const Settings& settings_;
    Logger& logger_;
    std::string dataFolder_;
    std::string versionText_;
    std::string installerUrl_;
    THttpCli http_;
    Done done_;
};
