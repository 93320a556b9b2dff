#pragma once
// vexa2-ftp's exit statuses: one per kind of failure, so a script can tell
// them apart. --help lists them (ftptool_texts::kExitStatusHelp).

namespace ftp_exit {
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;        // a failure of no kind below
inline constexpr int kUsage = 2;         // wrong arguments, options, site or settings
inline constexpr int kConnection = 3;    // no connection (host, port, proxy) or it was lost
inline constexpr int kLogin = 4;         // the server refused the login
inline constexpr int kRemote = 5;        // remote file missing, or a command refused (4xx, 5xx)
inline constexpr int kLocal = 6;         // a local file or folder could not be read or written
inline constexpr int kTimeout = 7;       // the server stayed silent for the time-out
inline constexpr int kCutShort = 8;      // a transfer ended before all its bytes came
inline constexpr int kEncryption = 9;    // refused by the encryption rules
inline constexpr int kInterrupted = 130; // stopped by Ctrl-C (SIGINT) or SIGTERM
} // namespace ftp_exit
