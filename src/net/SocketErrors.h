#pragma once
#include <stdexcept>
#include <string>

// A failed socket operation or a socket used wrongly. The message is the text
// the rest of the program shows and logs.
class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const std::string& message) : std::runtime_error(message) {}
};

// WinSock error numbers used throughout the program (the platform's errno
// values are reported under these numbers).
namespace wsa {
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;
} // namespace wsa

// The text of a WinSock error number ("Not a WinSock error" for unknown ones).
std::string WSocketErrorDesc(int code);

// Maps an errno value onto its WinSock number; an unmapped value is returned
// unchanged, so its text reads "Not a WinSock error".
int WSocketErrnoToCode(int err);

// Maps a getaddrinfo() result (EAI_*) onto its WinSock number.
int WSocketGaiToCode(int gaiError);

// True for the codes of a system out of descriptors or buffer memory
// (EMFILE, ENFILE, ENOBUFS, ENOMEM): the operation may succeed later.
bool WSocketIsResourceShortage(int code);
// Accept failures that concern the listening socket itself (a closed,
// foreign or no longer listening handle), not the one connection that was
// being taken: such a listener cannot accept again.
bool WSocketIsListenerFault(int code);

// "Error <code> in function <operation>" CR LF <text>.
std::string WSocketErrorMessage(int code, const std::string& operation);
