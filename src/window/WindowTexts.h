#pragma once

// Every caption, label and hint of the main window, written once.
namespace wintexts {

// Pages and tabs.
inline constexpr const char* kClientPage = "Client Session";
inline constexpr const char* kServerPage = "Server Session";
inline constexpr const char* kSettingsPage = "Settings / Server Admin";
inline constexpr const char* kClientSettingsTab = "Client Settings";
inline constexpr const char* kServerSettingsTab = "Server Settings";
inline constexpr const char* kServerProtectionTab = "Server Protection";
inline constexpr const char* kGlobalSettingsTab = "Global Settings";
inline constexpr const char* kUserAdminTab = "User Admin";
inline constexpr const char* kGroupAdminTab = "Group Admin";

// Status bars.
inline constexpr const char* kSettingsFile = "Settings File";
inline constexpr const char* kServerStatus = "Server Status";
inline constexpr const char* kServerStatusInitial = "OFFLINE";
inline constexpr const char* kEncryption = "Encryption";
inline constexpr const char* kStrength = "Strength";
inline constexpr const char* kAlgorythm = "Algorythm";
inline constexpr const char* kCommandPortEncryption = "Command Port Encryption";

// Client page.
inline constexpr const char* kUpHint = "Up one level";
inline constexpr const char* kNewFolderName = "New Folder";
// StatusBar2, the queue's totals, and StatusBar5, the running transfer.
inline constexpr const char* kQueueSize = "Queue Size";
inline constexpr const char* kTotalBytes = "Total Bytes";
inline constexpr const char* kFileSize = "File Size";
inline constexpr const char* kBytes = "Bytes";
inline constexpr const char* kSpeed = "Speed (Kb/s)";
inline constexpr const char* kPercentDone = "% Done";
inline constexpr const char* kRemain = "Remain";
// Questions of the client page.
inline constexpr const char* kChangeDirectoryTitle = "Change Directory";
inline constexpr const char* kChangeDirectoryPrompt = "Type New Directory Name";
inline constexpr const char* kCreateDirectoryTitle = "Create New Directory";
inline constexpr const char* kCreateDirectoryPrompt = "New Directory Name";

// The file-exists dialog.
inline constexpr const char* kConfirmationTitle = "File Exists - Confirm Action";
inline constexpr const char* kUploadOperation = "Upload";
inline constexpr const char* kDownloadOperation = "Download";
inline constexpr const char* kLocalFile = "Local file:";
inline constexpr const char* kRemoteFile = "Remote file:";
inline constexpr const char* kBytesSuffix = " bytes";
inline constexpr const char* kResume = "&Resume";
inline constexpr const char* kOverwrite = "&Overwrite";
inline constexpr const char* kSkip = "&Skip";
inline constexpr const char* kAutoClosingPrefix = "Auto closing in ";
inline constexpr const char* kAutoClosingSuffix = " seconds";

// The site manager.
inline constexpr const char* kSiteManagerTitle = "Site Manager";
inline constexpr const char* kSiteName = "Site Name";
inline constexpr const char* kSiteDetails = " Site Details ";
inline constexpr const char* kSiteLabel = "&Label for site:";
inline constexpr const char* kHostAddress = "&Host Address:";
inline constexpr const char* kSitePort = "Por&t:";
inline constexpr const char* kSiteUserName = "FTP site &User Name:";
inline constexpr const char* kSitePassword = "FTP site Pass&word:";
inline constexpr const char* kLoginNormal = "N&ormal && Unencrypted";
inline constexpr const char* kLoginAnonymous = "&Anonymous && Unencrypted";
inline constexpr const char* kLoginEncrypted = "Encrypte&d (Enter Key Below)";
inline constexpr const char* kEncryptionMandatory = "Encryption &mandatory";
inline constexpr const char* kSitePassive = "Passive Mode";
inline constexpr const char* kNoSocks = "No Socks (overrides default)";
inline constexpr const char* kNoRsa = "No RSA Command Encryption";
inline constexpr const char* kSiteProxyGroup = " Proxy Information ";
inline constexpr const char* kSiteSocksServer = "Socks Server";
inline constexpr const char* kSiteSocksPort = "Port";
inline constexpr const char* kSiteSocksUsername = "Socks Username";
inline constexpr const char* kSiteSocksPassword = "Socks Password";
inline constexpr const char* kSiteNew = "&New...";
inline constexpr const char* kSiteClone = "&Clone";
inline constexpr const char* kSiteRename = "&Rename";
inline constexpr const char* kSiteDelete = "&Delete";
inline constexpr const char* kSiteHelp = "&Help";
inline constexpr const char* kSiteConnect = "&Connect";
inline constexpr const char* kSiteExit = "E&xit";
inline constexpr const char* kSiteMenuFile = "&File";
inline constexpr const char* kSiteMenuNewSite = "&New Site";
inline constexpr const char* kSiteMenuConnect = "&Connect";
inline constexpr const char* kSiteMenuWizard = "&Wizard";
inline constexpr const char* kSiteMenuNewFolder = "New &Folder";
inline constexpr const char* kSiteMenuFind = "&Find";
inline constexpr const char* kSiteMenuExport = "&Export";
inline constexpr const char* kSiteMenuExit = "E&xit";
inline constexpr const char* kSiteMenuEdit = "&Edit";
inline constexpr const char* kSiteMenuCut = "Cu&t";
inline constexpr const char* kSiteMenuCopy = "&Copy";
inline constexpr const char* kSiteMenuPaste = "&Paste";
inline constexpr const char* kSiteMenuSecurity = "&Security";
inline constexpr const char* kSiteMenuHelp = "&Help";
inline constexpr const char* kSiteMenuContents = "&Contents";
// The help file's anchor of the site manager topic.
inline constexpr const char* kSiteManagerHelpAnchor = "sitemanager";

// The update check's dialogs.
inline constexpr const char* kUpdateErrorTitle = "Error";
inline constexpr const char* kUpdateQuestionTitle = "Confirm";
inline constexpr const char* kNoBrowserTitle = "No Web Browser";
inline constexpr const char* kNoBrowserPrefix = "No web browser could be started to open ";
inline constexpr const char* kNoBrowserSuffix =
    "\n\nOpen this address in your web browser to download the new version.";

// A start that cannot go on (a second program on the same data folder).
inline constexpr const char* kLaunchRefusedTitle = "Vexa Cannot Start";

// Client Settings tab.
inline constexpr const char* kProxyGroup = " Default  Proxy Information ";
inline constexpr const char* kSocksServer = "Socks Server";
inline constexpr const char* kSocksPort = "Socks Port";
inline constexpr const char* kSocksUsername = "Username";
inline constexpr const char* kSocksPassword = "Password";
inline constexpr const char* kPassiveMode = "Default Passive Mode";

// Server Settings tab.
inline constexpr const char* kPermaLinksGroup = " Permanent Links (shows all the time) ";
inline constexpr const char* kIpGroup = " IP Address Allow/Deny ";
inline constexpr const char* kVirtGroup = " Virtual Directories ";
inline constexpr const char* kDirectoryPath = "Directory Path";
inline constexpr const char* kLinkName = "Link Name";
inline constexpr const char* kAddressList = "Address List";
inline constexpr const char* kVirtualMap = "Virtual Map";
inline constexpr const char* kAllow = "Allow";
inline constexpr const char* kDeny = "Deny";
inline constexpr const char* kAdd = "&Add";
inline constexpr const char* kDelete = "&Delete";
inline constexpr const char* kClear = "&Clear";
inline constexpr const char* kServerPort = "Server Port";
inline constexpr const char* kDefaultHome = "Default Home Directory";
inline constexpr const char* kMaxUsers = "Maximum Concurrent Users";
inline constexpr const char* kIdleTimeout = "Idle timeout";
inline constexpr const char* kSeconds = "seconds";
// A number field's range, said when it refuses a value.
inline constexpr const char* kRangePrefix = "Enter a number from ";
inline constexpr const char* kRangeMiddle = " to ";
inline constexpr const char* kRangeSuffix = ".";
inline constexpr const char* kClientTimeout = "Reply time-out";
inline constexpr const char* kMaxSimultaneousTransfers = "Maximum simultaneous transfers";
inline constexpr const char* kKickConnection = "&Kick this connection";
// A typed local folder that cannot be shown.
inline constexpr const char* kCannotOpenFolder = "Cannot open ";
inline constexpr const char* kNoSuchFolder = "no such folder";
inline constexpr const char* kNotAFolder = "not a folder";
inline constexpr const char* kFolderNotReadable = "permission denied";
inline constexpr const char* kPortRange =
    "A port number from 1 to 65535 (empty: the default port).";
inline constexpr const char* kConnectMessage = "Connect Message";
inline constexpr const char* kLoginMessage = "Login Message";
inline constexpr const char* kLogoutMessage = "Logout Message";
inline constexpr const char* kBrowseHint = "Browse for the file";
inline constexpr const char* kCreateHint = "Create or edit the file";
inline constexpr const char* kLocateMessageFile = "Locate Message File";
inline constexpr const char* kTextFilesFilter = "Text Files (*.txt)";
inline constexpr const char* kAllFilesFilter = "All Files (*.*)";
inline constexpr const char* kCreateConnectMessage = "Create New Connect Message";
inline constexpr const char* kCreateLoginMessage = "Create New Login Message";
inline constexpr const char* kCreateLogoutMessage = "Create New Logout Message";
inline constexpr const char* kCouldNotCreate = "Error : Could not create ";
inline constexpr const char* kMessageSave = "&Save";
inline constexpr const char* kMessageClose = "&Close";
inline constexpr const char* kStartServerOnStartup = "Start Server on Startup";
inline constexpr const char* kEncryptionGroup = " Encryption Settings ";
inline constexpr const char* kEncryptedAndNormal = "Encrypted and Normal Clients";
inline constexpr const char* kEncryptedOnly = "Encrypted Only Clients";
inline constexpr const char* kShowSuperuserWarnings = "Show Superuser warnings";
// Protection and speed limits (Server Settings), bans (Server Session).
inline constexpr const char* kProtectionGroup = " Protection and Speed Limits ";
inline constexpr const char* kBanAfter = "Ban an address after";
inline constexpr const char* kFailedLoginsWithin = "failed logins within";
inline constexpr const char* kMinutesFor = "minutes for";
inline constexpr const char* kHours = "hours";
inline constexpr const char* kBanOff = "off";
inline constexpr const char* kExemptLoopback =
    "Exempt loopback addresses (this computer) from bans and login delays";
inline constexpr const char* kPerAddress = "Connections per address";
inline constexpr const char* kNoLimit = "no limit";
inline constexpr const char* kServerDownloadLimit = "All downloads together (KiB/s)";
inline constexpr const char* kServerUploadLimit = "All uploads together (KiB/s)";
inline constexpr const char* kConnectionSpeedLimit = "Each data connection (KiB/s)";
inline constexpr const char* kClientDownloadLimit = "Download limit (KiB/s)";
inline constexpr const char* kClientUploadLimit = "Upload limit (KiB/s)";
inline constexpr const char* kClientLimitsGroup = " Speed Limits ";
inline constexpr const char* kBannedGroup = " Banned Addresses ";
inline constexpr const char* kBannedAddress = "Address";
inline constexpr const char* kBannedLeft = "Time Left";
inline constexpr const char* kBannedFailures = "Failed Logins";
inline constexpr const char* kLiftBan = "Lift Ban";
inline constexpr const char* kProtectionStatus = "Refused";
inline constexpr const char* kPassivePortRange = "Passive port range";
inline constexpr const char* kPassivePortTo = "to";
inline constexpr const char* kPassiveAnyPort = "0 to 0: any free port";
inline constexpr const char* kPassiveExternal = "Passive external address";
inline constexpr const char* kPassiveExternalHint =
    "IPv4 address or host name; empty: the local address";
inline constexpr const char* kPassiveExternalForLocal =
    "Use the external address for local clients";

// Global Settings tab.
inline constexpr const char* kLoggingGroup = " Logging Options ";
inline constexpr const char* kMaskPasswords = "Mask Passwords";
inline constexpr const char* kTimestampEvents = "Timestamp Events";
inline constexpr const char* kVerboseLogging = "Verbose Logging (screen)";
inline constexpr const char* kLogToFile = "Log To File";
inline constexpr const char* kTimestampLogs = "Timestamp Logs";
inline constexpr const char* kAppendLogs = "Append Logs";
inline constexpr const char* kClientLogFile = "Client Log File";
inline constexpr const char* kServerLogFile = "Server Log File";
inline constexpr const char* kShowClientLog = "Show Client Log Window";
inline constexpr const char* kShowServerLog = "Show Server Log Window";
inline constexpr const char* kMiscGroup = " Miscellaneous Options ";
inline constexpr const char* kCheckForUpdate = "Check for Update on startup.";
inline constexpr const char* kStartMaximized = "Start Maximized";
inline constexpr const char* kStartMinimized = "Start Minimized";
inline constexpr const char* kMinimizeToTray = "Minimize to Tray";
inline constexpr const char* kHideFromTaskbar = "Hide from Taskbar";
inline constexpr const char* kDeleteTemporary = "Delete Temporary Files on exit";
inline constexpr const char* kKeyGroup =
    " Command Channel Encryption Settings - NOTE : You do NOT have to give out ANY of this "
    "information ";
inline constexpr const char* kRsaKeyBits = "RSA Key Bits";
inline constexpr const char* kKeyLength = "Key Length";
inline constexpr const char* kCurrently = "Currently (Length @ Bits )";
inline constexpr const char* kClearKeypair = "Clear Keypair";
inline constexpr const char* kPrivateKey = " Private Key ";
inline constexpr const char* kPublicKey = " Public Key ";
inline constexpr const char* kKeyTimeWarning =
    "A 2048 bit keypair takes the longest to generate; Vexa keeps working meanwhile.";

// Account tabs.
inline constexpr const char* kNew = "&New";
inline constexpr const char* kClone = "&Clone";
inline constexpr const char* kRename = "&Rename";
inline constexpr const char* kSave = "&Save";
inline constexpr const char* kDiscard = "D&iscard";
inline constexpr const char* kUsers = "Users";
inline constexpr const char* kGroups = "Groups";
inline constexpr const char* kBasicConfiguration = "Basic Configuration";
inline constexpr const char* kAdvancedConfiguration = "Advanced Configuration";
inline constexpr const char* kStatistics = "Statistics";
inline constexpr const char* kUserNameLabel = "User Name";
inline constexpr const char* kGroupNameLabel = "Group Name";
inline constexpr const char* kPasswordLabel = "Password";
inline constexpr const char* kEncryptionKeyLabel = "Encryption Key";
inline constexpr const char* kHomeDirectoryLabel = "Home Directory";
inline constexpr const char* kSuperUser = "User has Superuser Access";
inline constexpr const char* kUserEnabled = "Account Enabled";
inline constexpr const char* kGroupEnabled = "Group Enabled";
inline constexpr const char* kMembershipGroup = " Group Membership ";
inline constexpr const char* kAccessGroup = " Directory Access ";
inline constexpr const char* kRightsGroup = " Rights ";
inline constexpr const char* kEntryAdd = "Add";
inline constexpr const char* kEntryRemove = "Remove";
inline constexpr const char* kDirectoryColumn = "Directory";
inline constexpr const char* kGroupColumn = "Group";
// The rights boxes in screen order: Read, Write, Create, List, Delete,
// Rename, Inheritable.
inline constexpr const char* kRightBoxes[] = {"Read",   "Write",  "Create",     "List",
                                              "Delete", "Rename", "Inheritable"};
inline constexpr const char* kGroupSelectorTitle = "Group Selector";
inline constexpr const char* kSelectorOk = "&OK";
inline constexpr const char* kSelectorCancel = "&Cancel";
// The "Advanced Configuration" and "Statistics" tabs: controls shown
// disabled, read and filled by nothing.
inline constexpr const char* kLimitsGroup = " Limits ";
inline constexpr const char* kConnectionLimit = "Maximum Connections";
inline constexpr const char* kCredit = "Credit (KB)";
inline constexpr const char* kRatio = "Upload/Download Ratio";
inline constexpr const char* kTransfersGroup = " Transfers ";
inline constexpr const char* kUploads = "Files Uploaded";
inline constexpr const char* kDownloads = "Files Downloaded";
inline constexpr const char* kUploadSpeed = "Average Upload Speed";
inline constexpr const char* kDownloadSpeed = "Average Download Speed";
inline constexpr const char* kIpHistory = " IP History ";
inline constexpr const char* kTransferHistory = " Transfer History ";

// Help window and about box.
inline constexpr const char* kHelpTitle = "Vexa Help";
inline constexpr const char* kAboutTitle = "About Vexa";
inline constexpr const char* kAboutText =
    "Vexa for Linux: an FTP client and server in one window, with its own encryption of the "
    "command and data channels.";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kTrayTip = "Vexa";
inline constexpr const char* kTrayRestore = "&Restore";
inline constexpr const char* kTrayExit = "E&xit";

} // namespace wintexts
