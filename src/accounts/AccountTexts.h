#pragma once
#include <cstdio>
#include <string>

// Every message, question, reply and log text of the accounts module, in one
// place. Texts are byte strings; they are used exactly as written here.
namespace accounts::texts {

// Record files and the administration pages.
inline constexpr const char* kSelectPrompt = "<-- Select from the list on the left";
inline constexpr const char* kNewUserTitle = "New User";
inline constexpr const char* kSuperUserTitle = "Superuser Access";
// A field changed both on the page and in the working file (by vexa2-admin)
// since the account was shown.
inline constexpr const char* kChangedElsewhereTitle = "Account Changed Elsewhere";
inline std::string ChangedElsewhere(const std::string& name, const std::string& field) {
    return "The " + field + " of " + name +
           " was changed by another program while you edited it here.  Keep your value?  "
           "(No keeps the value the other program stored.)";
}
inline constexpr const char* kFieldPassword = "password";
inline constexpr const char* kFieldKey = "encryption key";
inline constexpr const char* kFieldHome = "home directory";
inline constexpr const char* kFieldAccess = "access list";
inline constexpr const char* kFieldGroups = "group memberships";
inline constexpr const char* kFieldSuperUser = "superuser flag";
inline constexpr const char* kFieldEnabled = "enabled flag";
inline constexpr const char* kNewUserText = "Type in new user's name";
inline constexpr const char* kNewGroupTitle = "New Group";
inline constexpr const char* kNewGroupText = "Type in new Group's name";
inline constexpr const char* kNameMustBeUnique = "Sorry, name must be unique.";
inline constexpr const char* kCloneUserTitle = "Clone User";
inline constexpr const char* kCloneUserText = "Choose a new username";
inline constexpr const char* kCloneGroupTitle = "Clone Group";
inline constexpr const char* kCloneGroupText = "Choose a new Groupname";
inline constexpr const char* kNameAlreadyExists = "Name already exists - try again.";
inline constexpr const char* kRenameUserTitle = "Rename User";
inline constexpr const char* kRenameUserText = "Choose a new username";
inline constexpr const char* kRenameGroupTitle = "Rename Group";
inline constexpr const char* kRenameGroupText = "Choose a new Groupname";
inline constexpr const char* kSuperUserWarning =
    "Warning - enabling SuperUser access will give the user access to all your filesystems with "
    "the same "
    "rights as your windows/network user.  Do you really want to do this?  (P.S. You can turn this "
    "message "
    "off in your settings screen)";
inline std::string AnonymousQuestion(const std::string& name) {
    return "A set password will NOT be required for user " + name +
           ", but if you like you can still assign a key.  Continue account creation?";
}
// The record has room for 32 directories and 16 memberships; a further Add is refused.
inline constexpr const char* kAccessListFull =
    "Sorry, an access list holds at most 32 directories.";
inline constexpr const char* kMembershipsFull = "Sorry, a user can belong to at most 16 groups.";
inline constexpr const char* kAlreadyMember = "The user already belongs to this group.";
inline constexpr const char* kNoSuchUser = "No such user.";
inline constexpr const char* kNoSuchGroup = "No such group.";
inline constexpr const char* kNoSuchEntry = "No such access entry.";
inline constexpr const char* kEmptyName = "A name cannot be empty.";
inline constexpr const char* kFileError = "The account file could not be written.";
inline std::string DamagedRecordFile(const std::string& path, long tailBytes) {
    return "Damaged record file " + path + ": an incomplete last record of " +
           std::to_string(tailBytes) + " bytes is ignored.";
}

// Server lists.
inline constexpr const char* kAddIpTitle = "Add IP Allow/Deny";
inline constexpr const char* kAddIpText = "IP Address/Range NO HOSTNAMES!";
inline constexpr const char* kVirtualMappingTitle = "Type Virtual Mapping";
inline constexpr const char* kLinkNameTitle = "Give Link a Name";
inline constexpr const char* kClearListQuestion =
    "Are you sure you want to clear this list?  It is undoable!";
inline std::string ListNotWritten(const std::string& path, const std::string& reason) {
    return "Cannot write the server list " + path + ": " + reason + "; it keeps its old rows.";
}
inline constexpr const char* kNoSuchRow = "No such row.";

// Admission and login.
inline constexpr const char* kConnectFrom = "Connect from ";
inline constexpr const char* kDeniedMatch =
    "Matched IP Address/Range to list of denied IP Addresses - denying access";
inline constexpr const char* kAllowedMatch =
    "Matched IP Address/Range to list of allowed IP Addresses - granting access";
inline std::string IPv6NotListed(const std::string& address) {
    return "IPv6 address " + address +
           " matches no entry of the allow list, which names no IPv6 address - denying access";
}
inline std::string DeniedAccess(const std::string& address) {
    return "Denied Access For " + address + " because of IP Allow/Deny rules";
}
inline constexpr const char* kConnectPrefix = "220-";
inline constexpr const char* kLoginPrefix = "230-";
inline constexpr const char* kLogoutPrefix = "221-";
inline constexpr const char* kGreetingPrefix = "220 ";
inline constexpr const char* kInvalidAuthentication =
    "Invalid Authentication - check username and password and remember, they are CASE SENSITIVE.";
inline constexpr const char* kSuperUserLoggedIn =
    "> has just authenticated to your server with Super user access.";
inline constexpr std::size_t kSuperUserLineLimit = 102;
inline std::string DisabledAccountLogin(const std::string& name) {
    return "Warning - account " + name + " is disabled; the login is allowed.";
}
inline std::string DisabledGroupsLogin(const std::string& name) {
    return "Warning - every group of account " + name + " is disabled; the login is allowed.";
}
inline std::string SlotsFull(const std::string& name) {
    return "Login refused for " + name + ": all 128 login slots are in use.";
}
inline constexpr const char* kAuthenticated = "Authenticated";
inline constexpr const char* kReceived = "RECV <- ";
inline constexpr const char* kSent = "SEND -> ";
inline std::string DisconnectWithError(const std::string& address, int code) {
    return "Disconnect from " + address + " with error code " + std::to_string(code);
}
inline std::string CleanDisconnect(const std::string& address) {
    return "Clean Disconnect from " + address;
}
inline std::string ServerStarted(const std::string& port) {
    return "FTP Server Started listening on port " + port;
}
inline std::string ServerStopped(const std::string& port) {
    return "FTP Server Started stopped.  No longer listening on " + port;
}
inline std::string StatusText(bool listening, int clients) {
    return std::string(listening ? "ONLINE - " : "OFFLINE - ") + std::to_string(clients) +
           " connections";
}
inline constexpr const char* kKbPerSec = " Kb/sec";

// Protection: failed-login bans and the limit of connections per address.
inline constexpr const char* kTooManyFromAddress = "421 Too many connections from your address.";
inline std::string BannedRefused(const std::string& address, int failures) {
    return "Banned address " + address + " refused (" + std::to_string(failures) +
           " failed logins)";
}
inline std::string BanStarted(const std::string& address, int failures, int hours) {
    return "Banned address " + address + " for " + std::to_string(hours) +
           (hours == 1 ? " hour" : " hours") + " after " + std::to_string(failures) +
           " failed logins";
}
inline std::string BanLifted(const std::string& address) {
    return "Ban of address " + address + " lifted";
}
inline std::string AddressLimitRefused(const std::string& address, int limit) {
    return "Refused a connection from " + address + ": it already holds " + std::to_string(limit) +
           " connections";
}
inline std::string BanFileUnreadable(const std::string& path, const std::string& reason) {
    return "Cannot read the ban list " + path + ": " + reason + "; the bans in memory stay.";
}
inline std::string BanFileUnwritable(const std::string& path, const std::string& reason) {
    return "Cannot write the ban list " + path + ": " + reason +
           "; the bans hold until the server stops.";
}
inline std::string ProtectionStatus(std::size_t banned, int bannedRefusals, int limitRefusals) {
    return std::to_string(banned) + " banned, " + std::to_string(bannedRefusals) +
           " refused by bans, " + std::to_string(limitRefusals) + " by the per-address limit";
}
inline std::string Remaining(long long seconds) {
    if (seconds < 0)
        seconds = 0;
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    return text;
}
inline constexpr const char* kComplete = " (complete)";

// Rights.
inline constexpr const char* kSuccess = "Success";
inline constexpr const char* kDenied = "Denied";
inline constexpr const char* kActionGet = "GET";
inline constexpr const char* kActionPut = "APPE";
inline constexpr const char* kActionDele = "DELE";
inline constexpr const char* kActionRnFr = "RNFR";
inline constexpr const char* kActionRnTo = "RNTO";
inline constexpr const char* kActionCwd = "CWD";
inline constexpr const char* kActionMkd = "MKD";
inline constexpr const char* kActionTime = "MFMT";
inline constexpr const char* kKeyFileName = "*encryption.key*";
inline constexpr const char* kNoPermission = "No permission";
inline constexpr const char* kKickedPrefix = "Kicked connection ";
inline constexpr const char* kEncryptedOnlyReply =
    "220 Access Denied.  This server is only accepting Vexa Clients with encryption enabled and "
    "working.";
inline constexpr const char* kEncryptedOnlyText =
    "Access Denied.  This server is only accepting Vexa Clients with encryption enabled and "
    "working.";

} // namespace accounts::texts
