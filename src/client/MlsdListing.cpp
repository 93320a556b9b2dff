#include "client/MlsdListing.h"

#include <cstdlib>

#include <cctype>
#include <cstdio>
#include <ctime>

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Digits(const std::string& text, std::size_t from, std::size_t count) {
    if (from + count > text.size())
        return false;
    for (std::size_t i = from; i < from + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

int Number(const std::string& text, std::size_t from, std::size_t count) {
    return std::stoi(text.substr(from, count));
}

} // namespace

bool MlsdTimeValue(const std::string& modify, long long& seconds) {
    if (!Digits(modify, 0, 14))
        return false;
    if (modify.size() > 14 &&
        (modify.size() == 15 || modify[14] != '.' || !Digits(modify, 15, modify.size() - 15)))
        return false;
    std::tm t{};
    t.tm_year = Number(modify, 0, 4) - 1900;
    t.tm_mon = Number(modify, 4, 2) - 1;
    t.tm_mday = Number(modify, 6, 2);
    t.tm_hour = Number(modify, 8, 2);
    t.tm_min = Number(modify, 10, 2);
    t.tm_sec = Number(modify, 12, 2);
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 ||
        t.tm_min > 59 || t.tm_sec > 60)
        return false;
    seconds = static_cast<long long>(::timegm(&t));
    return true;
}

std::string MlsdTimeText(const std::string& modify) {
    long long seconds = 0;
    if (!MlsdTimeValue(modify, seconds))
        return {};
    const std::time_t value = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!::localtime_r(&value, &local))
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

bool ParseMlsdLine(const std::string& line, RemoteItem& item) {
    // The facts end at the first blank; the name is all that follows it,
    // blanks included.
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos || blank + 1 >= line.size())
        return false;
    const std::string facts = line.substr(0, blank);
    // Every fact ends with ';' and holds '='.
    if (facts.empty() || facts.back() != ';' || facts.find('=') == std::string::npos)
        return false;
    item = RemoteItem{};
    std::string type, size, modify, target;
    for (std::size_t pos = 0; pos < facts.size();) {
        std::size_t end = facts.find(';', pos);
        if (end == std::string::npos)
            end = facts.size();
        const std::string fact = facts.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t equals = fact.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = Lower(fact.substr(0, equals));
        const std::string value = fact.substr(equals + 1);
        if (name == "type")
            type = value;
        else if (name == "size" || (name == "sizd" && size.empty()))
            size = value;
        else if (name == "modify")
            modify = value;
    }
    const std::string kind = Lower(type);
    if (kind == "cdir" || kind == "pdir")
        return false;
    std::string name = line.substr(blank + 1);
    if (name == "." || name == "..")
        return false;
    if (kind == "dir") {
        item.Icon = RemoteIcon::Folder;
    } else if (kind.rfind("os.unix=slink", 0) == 0 || kind == "os.unix=symlink") {
        item.Icon = RemoteIcon::Link;
        const std::size_t colon = type.find(':');
        if (colon != std::string::npos && colon + 1 < type.size())
            target = type.substr(colon + 1);
    } else {
        item.Icon = RemoteIcon::File;
    }
    item.Caption = target.empty() ? name : name + " -> " + target;
    item.SizeText = size;
    char* end = nullptr;
    const long long bytes = size.empty() ? 0 : std::strtoll(size.c_str(), &end, 10);
    item.Size = end != nullptr && *end == '\0' && bytes > 0 ? bytes : 0;
    item.DateText = MlsdTimeText(modify);
    long long seconds = 0;
    if (MlsdTimeValue(modify, seconds))
        item.Modified = seconds;
    return true;
}

std::vector<RemoteItem> ParseMlsdListing(const std::string& text) {
    std::vector<RemoteItem> items;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        RemoteItem item;
        if (ParseMlsdLine(line, item))
            items.push_back(std::move(item));
    }
    return items;
}
