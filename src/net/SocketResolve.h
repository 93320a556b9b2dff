#pragma once
#include <cstdint>
#include <string>

// Name, service and protocol resolution. These block only for names that are
// neither dotted addresses nor numbers; callers look names up with DnsLookup
// first when the loop must not stall.

// True when text is a dotted IPv4 address: leading spaces skipped, digits and
// dots only, each dot followed by a digit, exactly three dots, each part at
// most 255, trailing spaces allowed.
bool WSocketIsDottedIP(const std::string& text);

// The address in network byte order; raises ESocketException.
std::uint32_t WSocketResolveHost(const std::string& text);

// The port in host byte order; raises ESocketException.
int WSocketResolvePort(const std::string& port, const std::string& proto);

// The protocol number ("tcp" gives 6); raises ESocketException.
int WSocketResolveProto(const std::string& proto);

// Fills "%s" and "%d" markers of a message in order.
std::string WSocketFormat(const char* pattern, const std::string& text, int number = 0);
std::string WSocketFormat(const char* pattern, int number);

// Text without leading and trailing blanks.
std::string WSocketTrim(const std::string& text);
