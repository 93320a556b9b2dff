#pragma once

// Every reply, message and exception text of the FTP server engine, in one
// place. Texts with "%s" / "%d" are filled by Format() below.
#include <initializer_list>
#include <string>

namespace replies {

// Greeting and admission
inline constexpr const char* kServerBanner = "220 Vexa Server Ready.";
inline constexpr const char* kClientBanner = "220 Vexa Server ready.";
inline constexpr const char* kTooManyUsers = "421 Too many users connected.";
inline constexpr const char* kLoginTimeout = "421 Login time-out.";

// Dispatch
inline constexpr const char* kNotUnderstood = "500 '%s': command not understood.";
inline constexpr const char* kLineTooLong = "500 Command line too long.";
inline constexpr const char* kExceptionPrefix = "501 ";
inline constexpr const char* kPleaseLogin = "530 Please login with USER and PASS.";

// Login
inline constexpr const char* kPasswordRequired = "331 Password required for %s.";
inline constexpr const char* kLoginWithUserFirst = "503 Login with USER first.";
inline constexpr const char* kLoginIncorrect = "530 Login incorrect.";
inline constexpr const char* kLoggedIn = "230 User %s logged in.";
inline constexpr const char* kPublicKeyAnswer = "666 %s";

// Directories and informational commands
inline constexpr const char* kCwdOk = "250 CWD command successful. \"%s\" is current directory.";
inline constexpr const char* kCwdFailed = "501 CWD failed. %s";
inline constexpr const char* kNoPermission = "No permission";
inline constexpr const char* kPwd = "257 \"%s\" is current directory.";
inline constexpr const char* kSyst = "215 UNIX Type: ";
inline constexpr const char* kEncryptionEnabled = " - Encryption ENABLED";
inline constexpr const char* kTypeBad = "500 'TYPE %s': command not understood.";
inline constexpr const char* kTypeOk = "200 Type set to %s.";
inline constexpr const char* kStru = "200 Ok. STRU parameter '%s' ignored.";
inline constexpr const char* kNoop = "200 Ok. Parameter was '%s'.";
inline constexpr const char* kGoodbye = "221 Goodbye.";
inline constexpr const char* kIdleGoodbye = "221 Idle timeout expired.  Goodbye.";

// Data connections and transfers
inline constexpr const char* kPortOk = "200 Port command successful.";
inline constexpr const char* kPortInvalid = "501 Invalid PORT command.";
inline constexpr const char* kPortIllegal = "500 Illegal PORT command.";
inline constexpr const char* kPasvOk = "227 Entering Passive Mode (%d,%d,%d,%d,%d,%d).";
inline constexpr const char* kPasvFailed = "500 PASV exception: '%s'.";
inline constexpr const char* kOpeningData = "150 Opening data connection for %s.";
inline constexpr const char* kStorDenied = "501 Permission Denied";
inline constexpr const char* kStorFailed = "501 Cannot STOR. %s";
inline constexpr const char* kAppeOk =
    "150 APPE supported.  Ready to append file \"%s\" at offset %d.";
inline constexpr const char* kAppeDenied = "500 Cannot APPE - Insufficient Rights.";
inline constexpr const char* kAppeFailed = "550 APPE failed.";
inline constexpr const char* kRetrDenied = "500 Cannot RETR - Insufficient Rights.";
inline constexpr const char* kRetrFailed = "501 Cannot RETR. %s";
inline constexpr const char* kRestOk = "350 REST supported. Ready to resume at byte offset %d.";
inline constexpr const char* kRestMissing = "501 Required byte offset parameter bad or missing.";
inline constexpr const char* kRestSyntax = "501 Syntax error in parameter: %s.";
inline constexpr const char* kAborOk = "225 ABOR command successful.";
inline constexpr const char* kFileReceived = "226 File received ok";
inline constexpr const char* kFileSent = "226 File sent ok";
inline constexpr const char* kConnectionClosed = "426 Connection closed; %s.";
inline constexpr const char* kConnectionClosedError =
    "426 Connection closed; transfer aborted. Error #%d";
inline constexpr const char* kCannotOpenData = "425 Cannot open data connection.";
inline constexpr const char* kTransferInProgress = "450 Transfer in progress.";
inline constexpr const char* kTransferOk = "Transfer Ok";
inline constexpr const char* kAbortRequested = "ABORT requested by client";
inline constexpr const char* kErrorNumber = "Error #";
inline constexpr const char* kSendError = "Send: error #";

// Listings
inline constexpr const char* kOpeningList = "150 Opening data connection for directory list.";
inline constexpr const char* kListFailed = "451 Failed: %s.";
inline constexpr const char* kNotFoundSuffix = " not found";
inline constexpr const char* kListOwnerGroup = "   1 ftp      ftp  ";
inline constexpr const char* kPermaLinkPrefix =
    "lrw-rw-rw-   1 ftp      ftp          289 Apr 21 08:32 ";

// File-management commands
inline constexpr const char* kDeleOk = "250 File '%s' deleted.";
inline constexpr const char* kDeleFailed = "450 File '%s' can't be deleted.";
inline constexpr const char* kNoSuchFile = "550 '%s': no such file or directory.";
inline constexpr const char* kSyntaxError = "501 Syntax error in parameter.";
inline constexpr const char* kDeleDenied = "500 Cannot DELE - Insufficient Rights.";
inline constexpr const char* kRnfrOk = "350 File exists, ready for destination name.";
inline constexpr const char* kRnfrSyntax = "501 Syntax error is parameter.";
inline constexpr const char* kRnfrDenied = "500 Cannot RNFR - Insufficient Rights.";
inline constexpr const char* kRntoOk = "250 File '%s' renamed to '%s'.";
inline constexpr const char* kRntoFailed = "450 File '%s' can't be renamed.";
inline constexpr const char* kRntoExists = "553 '%s': file already exists.";
inline constexpr const char* kRntoDenied = "500 Cannot RNTO - Insufficient Rights.";
inline constexpr const char* kMkdOk = "257 '%s': directory created.";
inline constexpr const char* kMkdFailed = "550 '%s': can't create directory.";
inline constexpr const char* kMkdExists = "550 '%s': file or directory already exists.";
inline constexpr const char* kRmdOk = "250 '%s': directory removed.";
inline constexpr const char* kRmdFailed = "550 '%s': can't remove directory.";
inline constexpr const char* kRmdNoSuch = "550 '%s': no such directory.";
inline constexpr const char* kRmdDenied = "500 Cannot RMD - Insufficient Rights.";
inline constexpr const char* kSizeOk = "213 %d";
inline constexpr const char* kCommandFailed = "550 Command failed: %s.";
inline constexpr const char* kFileNotFound = "File not found";
inline constexpr const char* kMdtmOk = "213 %s";
inline constexpr const char* kMdtmSyntax = "501 Syntax error in MDTM parameter.";

// Extensions: features, machine listings, extended data connections and
// passive mode behind NAT.
inline constexpr const char* kFeatBegin = "211-Extensions supported:";
inline constexpr const char* kFeatEnd = "211 End";
inline constexpr const char* kOptsUtf8 = "200 UTF8 set to on.";
inline constexpr const char* kOptsMlst = "200 MLST OPTS %s";
inline constexpr const char* kOptsNotUnderstood = "501 Option not understood.";
inline constexpr const char* kMlstBegin = "250-Listing %s";
inline constexpr const char* kMlstEnd = "250 End";
inline constexpr const char* kNotADirectory = "501 '%s' is not a directory.";
inline constexpr const char* kMfmtOk = "213 Modify=%s; %s";
inline constexpr const char* kMfmtSyntax = "501 Syntax error in MFMT parameter.";
inline constexpr const char* kMfmtDenied = "550 Cannot MFMT - Insufficient Rights.";
inline constexpr const char* kEpsvOk = "229 Entering Extended Passive Mode (|||%d|)";
inline constexpr const char* kEpsvAllOk = "200 EPSV ALL command successful.";
inline constexpr const char* kEpsvAllRefused = "503 %s is not allowed after EPSV ALL.";
inline constexpr const char* kEpsvFailed = "500 EPSV exception: '%s'.";
inline constexpr const char* kProtocolNotSupported = "522 Network protocol not supported, use (%s)";
inline constexpr const char* kEprtOk = "200 EPRT command successful.";
inline constexpr const char* kEprtInvalid = "501 Invalid EPRT command.";
inline constexpr const char* kEprtIllegal = "500 Illegal EPRT command.";
inline constexpr const char* kPasvOnIPv6 = "500 PASV is for IPv4 connections; use EPSV.";
inline constexpr const char* kNoPassivePort = "425 No passive port free; try again later.";
inline constexpr const char* kPassivePortsBusyLog =
    "Passive connection for %s refused: every port of the range %d-%d is in use.";

// Exception and log texts
inline constexpr const char* kSessionAvailableError = "Session available error #";
inline constexpr const char* kTooManyCommand = "Too many command";
inline constexpr const char* kDotNotation = "Cannot accept relative path using dot notation";
inline constexpr const char* kUnexpectedChar = "unexpected char";
inline constexpr const char* kStorProgramError = "Program error in ClientStorSessionClosed";
inline constexpr const char* kIdleDisconnect =
    "Disconnecting %s (%s:%s) due to %d seconds of inactivity.";
inline constexpr const char* kLoginTimeoutLog = "Disconnecting %s:%s: no login within %d seconds.";
inline constexpr const char* kConnectionDropped =
    "A connection was dropped before it could be taken (%s); still listening.";
inline constexpr const char* kListenerFailed =
    "The listening socket failed (%s); no longer listening.";
inline constexpr const char* kAcceptPaused =
    "Cannot accept a connection now (%s); still listening, accepting again shortly.";
inline constexpr const char* kNoDecipherKey = "Private key not loaded";
inline constexpr const char* kNotInteger = "'%s' is not a valid integer value";
inline constexpr const char* kUploadIsLink = "Too many levels of symbolic links";

// Encrypted session: the pseudo-file a client downloads to check its key,
// the ending of the key file's local name, and the engine's log texts.
inline constexpr const char* kKeyFileRequest = "*encryption.key*";
inline constexpr const char* kKeyFileSuffix = "encryption.key";
inline constexpr const char* kPeerKeyRejected =
    "PUBK from %s: the client's key text does not load (%s); its replies stay plain.";
inline constexpr const char* kReplyNotEnciphered =
    "Reply to %s could not be enciphered (%s); its replies stay plain.";
inline constexpr const char* kKeyFileWriteFailed = "Key file %s could not be written: %s";

} // namespace replies

// Fills "%s" and "%d" of a reply text in order with the given arguments
// (each already converted to text). "%%" stands for one "%".
std::string FormatReply(const char* pattern, std::initializer_list<std::string> args);
