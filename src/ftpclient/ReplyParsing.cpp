#include "ftpclient/ReplyParsing.h"

#include "ftpclient/ClientTexts.h"

#include <cctype>
#include <cstdio>

namespace ftpreply {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

int ReplyCodeOf(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() &&
           (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    long value = 0;
    while (i < line.size() && IsDigit(line[i])) {
        value = value * 10 + (line[i] - '0');
        if (value > 1000000) // a reply code never gets near this; stop overflow
            break;
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

bool StartsWithDigit(const std::string& line) {
    return !line.empty() && IsDigit(line[0]);
}

bool IsContinuation(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && IsDigit(line[i]))
        ++i;
    return i > 0 && i < line.size() && line[i] == '-';
}

bool IsFinalReplyLine(const std::string& line) {
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return false;
    return line.size() == 3 || line[3] == ' ';
}

bool HasPlainReplyForm(const std::string& line) {
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return false;
    return line.size() == 3 || line[3] == ' ' || line[3] == '-';
}

std::string QuotedPath(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && IsDigit(line[i]))
        ++i;
    if (i >= line.size() || line[i] != ' ')
        return {};
    ++i;
    if (i >= line.size() || line[i] != '"')
        return {};
    ++i;
    std::string path;
    while (i < line.size()) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                path += '"';
                i += 2;
                continue;
            }
            break;
        }
        path += line[i++];
    }
    return path;
}

std::int64_t SecondNumber(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && IsDigit(line[i]))
        ++i;
    while (i < line.size() && !IsDigit(line[i]))
        ++i;
    if (i >= line.size())
        return -1;
    std::int64_t value = 0;
    while (i < line.size() && IsDigit(line[i])) {
        if (value > (INT64_MAX - 9) / 10)
            return -1;
        value = value * 10 + (line[i] - '0');
        ++i;
    }
    return value;
}

namespace {
// A byte value of a PORT/PASV address: digits with blanks around them.
std::optional<int> ByteValue(const std::string& text) {
    std::size_t a = text.find_first_not_of(' ');
    std::size_t b = text.find_last_not_of(' ');
    if (a == std::string::npos)
        return std::nullopt;
    int v = 0;
    for (std::size_t i = a; i <= b; ++i) {
        if (!IsDigit(text[i]))
            return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > 255)
            return std::nullopt;
    }
    return v;
}

std::optional<int> PortOf(std::optional<int> high, std::optional<int> low) {
    if (!high || !low)
        return std::nullopt;
    int port = (*high * 256 + *low) & 0xFFFF;
    if (port == 0)
        return std::nullopt;
    return port;
}

// "227 Entering Passive Mode 127,0,0,1,4,1": the first run of six
// comma-separated numbers after the code.
std::optional<int> PortWithoutParentheses(const std::string& reply) {
    std::size_t pos = 0;
    while (pos < reply.size() && IsDigit(reply[pos]))
        ++pos; // the reply code
    for (; pos < reply.size(); ++pos) {
        if (!IsDigit(reply[pos]) || (pos > 0 && IsDigit(reply[pos - 1])))
            continue;
        std::optional<int> numbers[6];
        std::size_t at = pos;
        int found = 0;
        while (found < 6) {
            std::size_t end = at;
            while (end < reply.size() && IsDigit(reply[end]))
                ++end;
            if (end == at)
                break;
            numbers[found++] = ByteValue(reply.substr(at, end - at));
            if (found < 6 && (end >= reply.size() || reply[end] != ','))
                break;
            at = end + 1;
        }
        if (found == 6 && numbers[0] && numbers[1] && numbers[2] && numbers[3])
            return PortOf(numbers[4], numbers[5]);
    }
    return std::nullopt;
}
} // namespace

std::optional<int> PassivePort(const std::string& reply) {
    std::size_t pos = reply.find('(');
    if (pos == std::string::npos)
        return PortWithoutParentheses(reply);
    ++pos;
    for (int k = 0; k < 4; ++k) {
        pos = reply.find(',', pos);
        if (pos == std::string::npos)
            return std::nullopt;
        ++pos;
    }
    std::size_t comma = reply.find(',', pos);
    if (comma == std::string::npos)
        return std::nullopt;
    std::size_t close = reply.find(')', comma + 1);
    if (close == std::string::npos)
        return std::nullopt;
    return PortOf(ByteValue(reply.substr(pos, comma - pos)),
                  ByteValue(reply.substr(comma + 1, close - comma - 1)));
}

std::optional<int> ExtendedPassivePort(const std::string& reply) {
    const std::size_t open = reply.find('(');
    if (open == std::string::npos || open + 4 >= reply.size())
        return std::nullopt;
    const char delimiter = reply[open + 1];
    // The delimiter is a printable character that is no digit.
    if (delimiter < 33 || delimiter > 126 || std::isdigit(static_cast<unsigned char>(delimiter)))
        return std::nullopt;
    if (reply[open + 2] != delimiter || reply[open + 3] != delimiter)
        return std::nullopt;
    std::size_t i = open + 4;
    long value = 0;
    std::size_t digits = 0;
    for (; i < reply.size() && std::isdigit(static_cast<unsigned char>(reply[i])); ++i, ++digits) {
        value = value * 10 + (reply[i] - '0');
        if (value > 65535)
            return std::nullopt;
    }
    if (digits == 0 || value == 0 || i + 1 >= reply.size() || reply[i] != delimiter ||
        reply[i + 1] != ')')
        return std::nullopt;
    return static_cast<int>(value);
}

std::string ExtendedPortCommand(const std::string& address, int port) {
    const char* family = address.find(':') != std::string::npos ? "2" : "1";
    return std::string("EPRT |") + family + "|" + address + "|" + std::to_string(port) + "|";
}

std::optional<std::int64_t> AnnouncedSize(const std::string& line) {
    static const std::string kBytes = " bytes)";
    for (std::size_t open = line.find('('); open != std::string::npos;
         open = line.find('(', open + 1)) {
        std::size_t i = open + 1;
        std::int64_t value = 0;
        while (i < line.size() && IsDigit(line[i]) && value <= (INT64_MAX - 9) / 10)
            value = value * 10 + (line[i++] - '0');
        if (i > open + 1 && line.compare(i, kBytes.size(), kBytes) == 0)
            return value;
    }
    return std::nullopt;
}

std::string PortCommand(const std::string& serverAddr, const std::string& localAddr, int port) {
    char text[64];
    if (serverAddr == "127.0.0.1") {
        std::snprintf(text, sizeof text, "PORT 127,0,0,1,%d,%d", (port >> 8) & 0xFF, port & 0xFF);
        return text;
    }
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(localAddr.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        a = b = c = d = 0;
    std::snprintf(text, sizeof text, "PORT %u,%u,%u,%u,%d,%d", a & 0xFF, b & 0xFF, c & 0xFF,
                  d & 0xFF, (port >> 8) & 0xFF, port & 0xFF);
    return text;
}

std::string StatisticsLine(std::int64_t count, std::int64_t elapsedMs) {
    using namespace ftpclient_texts;
    std::string line = std::string(kNotePrefix) + std::to_string(count) + kStatsBytes +
                       std::to_string(elapsedMs / 1000) + kStatsSeconds;
    if (elapsedMs > 0) {
        std::int64_t rate = count < 32768 ? count * 1000 / elapsedMs : count / elapsedMs * 1000;
        line += std::string(kStatsRateOpen) + std::to_string(rate) + kStatsRateClose;
    }
    return line;
}

} // namespace ftpreply
