#include "net/SocketResolve.h"

#include "net/SocketErrors.h"
#include "net/SocketTexts.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>

using namespace socket_texts;

std::string WSocketFormat(const char* pattern, const std::string& text, int number) {
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += text;
            ++p;
        } else if (p[0] == '%' && p[1] == 'd') {
            out += std::to_string(number);
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string WSocketFormat(const char* pattern, int number) {
    return WSocketFormat(pattern, std::string(), number);
}

std::string WSocketTrim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool WSocketIsDottedIP(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i >= text.size() || text[i] == '.')
        return false;
    int dots = 0;
    int value = 0;
    bool haveDigit = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ')
            break;
        if (c == '.') {
            // Every dot must follow a number and be followed by a digit.
            if (!haveDigit || ++dots > 3 || i + 1 >= text.size() ||
                !std::isdigit(static_cast<unsigned char>(text[i + 1])))
                return false;
            value = 0;
            haveDigit = false;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            value = value * 10 + (c - '0');
            if (value > 255)
                return false;
            haveDigit = true;
        } else {
            return false;
        }
    }
    for (; i < text.size(); ++i)
        if (text[i] != ' ')
            return false;
    return dots == 3 && haveDigit;
}

std::uint32_t WSocketResolveHost(const std::string& text) {
    if (text.empty() || text.size() >= 257)
        throw ESocketException(WSocketFormat(kResolveHostInvalidName, text));
    if (WSocketIsDottedIP(text)) {
        std::string trimmed = WSocketTrim(text);
        in_addr addr{};
        if (::inet_pton(AF_INET, trimmed.c_str(), &addr) != 1)
            throw ESocketException(WSocketFormat(kResolveHostInvalidIp, text));
        if (addr.s_addr == INADDR_NONE && trimmed != "255.255.255.255")
            throw ESocketException(WSocketFormat(kResolveHostInvalidIp, text));
        return addr.s_addr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(text.c_str(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        int code = rc != 0 ? WSocketGaiToCode(rc) : wsa::WSANO_DATA;
        throw ESocketException(WSocketFormat(kResolveHostCannotConvert, text, code));
    }
    std::uint32_t address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return address;
}

namespace {
// Digits up to the first non-digit, after leading spaces.
int LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF)
            break;
    }
    return static_cast<int>(value);
}

bool StartsWithDigit(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}
} // namespace

int WSocketResolvePort(const std::string& port, const std::string& proto) {
    if (port.empty() || port.size() >= 32)
        throw ESocketException(kResolvePortInvalid);
    if (StartsWithDigit(port))
        return LeadingNumber(port);
    std::string name = WSocketTrim(port);
    std::string protoName = WSocketTrim(proto);
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    ::getservbyname_r(name.c_str(), protoName.c_str(), &entry, buffer, sizeof buffer, &found);
    if (found == nullptr) {
        // Without a services database the program's own service names still resolve.
        if (name == "ftp")
            return 21;
        if (name == "ftp-data")
            return 20;
        if (name == "http")
            return 80;
        throw ESocketException(WSocketFormat(kResolvePortCannotConvert, port, wsa::WSANO_DATA));
    }
    return ntohs(static_cast<uint16_t>(found->s_port));
}

int WSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() >= 32)
        throw ESocketException(kResolveProtoInvalid);
    if (StartsWithDigit(proto))
        return LeadingNumber(proto);
    std::string name = WSocketTrim(proto);
    // The two protocols the program uses are known without reading
    // /etc/protocols, which every data connection would otherwise do.
    if (name == "tcp")
        return IPPROTO_TCP;
    if (name == "udp")
        return IPPROTO_UDP;
    protoent entry{};
    protoent* found = nullptr;
    char buffer[1024];
    ::getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &found);
    if (found == nullptr)
        throw ESocketException(WSocketFormat(kResolveProtoCannotConvert, proto, wsa::WSANO_DATA));
    return found->p_proto;
}
