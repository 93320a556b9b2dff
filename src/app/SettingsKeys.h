#pragma once

// INI key names of the options, used by every reader of Settings so a
// misspelt name fails to compile rather than at run time.
namespace keys {
// [Server Options]
inline constexpr const char* StartServerOnStartUp = "StartServerOnStartUp";
inline constexpr const char* ServerPort = "ServerPort";
inline constexpr const char* DefaultHomeDirectory = "DefaultHomeDirectory";
inline constexpr const char* EncryptedOnlyClients = "EncryptedOnlyClients";
inline constexpr const char* MaximumConcurrentUsers = "MaximumConcurrentUsers";
inline constexpr const char* IdleCount = "IdleCount";
inline constexpr const char* IdleTimeout = "IdleTimeout";
inline constexpr const char* Allow = "Allow";
inline constexpr const char* Deny = "Deny";
inline constexpr const char* LogoutMessage = "LogoutMessage";
inline constexpr const char* LoginMessage = "LoginMessage";
inline constexpr const char* ConnectMessage = "ConnectMessage";
inline constexpr const char* BanAfterFailedLogins = "BanAfterFailedLogins";
inline constexpr const char* BanWindowMinutes = "BanWindowMinutes";
inline constexpr const char* BanHours = "BanHours";
inline constexpr const char* ExemptLoopback = "ExemptLoopback";
inline constexpr const char* MaxConnectionsPerAddress = "MaxConnectionsPerAddress";
inline constexpr const char* ServerDownloadLimit = "ServerDownloadLimit";
inline constexpr const char* ServerUploadLimit = "ServerUploadLimit";
inline constexpr const char* ConnectionSpeedLimit = "ConnectionSpeedLimit";
inline constexpr const char* PassivePortMin = "PassivePortMin";
inline constexpr const char* PassivePortMax = "PassivePortMax";
inline constexpr const char* PassiveExternalAddress = "PassiveExternalAddress";
inline constexpr const char* PassiveExternalForLocal = "PassiveExternalForLocal";
// [Global Options]
inline constexpr const char* ShowSuperUserWarnings = "ShowSuperUserWarnings";
inline constexpr const char* CheckForUpdateOnStartup = "CheckForUpdateOnStartup";
inline constexpr const char* StartMaximized = "StartMaximized";
inline constexpr const char* StartMinimized = "StartMinimized";
inline constexpr const char* DeleteTemporaryFiles = "DeleteTemporaryFiles";
inline constexpr const char* MinimizeToTray = "MinimizeToTray";
inline constexpr const char* HideFromTaskbar = "HideFromTaskbar";
inline constexpr const char* TimestampEvents = "TimestampEvents";
inline constexpr const char* LogToFile = "LogToFile";
inline constexpr const char* TimestampLogs = "TimestampLogs";
inline constexpr const char* AppendLogs = "AppendLogs";
inline constexpr const char* ClientLogFile = "ClientLogFile";
inline constexpr const char* ServerLogFile = "ServerLogFile";
inline constexpr const char* ShowClientLogWindow = "ShowClientLogWindow";
inline constexpr const char* ShowServerLogWindow = "ShowServerLogWindow";
inline constexpr const char* VerboseLogging = "VerboseLogging";
inline constexpr const char* MaskPasswords = "MaskPasswords";
inline constexpr const char* PublicKey = "PublicKey";
inline constexpr const char* PrivateKey = "PrivateKey";
inline constexpr const char* SymKeyLength = "SymKeyLength";
inline constexpr const char* RSAKeyBits = "RSAKeyBits";
inline constexpr const char* CurrentKeyBits = "CurrentKeyBits";
inline constexpr const char* CurrentKeyLength = "CurrentKeyLength";
inline constexpr const char* UpdateHost = "UpdateHost";
// [Client Options]
inline constexpr const char* SocksServer = "SocksServer";
inline constexpr const char* SocksPort = "SocksPort";
inline constexpr const char* SocksUsername = "SocksUsername";
inline constexpr const char* SocksPassword = "SocksPassword";
inline constexpr const char* PassiveMode = "PassiveMode";
inline constexpr const char* ClientTimeout = "ClientTimeout";
inline constexpr const char* DownloadLimit = "DownloadLimit";
inline constexpr const char* UploadLimit = "UploadLimit";
// Transfers a queue or a folder copy runs at once, each on its own connection.
inline constexpr const char* MaxSimultaneousTransfers = "MaxSimultaneousTransfers";
} // namespace keys

namespace sections {
inline constexpr const char* Server = "Server Options";
inline constexpr const char* Global = "Global Options";
inline constexpr const char* Client = "Client Options";
} // namespace sections
