#pragma once
// Every message text of the client engine, in one place. The texts are part
// of the product's observable behaviour (error messages, display lines), so
// they are kept byte for byte as the product defines them.

namespace ftpclient_texts {

// Start-up checks of the requests (raised as FtpException).
inline constexpr const char* kNotReady = "Vexa component not ready";
inline constexpr const char* kAlreadyConnected = "FTP component already connected";
inline constexpr const char* kNotConnected = "FTP component not connected";
inline constexpr const char* kConnectedNoChange = "FTP component connected";
inline constexpr const char* kUserNameEmpty = "UserName emtpy";
inline constexpr const char* kPasswordEmpty = "Password emtpy";
inline constexpr const char* kPublicKeyEmpty = "Public Key emtpy";
inline constexpr const char* kHostDirNameEmpty = "HostDirName emtpy";
inline constexpr const char* kLocalFileNameEmpty = "LocalFileName empty";
inline constexpr const char* kNotConnectedSuffix = ": not connected";
inline constexpr const char* kStoreNotConnected = "STOR/APPE: not connected";

// Display lines (OnDisplay).
inline constexpr const char* kSentPrefix = "> ";
inline constexpr const char* kReceivedPrefix = "< ";
inline constexpr const char* kNotePrefix = "! ";
inline constexpr const char* kProgramErrorNoNext = "Program error: FNext is nil";
inline constexpr const char* kAbortRequested = "! Abort requested";
inline constexpr const char* kDataReceiveError = "! Data: Receive error ";
inline constexpr const char* kErrorWritingLocalFile = "! Error writing local file";
inline constexpr const char* kReceiveFailed = "! RETR/LIST/NLST Failed";
inline constexpr const char* kStoreFailed = "! STOR Failed";
inline constexpr const char* kSendErrorPrefix = "! Error #";
inline constexpr const char* kSendErrorSuffix = " sending data";
inline constexpr const char* kStatsBytes = " bytes received/sent in ";
inline constexpr const char* kStatsSeconds = " seconds";
inline constexpr const char* kStatsRateOpen = " (";
inline constexpr const char* kStatsRateClose = " Bytes/sec)";

// Reply-like texts the engine composes itself (LastReply / ErrorMessage).
inline constexpr const char* kSocketErrorReplyPrefix = "500 ";
inline constexpr const char* kSocketErrorReplyMiddle = " (Winsock error #";
inline constexpr const char* kSocketErrorReplySuffix = ")";
inline constexpr const char* kDataConnectionError = "Unable to establish data connection, error #";
inline constexpr const char* kTransmitCancelled = "426 Transmit cancelled by application";
inline constexpr const char* kOperationAborted = "426 Operation aborted.";
inline constexpr const char* kTimeout = "426 Timeout";
inline constexpr const char* kSndBufFailed = "winsock.getsockopt(SO_SNDBUF) failed";

// Texts of our own for faults the engine reports instead of staying silent.
inline constexpr const char* kConnectionLost =
    "500 Control connection closed before the reply arrived";
inline constexpr const char* kLastReplyBeforeClose = "; the server's last reply: ";
inline constexpr const char* kBadPassiveReply = "Unusable passive reply: ";
// Local file failures end with ": " and the system's reason.
inline constexpr const char* kCannotOpenLocalFile = "Cannot open local file ";
inline constexpr const char* kLocalWriteFailed = "550 Error writing local file ";
inline constexpr const char* kLocalReadFailed = "550 Error reading local file ";
inline constexpr const char* kReasonSeparator = ": ";
inline constexpr const char* kCannotReplaceLocalFile = "Cannot replace local file ";
// An overwrite that failed: the file it was to replace is left as it was.
inline constexpr const char* kOldCopyKeptPrefix = "; the old copy of ";
inline constexpr const char* kOldCopyKeptSuffix = " was kept";
// The name of a download's new copy: "." + name + this + a unique number.
inline constexpr const char* kPartialCopyInfix = ".vexa2-part-";
// A download that ended before the size the server announced.
inline constexpr const char* kShortDownloadPrefix = "426 Download incomplete: expected ";
inline constexpr const char* kShortDownloadMiddle = " bytes, received ";
inline constexpr const char* kShortDownloadSuffix = " bytes";
// A data connection that closed with an error (a reset), whatever the server replied.
inline constexpr const char* kDataConnectionFailed = "426 Data connection failed: ";
// Connections through a SOCKS proxy name it: "SOCKS proxy HOST:PORT: reason".
inline constexpr const char* kSocksProxyPrefix = "SOCKS proxy ";
inline constexpr const char* kSocksProxyReason = ": ";
inline constexpr const char* kDataSocksOpen = " (";
inline constexpr const char* kDataSocksClose = ")";
// The greeting or a reply that did not come within the time-out:
// "No greeting from HOST:PORT within 20 seconds."
inline constexpr const char* kNoConnectionPrefix = "No connection to ";
inline constexpr const char* kNoGreetingPrefix = "No greeting from ";
inline constexpr const char* kNoReplyPrefix = "No reply to ";
inline constexpr const char* kNoReplyFrom = " from ";
inline std::string WithinSeconds(int seconds) {
    return " within " + std::to_string(seconds) + (seconds == 1 ? " second." : " seconds.");
}
// A port-mode data connection from another host than the server.
inline constexpr const char* kForeignDataPeerPrefix = "Refused a data connection from ";
inline constexpr const char* kForeignDataPeerMiddle = " (the server is ";
inline constexpr const char* kForeignDataPeerSuffix = ")";

} // namespace ftpclient_texts
