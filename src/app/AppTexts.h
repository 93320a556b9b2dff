#pragma once

// Every message text of the application shell (settings, logging, data
// folder), kept in one place so each is written exactly once.
#include <cstdio>
#include <string>

namespace apptexts {

// Settings file.
inline constexpr const char* kSettingsFileName = "vexa2.ini";
inline constexpr const char* kConvertingRegistry = "Converting Registry settings to .ini file";
inline constexpr const char* kSettingsCreatedSuffix =
    " not found.  The file has been created using the application default settings.";
inline constexpr const char* kSettingsCannotCreate = "Cannot create the settings file ";
inline constexpr const char* kSettingsCannotRead = "Cannot read the settings file ";
inline constexpr const char* kSettingsUsingDefaults =
    "; the application default settings are used.";
inline constexpr const char* kSettingsCannotWrite = "Cannot write the settings file ";
inline constexpr const char* kSettingsNotText = "not a text file (it holds NUL bytes)";
inline std::string SettingCorrected(const std::string& key, const std::string& found,
                                    const std::string& used, bool outOfRange) {
    return "Setting " + key + "=" + found + (outOfRange ? " is out of range" : " is not a number") +
           "; " + used + " is used instead.";
}

// Private stored files (passwords and keys in clear text).
inline std::string ModeText(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777u);
    return text;
}
inline std::string MadePrivate(const std::string& path, unsigned oldMode) {
    return "Made " + path + " readable by its owner only (mode 0600, was " + ModeText(oldMode) +
           "): it holds passwords or keys.";
}
inline std::string CannotMakePrivate(const std::string& path, const std::string& reason) {
    return "Cannot make " + path + " readable by its owner only: " + reason +
           ".  It holds passwords or keys; change its mode to 0600.";
}

// "Command Port Encryption" indicator.
inline constexpr const char* kEncryptionReady = "READY";
inline constexpr const char* kEncryptionDisabled = "DISABLED";

// Host of the maker's web site for the update check (a build default,
// overridden by the UpdateHost setting).
inline constexpr const char* kDefaultUpdateHost = "www.quorvel.example";

// Update check.
inline constexpr const char* kUpdateScheme = "http://";
inline constexpr const char* kUpdatePagePath = "/index.html";
inline constexpr const char* kUpdateInstallerPath = "/vexa2setup.exe";
inline constexpr const char* kUpdateFileName = "update.tmp";
inline constexpr const char* kUpdateRequesting = "Checking for application update - requesting ";
inline constexpr const char* kBuildMark = "(Build";
inline constexpr const char* kFoundVersionPrefix = "Found Vexa version ";
inline constexpr const char* kFoundNewerSuffix = " - this is a newer version";
inline constexpr const char* kFoundUpToDateSuffix = " - you are already up-to-date";
inline constexpr const char* kNewVersionPrefix = "New version found.  Vexa Version ";
inline constexpr const char* kNewVersionMiddle = " is available, but you only have version ";
inline constexpr const char* kNewVersionSuffix = " installed.  Download new version?";
inline constexpr const char* kUpdateErrorPrefix = "Error ";
inline constexpr const char* kUpdateErrorMiddle = " - ";
inline constexpr const char* kInvalidIntegerPrefix = "'";
inline constexpr const char* kInvalidIntegerSuffix = "' is not a valid integer value";
inline constexpr const char* kUpdateFileCannotWrite = "Cannot write the file ";

// HTTP client: the request line and the headers it sends.
inline constexpr const char* kHttpGet = "GET";
inline constexpr const char* kHttpVersionPrefix = " HTTP/";
inline constexpr const char* kHttpRequestVersion = "1.0";
inline constexpr const char* kHttpAcceptHeader = "Accept: ";
inline constexpr const char* kHttpAccept =
    "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
inline constexpr const char* kHttpUserAgentHeader = "User-Agent: ";
inline constexpr const char* kHttpUserAgent = "Mozilla/3.0 (compatible)";
inline constexpr const char* kHttpHostHeader = "Host: ";
inline constexpr const char* kHttpStatusPrefix = "HTTP/";
inline constexpr const char* kHttpContentLength = "content-length";

// Registry stand-in.
inline constexpr const char* kRegistryVendorFolder = "Quorvel";
inline constexpr const char* kRegistryProductFolder = "Vexa2";
inline constexpr const char* kRegistryFileName = "registry.ini";
inline constexpr const char* kRegistrySection = "Vexa2";
inline constexpr const char* kRegistryCannotRemove = "Cannot remove the old registry store ";

// Log files.
inline constexpr const char* kLogFileCannotWrite = "Cannot write log file ";

// Data folder and its lock.
inline constexpr const char* kDataFolderSubdir = "vexa2";
inline constexpr const char* kLockFileName = "vexa2.lock";
inline constexpr const char* kDataFolderCannotCreate = "Cannot create the data folder ";
inline constexpr const char* kDataFolderNoHome =
    "Cannot find the data folder: neither XDG_DATA_HOME nor HOME is set; use --data-dir DIR";
inline constexpr const char* kLockCannotOpen = "Cannot open the lock file ";
inline constexpr const char* kLockInUsePrefix = "The data folder ";
inline constexpr const char* kLockInUseByProcess = " is in use by another Vexa program (process ";
inline constexpr const char* kLockInUseSuffix =
    "). Close that program or choose another folder with --data-dir.";
