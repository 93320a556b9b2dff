#pragma once

// Every message of the client session.
namespace session_texts {
inline constexpr const char* kSendPrefix = "SEND -> ";
inline constexpr const char* kRecvPrefix = "RECV <- ";
inline constexpr const char* kConnectedTo = "Connected to ";
inline constexpr const char* kDisconnectedFrom = "Disconnected From ";
inline constexpr const char* kErrorPrefix = "ERROR ";
inline constexpr const char* kTrashedSession = "Trashed Client Session due to request";
inline constexpr const char* kAttemptingPrefix = "Attempting to connect to ";
// A folder the server would not let us enter.
inline constexpr const char* kCannotEnterPrefix = "Cannot enter ";
inline constexpr const char* kParentFolder = "the parent folder";
inline constexpr const char* kReasonSeparator = ": ";
// Disconnect while a request was still running.
inline constexpr const char* kConnectCancelledPrefix = "Connection attempt to ";
inline constexpr const char* kRequestCancelledPrefix = "Disconnected from ";
inline constexpr const char* kCancelledSuffix = ": cancelled by the user.";
inline constexpr const char* kViaSocks = ") via Socks Server ";
inline constexpr const char* kStillConnectedPrefix = "You are currently connected to ";
inline constexpr const char* kStillConnectedMiddle =
    ").  Do you want to disconnect and connect to ";
inline constexpr const char* kStillConnectedSuffix = ")?";
inline constexpr const char* kConfirmTitle = "Confirm";
inline constexpr const char* kCreatedPrefix = "Successfully created ";
inline constexpr const char* kCreateFailedPrefix = "Failed to create directory ";
inline constexpr const char* kAborting = "Aborting...";

inline constexpr const char* kKeyFileRemoteName = "*encryption.key*";
inline constexpr const char* kKeyFileSuffix = "encryption.key";
inline constexpr const char* kEncryptionEnabledMark = " - Encryption ENABLED";
inline constexpr const char* kServerKeyRefusedPrefix =
    "The server's public key in its 666 reply does not load (";
inline constexpr const char* kServerKeyRefusedSuffix = "); the login is ended.";

inline constexpr const char* kNegotiated = "Encryption Successfully negotiated.";
inline constexpr const char* kUsingPrefix = "Using ";
inline constexpr const char* kUsingSuffix = " bit BLOWFISH encryption.";
inline constexpr const char* kNotNegotiated =
    "STATUS : Encryption NOT successfully negotiated.  Check the Encryption Keys on both Client "
    "and Server and try again.";
inline constexpr const char* kMandatoryQuitting =
    "Encryption has been set to mandatory for this account on your side.  Quitting.";
inline constexpr const char* kNotMandatoryContinuing =
    "Encryption has NOT been set to mandatory for this account on your side.  Continuing without "
    "encryption.";

// Indicator values.
inline constexpr const char* kOn = "ON";
inline constexpr const char* kOff = "OFF";
inline constexpr const char* kReady = "READY";
inline constexpr const char* kNotApplicable = "N/A";
inline constexpr const char* kBlowfish = "Blowfish";
inline constexpr const char* kBitSuffix = " bit";
inline constexpr const char* kEnabled = "ENABLED";
inline constexpr const char* kNotSupported = "NOT SUPPORTED BY SERVER";
inline constexpr const char* kDisabled = "DISABLED";
} // namespace session_texts
