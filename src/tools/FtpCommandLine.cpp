#include "tools/FtpCommandLine.h"

#include "base/PortText.h"
#include "tools/FtpTexts.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <limits>
#include <map>
#include <strings.h>

using namespace ftptool_texts;

namespace {

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Required and optional argument counts of each command.
struct Arity {
    int required;
    int optional;
};
const std::map<std::string, Arity>& Commands() {
    static const std::map<std::string, Arity> table = {
        {"ls", {0, 1}},     {"nlst", {0, 1}},       {"get", {1, 1}},        {"put", {1, 1}},
        {"append", {1, 1}}, {"resume-get", {1, 1}}, {"resume-put", {1, 1}}, {"mkdir", {1, 0}},
        {"rmdir", {1, 0}},  {"rm", {1, 0}},         {"mv", {2, 0}},         {"size", {1, 0}},
        {"pwd", {0, 0}},    {"quote", {1, 0}},      {"mget", {1, INT_MAX}}, {"mput", {1, INT_MAX}},
        {"mirror", {2, 0}},
    };
    return table;
}

// The transfer options: what to do with existing targets, and the progress
// line. False when name is none of them.
bool ParseTransferOption(const std::string& name, FtpToolOptions& o) {
    static const std::map<std::string, FtpExisting> existing = {
        {"--overwrite", FtpExisting::Overwrite},
        {"--resume", FtpExisting::Resume},
        {"--skip", FtpExisting::Skip},
        {"--ask", FtpExisting::Ask},
    };
    if (name == "--progress") {
        o.progress = true;
        return true;
    }
    auto it = existing.find(name);
    if (it == existing.end())
        return false;
    if (o.existingGiven && o.existing != it->second)
        o.error = kExistingTwice;
    o.existing = it->second;
    o.existingGiven = true;
    return true;
}

} // namespace

std::optional<std::int64_t> ParseRate(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [next, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || value < 0)
        return std::nullopt;
    std::int64_t unit = 1;
    if (next != end) {
        switch (next[0]) {
        case 'k':
        case 'K':
            unit = 1024;
            break;
        case 'm':
        case 'M':
            unit = 1024 * 1024;
            break;
        case 'g':
        case 'G':
            unit = 1024LL * 1024 * 1024;
            break;
        default:
            return std::nullopt;
        }
        if (next + 1 != end)
            return std::nullopt;
    }
    if (value > std::numeric_limits<std::int64_t>::max() / unit)
        return std::nullopt;
    return value * unit;
}

std::optional<FtpUrl> ParseFtpUrl(const std::string& text) {
    // The scheme is read without letter case, as in every URL ("FTP://").
    const std::string scheme = "ftp://";
    if (text.size() <= scheme.size() || ::strncasecmp(text.c_str(), scheme.c_str(), 6) != 0)
        return std::nullopt;
    std::string rest = text.substr(scheme.size());
    FtpUrl url;
    std::size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos)
        url.path = PercentDecode(rest.substr(slash + 1));
    std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        std::string userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        std::size_t colon = userInfo.find(':');
        url.user = PercentDecode(userInfo.substr(0, colon));
        url.userGiven = true;
        if (colon != std::string::npos) {
            url.password = PercentDecode(userInfo.substr(colon + 1));
            url.passwordGiven = true;
        }
    }
    // An IPv6 address is written in brackets ("[::1]:2121"); the host is
    // what the brackets hold.
    std::string bracketed;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos || close == 1)
            return std::nullopt;
        bracketed = authority.substr(1, close - 1);
        authority = authority.substr(close + 1);
        if (!authority.empty() && authority.front() != ':')
            return std::nullopt;
    }
    std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        url.port = authority.substr(colon + 1);
        url.portGiven = true;
        authority = authority.substr(0, colon);
        if (url.port.empty())
            return std::nullopt;
        for (char c : url.port)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
    }
    url.host = bracketed.empty() ? authority : bracketed;
    if (url.host.empty())
        return std::nullopt;
    url.given = true;
    return url;
}