inline constexpr const char* kLockUnknownProcess = "unknown";

// Command line.
inline constexpr const char* kDataDirOption = "--data-dir";
inline constexpr const char* kDataDirMissingValue = "--data-dir needs a folder name";

// Start-up and shutdown.
inline constexpr const char* kInitBeginPrefix = "Application Initialization Begin - ";
inline constexpr const char* kPathPrefix = "PATH = ";
inline constexpr const char* kHelpFileName = "vexa2.hlp";
inline constexpr const char* kHelpFilePrefix = "Help File ";
inline constexpr const char* kHelpFileNotFoundSuffix = " not found";
inline constexpr const char* kKeysNotSet =
    "Error setting the private/public keys.  Please generate new keypair";

// The headless server.
inline constexpr const char* kHeadlessOption = "--headless";
inline constexpr const char* kHelpOption = "--help";
inline constexpr const char* kHeadlessUsage =
    "Usage: vexa2 [--headless] [--data-dir DIR] [SETTINGS.ini]\n"
    "\n"
    "  --headless      run the FTP server without a window; it logs to standard\n"
    "                  output, stops on SIGINT or SIGTERM, and re-reads its settings,\n"
    "                  accounts and lists on SIGHUP (connections stay)\n"
    "  --data-dir DIR  the data folder (settings, accounts, lists, keys);\n"
    "                  default $XDG_DATA_HOME/vexa2/\n"
    "  SETTINGS.ini    the settings file; a bare name lies in the data folder\n"
    "\n"
    "Accounts, server lists and the key pair are managed with vexa2-admin.\n";
inline constexpr const char* kUnknownOption = "unknown option ";
inline constexpr const char* kTooManyArguments = "only one settings file may be named";
inline std::string PassiveRangeInvalid(int min, int max) {
    return "Passive port range " + std::to_string(min) + "-" + std::to_string(max) +
           " is not valid (0-0, or from 1 to 65535 with the first not above the last); passive "
           "connections use any free port.";
}
inline std::string PassiveExternalNotIPv4(const std::string& text) {
    return "Passive external address " + text +
           " is not an IPv4 address or host name; PASV answers the local address.";
}
inline std::string PassiveExternalFound(const std::string& name, const std::string& address) {
    return "Passive external address " + name + " is " + address + ".";
}
inline std::string PassiveExternalNotFound(const std::string& name, const std::string& reason) {
    return "Passive external address " + name + " could not be looked up (" + reason +
           "); PASV answers the local address.";
}
inline constexpr const char* kServerStartFailed = "cannot start the FTP server on port ";
inline std::string ServerPortInvalid(const std::string& text) {
    return "ServerPort \"" + text +
           "\" is not a port number from 0 to 65535 (0 lets the system choose); the FTP server is "
           "not started";
}
inline constexpr const char* kErrorPrefix = "vexa2: ";
inline constexpr const char* kListenerFailed = "the FTP server stopped listening: ";

// Key pair management.
inline constexpr const char* kGenerateWhileServerActive =
    "You cannot generate new keypairs while your server is active.  Please deactivate your server "
    "and try again.";
inline constexpr const char* kGenerateWhileClientActive =
    "You cannot generate new keypairs while your client is active.  Please disconnect your client "
    "and try again.";
inline constexpr const char* kClearWhileServerActive =
    "You cannot clear the keypairs while your server is active.  Please deactivate your server and "
    "try again.";
inline constexpr const char* kClearWhileClientActive =
    "You cannot clear the keypairs while your client is active.  Please disconnect your client and "
    "try again.";
inline constexpr const char* kGenerateCaption = "Generate New Keypair";
inline constexpr const char* kGeneratingCaption = "Generating";
inline constexpr const char* kBusyGeneratingKeys =
    "A new key pair is being generated.  Please wait until it is ready and try again.";
inline constexpr const char* kSiteWithoutHostPrefix = "The site \"";
inline constexpr const char* kSiteWithoutHostSuffix =
    "\" has no host address.  Enter one in the Site Manager and try again.";
inline constexpr const char* kGenerationFailed = "The new key pair could not be generated.";

// Closing the window.
inline constexpr const char* kConfirmTitle = "Confirm";
inline constexpr const char* kStillExitConnected = "You are currently connected!  Still exit?";
inline constexpr const char* kUsersConnectedPrefix = "You have ";
inline constexpr const char* kUsersConnectedSuffix = " users connected.  Still exit?";

// Re-reading settings, accounts and lists while the server runs.
inline constexpr const char* kReloadBegin = "Re-reading the settings, accounts and lists: ";
inline constexpr const char* kReloadSettingsMissing = " is missing; the settings in use are kept.";
inline std::string ReloadPortKept(const std::string& running, const std::string& stored) {
    return "ServerPort " + stored + " is used from the next start; the server keeps listening on " +
           running + ".";
}
inline constexpr const char* kReloadKeysKept =
    "The key pair of the settings file is used from the next start; the running one is kept.";
inline constexpr const char* kReloadDone = "Settings, accounts and lists re-read.";

// Message boxes of the settings pages.
inline constexpr const char* kInformationTitle = "Information";

} // namespace apptexts
