#pragma once

// Every message text of the socket layer.
namespace socket_texts {
inline constexpr const char* kCannotChangeAddr = "Cannot change Addr if not closed";
inline constexpr const char* kCannotChangePort = "Cannot change Port if not closed";
inline constexpr const char* kCannotChangeProto = "Cannot change Proto if not closed";
inline constexpr const char* kCannotChangeLocalPort = "Cannot change LocalPort if not closed";
inline constexpr const char* kCannotChangeLocalAddr = "Cannot change LocalAddr if not closed";
inline constexpr const char* kInvalidLocalAddr = "SetLocalAddr(): Invalid IP address";
inline constexpr const char* kInvalidSendFlags = "Invalid SendFlags";
inline constexpr const char* kInvalidInternalSendFlags = "Invalid internal SendFlags";

inline constexpr const char* kConnectInUse = "Connect: Socket already in use";
inline constexpr const char* kConnectNoPort = "Connect: No Port Specified";
inline constexpr const char* kConnectNoAddr = "Connect: No IP Address Specified";
inline constexpr const char* kConnectNoProto = "Connect: No Protocol Specified";
inline constexpr const char* kConnectPrefix = "connect: ";
inline constexpr const char* kListenNoPort = "listen: port not assigned";
inline constexpr const char* kListenNoProto = "listen: protocol not assigned";
inline constexpr const char* kListenNoAddr = "listen: address not assigned";
inline constexpr const char* kListenPrefix = "listen: ";
inline constexpr const char* kNotListening = "not a listening socket";
inline constexpr const char* kCannotSetLinger = "Cannot set linger option at this time";
inline constexpr const char* kBindFailed = "winsock.bind failed, error #%d";
inline constexpr const char* kGetSockNameFailed = "winsock.getsockname failed, error #%d";
inline constexpr const char* kDnsInvalidHost = "DNS lookup: invalid host name.";
inline constexpr const char* kDnsCannotStart = "%s: can't start DNS lookup, error #%d";

inline constexpr const char* kResolveHostInvalidName = "WSocketResolveHost: '%s' Invalid Hostname.";
inline constexpr const char* kResolveHostInvalidIp = "WSocketResolveHost: '%s' Invalid IP address.";
inline constexpr const char* kResolveHostCannotConvert =
    "WSocketResolveHost: Cannot convert host address '%s', Error #%d";
inline constexpr const char* kResolvePortInvalid = "WSocketResolvePort: Invalid Port.";
inline constexpr const char* kResolvePortCannotConvert =
    "WSocketResolvePort: Cannot convert port '%s', Error #%d";
inline constexpr const char* kResolveProtoInvalid = "WSocketResolveProto: Invalid Protocol.";
inline constexpr const char* kResolveProtoCannotConvert =
    "WSocketResolveProto: Cannot convert protocol '%s', Error #%d";

inline constexpr const char* kNotConnectedText = "error";

// Operation names used in "Error <code> in function <operation>" reports.
namespace op {
inline constexpr const char* kSend = "Send";
inline constexpr const char* kTryToSend = "TryToSend failed";
inline constexpr const char* kConnectSocket = "Connect (socket)";
inline constexpr const char* kConnect = "Connect";
inline constexpr const char* kKeepAlive = "setsockopt(SO_KEEPALIVE)";
inline constexpr const char* kReuseAddr = "setsockopt(SO_REUSEADDR)";
inline constexpr const char* kBroadcast = "setsockopt(SO_BROADCAST)";
inline constexpr const char* kLinger = "setsockopt(SO_LINGER)";
inline constexpr const char* kAsyncSelect = "WSAAsyncSelect";
inline constexpr const char* kListenAsyncSelect = "WSAASyncSelect";
inline constexpr const char* kSocket = "socket";
inline constexpr const char* kBind = "Bind";
inline constexpr const char* kListen = "Listen";
inline constexpr const char* kAccept = "Accept";
inline constexpr const char* kDup = "Dup";
inline constexpr const char* kDupClose = "Dup (closesocket)";
inline constexpr const char* kDisconnect = "Disconnect (closesocket)";
inline constexpr const char* kGetPeerName = "GetPeerName";
inline constexpr const char* kGetPeerPort = "GetPeerPort";
} // namespace op
} // namespace socket_texts