FtpToolOptions ParseFtpToolArgs(const std::vector<std::string>& args) {
    FtpToolOptions o;
    if (args.empty()) {
        o.error = kNoArguments;
        return o;
    }
    std::vector<std::string> words; // the address and the commands, in order
    bool optionsEnded = false;
    std::size_t i = 0;
    auto value = [&](const std::string& option) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            o.error = kOptionNeedsValue + option;
            return std::nullopt;
        }
        return args[++i];
    };
    // Options may come before or after the address and the commands; after
    // "--" every word is an address, command or name, even one starting "--".
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "-q") {
            o.quiet = true;
            continue;
        }
        if (!optionsEnded && (a == "-j" || a == "--parallel" || a.rfind("--parallel=", 0) == 0)) {
            std::optional<std::string> v;
            if (a.size() > 10 && a[10] == '=')
                v = a.substr(11);
            else
                v = value(a);
            if (!v)
                return o;
            int n = 0;
            const char* end = v->data() + v->size();
            auto [next, ec] = std::from_chars(v->data(), end, n);
            if (v->empty() || ec != std::errc() || next != end || n < 1 || n > 10) {
                o.error = kBadParallel;
                return o;
            }
            o.parallel = n;
            continue;
        }
        if (optionsEnded || a.rfind("--", 0) != 0) {
            words.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a;
        std::optional<std::string> inlineValue;
        if (auto eq = a.find('='); eq != std::string::npos) {
            name = a.substr(0, eq);
            inlineValue = a.substr(eq + 1);
        }
        auto take = [&]() -> std::optional<std::string> {
            return inlineValue ? inlineValue : value(name);
        };
        if (name == "--help") {
            o.help = true;
            return o;
        } else if (name == "--passive") {
            o.passive = true;
            o.passiveGiven = true;
        } else if (name == "--active") {
            o.passive = false;
            o.passiveGiven = true;
        } else if (name == "--delete") {
            o.mirrorDelete = true;
        } else if (name == "--dry-run") {
            o.dryRun = true;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (name == "--quiet") {
            o.quiet = true;
        } else if (name == "--mandatory") {
            o.mandatory = true;
        } else if (name == "--no-rsa") {
            o.noRsa = true;
        } else if (name == "--site") {
            auto v = take();
            if (!v)
                return o;
            if (v->empty()) {
                o.error = kEmptySiteName;
                return o;
            }
            o.site = *v;
        } else if (name == "--key") {
            auto v = take();
            if (!v)
                return o;
            if (v->empty()) {
                o.error = kEmptyKey;
                return o;
            }
            o.key = *v;
        } else if (name == "--settings") {
            auto v = take();
            if (!v)
                return o;
            o.settingsFile = *v;
        } else if (name == "--socks") {
            auto v = take();
            if (!v)
                return o;
            std::size_t colon = v->rfind(':');
            if (colon == std::string::npos || colon == 0 || !IsPortNumber(v->substr(colon + 1))) {
                o.error = kBadSocks;
                return o;
            }
            o.socksHost = v->substr(0, colon);
            o.socksPort = v->substr(colon + 1);
            // "[::1]:1080": an IPv6 proxy address in brackets.
            if (o.socksHost.size() > 2 && o.socksHost.front() == '[' && o.socksHost.back() == ']')
                o.socksHost = o.socksHost.substr(1, o.socksHost.size() - 2);
        } else if (name == "--socks-level") {
            auto v = take();
            if (!v)
                return o;
            std::string level = *v == "4a" ? "4A" : *v;
            if (level != "4" && level != "4A" && level != "5") {
                o.error = kBadSocksLevel;
                return o;
            }
            o.socksLevel = level;
        } else if (name == "--socks-user") {
            auto v = take();
            if (!v)
                return o;
            o.socksUser = *v;
        } else if (name == "--socks-password") {
            auto v = take();
            if (!v)
                return o;
            o.socksPassword = *v;
        } else if (name == "--timeout") {
            auto v = take();
            if (!v)
                return o;
            const char* end = v->data() + v->size();
            auto [next, ec] = std::from_chars(v->data(), end, o.timeout);
            if (v->empty() || ec != std::errc() || next != end || o.timeout < 1) {
                o.error = kBadTimeout;
                return o;
            }
        } else if (ParseTransferOption(name, o)) {
            if (!o.error.empty())
                return o;
        } else if (name == "--limit-rate") {
            auto v = take();
            if (!v)
                return o;
            const auto rate = ParseRate(*v);
            if (!rate) {
                o.error = kBadLimitRate;
                return o;
            }
            o.limitRate = *rate;
        } else if (name == "--data-dir") {
            auto v = take();
            if (!v)
                return o;
            o.dataDir = *v;
        } else {
            o.error = kUnknownOption + a;
            return o;
        }
    }
    const auto& table = Commands();
    // A stored site may stand in for the address; a word that is a command
    // then starts the commands.
    i = 0;
    const bool addressFollows = i < words.size() && !(o.site && table.count(words[i]));
    if (!addressFollows && !o.site) {
        o.error = kMissingUrl;
        return o;
    }
    if (addressFollows) {
        auto url = ParseFtpUrl(words[i]);
        if (!url) {
            o.error = kBadUrl + words[i];
            return o;
        }
        if (url->portGiven && !IsPortNumber(url->port)) {
            o.error = kBadPort + url->port;
            return o;
        }
        o.url = *url;
        ++i;
    }
    while (i < words.size()) {
        auto it = table.find(words[i]);
        if (it == table.end()) {
            o.error = kUnknownCommand + words[i];
            return o;
        }
        FtpToolCommand cmd{words[i], {}};
        ++i;
        if ((cmd.name == "get" || cmd.name == "put") && i < words.size() && words[i] == "-r") {
            cmd.recursive = true;
            ++i;
        }
        if (cmd.name == "mirror" && i < words.size() && words[i] == "-R") {
            cmd.reverse = true;
            ++i;
        }
        for (int r = 0; r < it->second.required; ++r) {
            if (i >= words.size()) {
                o.error = kMissingArgument + cmd.name;
                return o;
            }
            cmd.args.push_back(words[i++]);
        }
        // An optional argument that names a command starts the next command.
        for (int k = 0; k < it->second.optional && i < words.size() && !table.count(words[i]); ++k)
            cmd.args.push_back(words[i++]);
        o.commands.push_back(cmd);
    }
    if (o.commands.empty())
        o.error = kMissingCommand;
    else if ((o.mirrorDelete || o.dryRun) &&
             std::none_of(o.commands.begin(), o.commands.end(),
                          [](const FtpToolCommand& c) { return c.name == "mirror"; }))
        o.error = kMirrorOptionsAlone;
    return o;
}
