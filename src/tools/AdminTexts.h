#pragma once
#include <string>

// Every text vexa2-admin prints, in one place.
namespace admin_texts {

inline constexpr const char* kUsage =
    R"(Usage: vexa2-admin [--data-dir DIR] [--no-save] [--yes] COMMAND ...

Changes the server's accounts and lists, the client's sites and the key pair
in the data folder (default $XDG_DATA_HOME/vexa2/). Every account change is
written to the working file and then copied to the saved file, unless
--no-save is given (then only the working file changes: logins see it at once,
and the next start of the program drops it). Account changes work while a server runs on the folder; list changes and
the IP mode are refused then, because the running program writes them at exit.

Users:
  user list
  user show NAME
  user add NAME                        new account, disabled, no password
  user clone SOURCE NEW                copy without password and key, disabled
  user rename OLD NEW
  user delete NAME
  user set NAME password|key|home TEXT
  user set NAME superuser|enabled on|off
  user access NAME add DIR [RIGHTS]    RIGHTS: comma list of read, list, write,
                                       rename, delete, inherit, create (or none)
  user access NAME rights DIR|PLACE RIGHTS   replaces the entry's rights
  user access NAME delete DIR|PLACE
  user member NAME add|delete GROUP

Groups:
  group list | show NAME | add NAME | clone SOURCE NEW | rename OLD NEW | delete NAME
  group set NAME home TEXT
  group set NAME enabled on|off
  group access NAME add|rights|delete ...   as for users

Server lists:
  ip list | ip add TEXT | ip delete ROW | ip mode allow|deny
  vdir list | vdir add DIR VIRTUAL | vdir delete ROW
  link list | link add DIR NAME | link delete ROW
ROW is the 1-based row number shown by list.

Sites (the client's site store vexa2sites.dat, as the site manager keeps it):
  site list
  site show NAME                       every field; passwords and the key only
                                       as (set) or (none)
  site add NAME [FIELD VALUE]...       a new site; names are unique, and letter
                                       case makes names different
  site set NAME FIELD VALUE [FIELD VALUE]...
  site delete NAME
FIELD is one of:
  host TEXT                            host address (at most 80 characters)
  port NUMBER                          1 to 65535; empty: 21
  user TEXT | password TEXT            the FTP login (at most 40 characters each)
  login normal|anonymous|encrypted     anonymous also sets the user "anonymous"
                                       and, unless the password is an address,
                                       a placeholder address; encrypted uses
                                       the key
  key TEXT                             the site's encryption key (at most 80)
  mandatory on|off                     quit when the encryption is not agreed
  passive on|off                       passive data connections
  no-rsa on|off                        no enciphered command channel
  socks-server TEXT | socks-port NUMBER | socks-user TEXT | socks-password TEXT
                                       the site's SOCKS proxy (texts at most 40)
  no-socks on|off                      ignore every SOCKS setting for this site
A text longer than its field is refused, never cut. Sites change while the
program runs; connect with vexa2-ftp --site NAME.

Banned addresses (the data folder's bans.dat, kept by the server):
  bans list                            address, time left, failed logins
  bans lift ADDRESS                    a running server sees it at once

The program's key pair (in the data folder's vexa2.ini):
  keys show
  keys generate [--bits 512|1024|2048] [--length 64|128|192|256]
  keys clear
Key changes are refused while another program uses the data folder.

Questions (ANONYMOUS accounts, superuser access) are answered Yes by --yes and
No otherwise. A working account file with fewer records than the saved one
that is not newer than it (emptied or cut short) is never copied over the
saved file unless --yes confirms it. Exit status 0 on success, 1 with a one-line reason on failure.
)";

inline constexpr const char* kUnknownCommand = "unknown command; see vexa2-admin --help";
inline constexpr const char* kBansUnreadable = "cannot read the ban list: ";
inline constexpr const char* kBansNotSaved = "cannot write the ban list: ";
inline constexpr const char* kNotBanned = "not banned: ";
inline std::string BanRow(const std::string& address, const std::string& left, int failures) {
    return address + "  " + left + " left  " + std::to_string(failures) + " failed logins\n";
}
inline constexpr const char* kMissingArgument = "missing argument; see vexa2-admin --help";
inline constexpr const char* kBadRights =
    "unknown right; use read, list, write, rename, delete, inherit, create or none";
inline constexpr const char* kBadOnOff = "expected on or off";
inline constexpr const char* kBadRow = "no such row";
inline constexpr const char* kListsLocked =
    "the lists cannot be changed while another program uses this data folder: ";
inline constexpr const char* kKeysLocked =
    "the key pair cannot be changed while another program uses this data folder: ";
inline constexpr const char* kBadKeyBits = "key bits must be 512, 1024 or 2048";
inline constexpr const char* kBadKeyLength = "key length must be 64, 128, 192 or 256";
inline constexpr const char* kSettingsNotSaved = "the settings file could not be written: ";
inline constexpr const char* kStoredKeysInvalid =
    "The stored key texts are invalid: they do not load as a key pair, so the program runs "
    "without one. They are kept in the settings file; generate a new pair to replace them.";
inline constexpr const char* kCannotTakeSavedFile =
    "the working account file could not be made from the saved one: ";
inline std::string DamagedAccountFile(const std::string& path, long records, long tailBytes) {
    return "the account file " + path + " is damaged (" + std::to_string(records) +
           " whole records and an incomplete one of " + std::to_string(tailBytes) +
           " bytes); nothing was changed, so no record is lost. Repair or remove the file first";
}
inline std::string ShrinkRefused(const std::string& working, long workingRecords,
                                 const std::string& saved, long savedRecords) {
    return "the working file " + working + " holds " + std::to_string(workingRecords) +
           " records, fewer than the " + std::to_string(savedRecords) + " of the saved file " +
           saved +
           ", and is not newer than it; nothing was changed. Use --yes to replace the "
           "saved file with the shorter one";
}
inline constexpr const char* kNoSuchSite = "no site named ";
inline constexpr const char* kSiteNameNeeded = "a site needs a name";
inline constexpr const char* kBadSitePort = "a port is a number from 1 to 65535 (or empty for 21)";
inline constexpr const char* kBadLoginType = "login must be normal, anonymous or encrypted";
inline constexpr const char* kUnknownSiteField = "unknown site field; see vexa2-admin --help";
inline constexpr const char* kSiteNotWritten = "the site store could not be written";
inline constexpr const char* kAnonymousUser = "anonymous";
inline constexpr const char* kAnonymousPassword = "vexa2@";
inline std::string FieldTooLong(const std::string& field, std::size_t capacity) {
    return field + " takes at most " + std::to_string(capacity) + " characters";
}
inline constexpr const char* kAnsweredNo = "not done: the question was answered No (use --yes)";

} // namespace admin_texts
