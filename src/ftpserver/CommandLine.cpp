#include "ftpserver/CommandLine.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/Replies.h"

#include <cctype>
#include <climits>

std::vector<TLineAssembler::Item> TLineAssembler::Feed(const char* data, std::size_t len) {
    std::vector<Item> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (data[i] != '\n')
            continue;
        const std::size_t part = i - start;
        // The limit counts the bytes before the line end: CR LF and LF alone
        // allow the same command.
        std::size_t length = pending_.size() + part;
        const char last = part > 0 ? data[i - 1] : (pending_.empty() ? '\0' : pending_.back());
        if (length > 1 && last == '\r')
            --length;
        if (discarding_ || length > kMaxCommandLine) {
            items.push_back({true, {}});
        } else {
            std::string line = pending_;
            line.append(data + start, part);
            // "X\r" is the line "X"; a lone "\r" stays as it is.
            if (line.size() > 1 && line.back() == '\r')
                line.pop_back();
            items.push_back({false, std::move(line)});
        }
        pending_.clear();
        discarding_ = false;
        start = i + 1;
    }
    if (!discarding_) {
        const std::size_t rest = len - start;
        // Room for the longest line and the CR of its line end.
        if (pending_.size() + rest > kMaxCommandLine + 1) {
            // SECURITY: an endless line must not grow the buffer.
            pending_.clear();
            discarding_ = true;
        } else {
            pending_.append(data + start, rest);
        }
    }
    return items;
}

void TLineAssembler::Clear() {
    pending_.clear();
    discarding_ = false;
}

bool IsPlainLine(const std::string& line) {
    if (line.size() < 4)
        return false;
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    return upper(line[0]) && upper(line[1]) && upper(line[2]) && (line[3] == ' ' || upper(line[3]));
}

std::string RemoveTelnetSequences(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (static_cast<unsigned char>(line[i]) != 255) {
            out += line[i];
            continue;
        }
        if (i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) == 255)
            out += line[i];
        ++i;
    }
    return out;
}

void SplitCommand(const std::string& line, std::string& keyword, std::string& params) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    keyword.clear();
    while (i < line.size() && std::isalnum(static_cast<unsigned char>(line[i])))
        keyword += static_cast<char>(std::toupper(static_cast<unsigned char>(line[i++])));
    // One blank ends the keyword; every byte after it belongs to the
    // argument, so a name that begins or ends with blanks is kept as sent.
    if (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    params = line.substr(i);
}

TPortArgument ParsePortArgument(const std::string& params) {
    int numbers[6] = {};
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < params.size() && (params[i] == ' ' || params[i] == '\t'))
            ++i;
    };
    for (int n = 0; n < 6; ++n) {
        skipBlanks();
        if (i >= params.size() || !std::isdigit(static_cast<unsigned char>(params[i])))
            throw FtpServerException(replies::kUnexpectedChar);
        long value = 0;
        while (i < params.size() && std::isdigit(static_cast<unsigned char>(params[i]))) {
            value = value * 10 + (params[i++] - '0');
            if (value > 255)
                throw FtpServerException(replies::kUnexpectedChar);
        }
        numbers[n] = static_cast<int>(value);
        skipBlanks();
        if (n < 5) {
            if (i >= params.size() || params[i] != ',')
                throw FtpServerException(replies::kUnexpectedChar);
            ++i;
        }
    }
    if (i != params.size())
        throw FtpServerException(replies::kUnexpectedChar);
    TPortArgument result;
    result.Address = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
                     std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
    result.Port = numbers[4] * 256 + numbers[5];
    return result;
}

long long ParseRestOffset(const std::string& params) {
    const std::string text = Trim(params);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i >= text.size())
        throw FtpServerException(FormatReply(replies::kNotInteger, {params}));
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || value > (LLONG_MAX - 9) / 10)
            throw FtpServerException(FormatReply(replies::kNotInteger, {params}));
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::string Trim(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return text.substr(b, e - b);
}

std::string UpperCase(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}
