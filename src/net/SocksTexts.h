#pragma once
// Messages and error codes of the SOCKS negotiation, in one place.

namespace socks_texts {

inline constexpr const char* kCantChangeLevel = "Can't change socks level if not closed";
inline constexpr const char* kCantChangeServer = "Can't change socks server if not closed";
inline constexpr const char* kCantChangePort = "Can't change socks port if not closed";
inline constexpr const char* kInvalidLevel = "Invalid socks level. Must be 4, 4A or 5.";
inline constexpr const char* kListenNotSupported = "Listening is not supported thru socks server";
inline constexpr const char* kTcpOnly = "tcp is the only protocol supported thru socks server";
inline constexpr const char* kConnectPrefix = "connect: ";

inline constexpr const char* kDataReceiveError = "data receive error";
inline constexpr const char* kLogicError = "TWSocket logic error";
inline constexpr const char* kVersionError = "socks version error";
inline constexpr const char* kMethodNotAcceptable = "authentification method not acceptable";
inline constexpr const char* kTooMuchData = "too much data availaible";
inline constexpr const char* kAuthFailed5 = "socks authentication failed";
inline constexpr const char* kAddressTypeNotSupported = "address type not supported";
inline constexpr const char* kRejected4 = "request rejected or failed";
inline constexpr const char* kRefused4 = "connection refused";
inline constexpr const char* kAuthFailed4 = "authentification failed";
inline constexpr const char* kUnassigned = "unassigned error #";
inline constexpr const char* kInternalError = "internal error";

// Version 5 REP values 1..8.
inline constexpr const char* kRepTexts[] = {
    "general SOCKS server failure", "connection not allowed by ruleset",
    "network unreachable",          "host unreachable",
    "connection refused",           "time to live expired",
    "command not supported",        "address type not supported",
};

inline constexpr int kCodeLogic = 20001;
inline constexpr int kCodeVersion = 20002;
inline constexpr int kCodeMethod = 20003;
inline constexpr int kCodeRepBase = 20003; // REP n gives 20003 + n
inline constexpr int kCodeAddressType = 20011;
inline constexpr int kCodeUnassigned = 20012;
inline constexpr int kCodeInternal = 20013;
inline constexpr int kCodeAuth = 20015;
inline constexpr int kCodeRejected = 20016;
inline constexpr int kCodeRefused = 20008;

} // namespace socks_texts
