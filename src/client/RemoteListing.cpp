#include "client/RemoteListing.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <sstream>

TServerKind ServerKindFromSyst(const std::string& systReply) {
    if (systReply.find("Vexa") != std::string::npos)
        return skVexaServer;
    if (systReply.find("NETWARE") != std::string::npos)
        return skNetWare;
    return skOtherServer;
}

namespace {
struct Field {
    size_t begin;
    size_t end;
};

// Every blank-separated field of a line (runs of blanks count as one separator).
std::vector<Field> Fields(const std::string& line) {
    std::vector<Field> fields;
    size_t pos = 0;
    while (true) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (pos >= line.size())
            break;
        size_t begin = pos;
        while (pos < line.size() && line[pos] != ' ')
            ++pos;
        fields.push_back({begin, pos});
    }
    return fields;
}

std::string Lower(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

// The text of a field against a pattern: '9' a digit, 'a' a letter, any
// other character itself.
bool Matches(const std::string& text, const char* pattern) {
    size_t i = 0;
    for (; pattern[i] != '\0'; ++i) {
        if (i >= text.size())
            return false;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (pattern[i] == '9'   ? !IsDigitChar(text[i])
            : pattern[i] == 'a' ? !std::isalpha(c)
                                : text[i] != pattern[i])
            return false;
    }
    return i == text.size();
}

bool MatchesAny(const std::string& text, std::initializer_list<const char*> patterns) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const char* p) { return Matches(text, p); });
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigitChar);
}

class Line {
public:
    explicit Line(const std::string& text) : text_(text), fields_(Fields(text)) {}
    size_t Count() const { return fields_.size(); }
    std::string Text(size_t i) const {
        return text_.substr(fields_[i].begin, fields_[i].end - fields_[i].begin);
    }
    std::string Span(size_t first, size_t last) const {
        return text_.substr(fields_[first].begin, fields_[last].end - fields_[first].begin);
    }
    const Field& At(size_t i) const { return fields_[i]; }
    const std::string& Whole() const { return text_; }

private:
    const std::string& text_;
    std::vector<Field> fields_;
};

// "Mar 07 14:05", "Jan 31  2023", "2024-01-31 12:00": the number of fields
// the date takes at field i, 0 when none starts there.
size_t DateFieldsAt(const Line& line, size_t i) {
    if (i + 1 < line.Count() && Matches(line.Text(i), "9999-99-99") &&
        MatchesAny(line.Text(i + 1), {"99:99", "9:99", "99:99:99"}))
        return 2;
    if (i + 2 < line.Count() && Matches(line.Text(i), "aaa") &&
        MatchesAny(line.Text(i + 1), {"9", "99"}) &&
        MatchesAny(line.Text(i + 2), {"99:99", "9:99", "9999"}))
        return 3;
    return 0;
}

// The size in front of the date at field i: a number, or a device's
// "major, minor" ("1,   3"). The first field of the size, or nothing.
std::optional<size_t> SizeBefore(const Line& line, size_t dateAt) {
    // Permission text, then at least two fields (links and owner, or the
    // NetWare rights and owner) before the size.
    constexpr size_t kFirstSizeField = 3;
    if (dateAt < kFirstSizeField + 1)
        return std::nullopt;
    const std::string last = line.Text(dateAt - 1);
    if (AllDigits(last)) {
        const std::string before = line.Text(dateAt - 2);
        if (dateAt - 2 >= kFirstSizeField && before.size() > 1 && before.back() == ',' &&
            AllDigits(before.substr(0, before.size() - 1)))
            return dateAt - 2;
        return dateAt - 1;
    }
    const size_t comma = last.find(',');
    if (comma != std::string::npos && AllDigits(last.substr(0, comma)) &&
        AllDigits(last.substr(comma + 1)))
        return dateAt - 1;
    return std::nullopt;
}

// A Unix-style line: permissions, link count, owner and group (either may
// hold blanks), size, date, one blank, then the name as it stands.
bool ParseUnixLine(const Line& line, RemoteItem& item) {
    const std::string& text = line.Whole();
    const std::string permissions = line.Text(0);
    if (std::string("-dlbcps").find(permissions[0]) == std::string::npos)
        return false;
    for (size_t i = 1; i < line.Count(); ++i) {
        const size_t dateFields = DateFieldsAt(line, i);
        if (dateFields == 0)
            continue;
        const auto sizeAt = SizeBefore(line, i);
        if (!sizeAt)
            continue;
        const size_t dateEnd = line.At(i + dateFields - 1).end;
        if (dateEnd + 1 >= text.size())
            return false;
        item.Icon = permissions[0] == 'd'   ? RemoteIcon::Folder
                    : permissions[0] == 'l' ? RemoteIcon::Link
                                            : RemoteIcon::File;
        item.Caption = text.substr(dateEnd + 1);
        item.Size = line.Span(*sizeAt, i - 1);
        item.Date = line.Span(i, i + dateFields - 1);
        return true;
    }
    return false;
}

// A DOS-style line: "01-31-24  10:15PM  <DIR>  name" or "... 1234 name".
bool ParseDosLine(const Line& line, RemoteItem& item) {
    if (line.Count() < 4 || !MatchesAny(line.Text(0), {"99-99-99", "99-99-9999"}))
        return false;
    const std::string time = Lower(line.Text(1));
    const bool twelveHour =
        MatchesAny(time, {"99:99aa", "9:99aa"}) && (time.ends_with("am") || time.ends_with("pm"));
    if (!twelveHour && !Matches(time, "99:99"))
        return false;
    const std::string size = line.Text(2);
    const bool folder = Lower(size) == "<dir>";
    std::string digits = size;
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    if (!folder && !AllDigits(digits))
        return false;
    item.Icon = folder ? RemoteIcon::Folder : RemoteIcon::File;
    item.Caption = line.Whole().substr(line.At(3).begin);
    item.Size = folder ? std::string() : size;
    item.Date = line.Span(0, 1);
    return true;
}
} // namespace

bool ParseListingLine(const std::string& text, TServerKind /*kind*/, RemoteItem& item) {
    // The fields are found from the date backwards, so owner and group names
    // with blanks, NetWare's layout without a group and device files all
    // parse; a line that is no entry (a "total" line, a server's message) is
    // skipped, and an entry is kept whatever its name holds.
    const Line line(text);
    if (line.Count() == 0)
        return false;
    RemoteItem parsed;
    if (!ParseUnixLine(line, parsed) && !ParseDosLine(line, parsed))
        return false;
    if (parsed.Caption.empty() || parsed.Caption == "." || parsed.Caption == "..")
        return false;
    item = std::move(parsed);
    return true;
}

std::vector<RemoteItem> ParseListing(const std::string& text, TServerKind kind) {
    std::vector<RemoteItem> items;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        RemoteItem item;
        if (ParseListingLine(line, kind, item))
            items.push_back(std::move(item));
    }
    return items;
}

namespace {

// A size as a number; a text that is none (a "<DIR>") sorts before every number.
long long SizeKey(const std::string& size) {
    long long value = 0;
    const char* end = size.data() + size.size();
    auto [next, ec] = std::from_chars(size.data(), end, value);
    return ec == std::errc() && next == end ? value : -1;
}

// A listing date ("Mar 07 14:05" within the last year, "Jan 31  2023"
// older) as a number that orders dates: year, month, day, hour, minute. A
// date without a year is in the last twelve months.
long long DateKey(const std::string& date) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    std::istringstream in(Lower(date));
    std::string month, day, last;
    in >> month >> day >> last;
    const auto found = std::find(std::begin(kMonths), std::end(kMonths), month);
    if (found == std::end(kMonths) || day.empty() || last.empty())
        return -1;
    const long long m = (found - std::begin(kMonths)) + 1;
    const long long d = std::atoll(day.c_str());
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    long long year = today.tm_year + 1900, hour = 0, minute = 0;
    const std::size_t colon = last.find(':');
    if (colon == std::string::npos) {
        year = std::atoll(last.c_str());
    } else {
        hour = std::atoll(last.substr(0, colon).c_str());
        minute = std::atoll(last.substr(colon + 1).c_str());
        if (m > today.tm_mon + 1 || (m == today.tm_mon + 1 && d > today.tm_mday))
            --year;
    }
    return (((year * 13 + m) * 32 + d) * 24 + hour) * 60 + minute;
}

} // namespace

void SortRemoteItems(std::vector<RemoteItem>& items, int column, bool descending) {
    // Sizes as numbers and dates as dates; the name breaks ties (and sorts
    // as case-insensitive text).
    auto less = [column](const RemoteItem& a, const RemoteItem& b) {
        if (column == 1) {
            const long long x = SizeKey(a.Size), y = SizeKey(b.Size);
            if (x != y)
                return x < y;
        } else if (column == 2) {
            const long long x = DateKey(a.Date), y = DateKey(b.Date);
            if (x != y)
                return x < y;
        }
        return Lower(a.Caption) < Lower(b.Caption);
    };
    std::stable_sort(items.begin(), items.end(), [&](const RemoteItem& a, const RemoteItem& b) {
        return descending ? less(b, a) : less(a, b);
    });
}

std::string LinkTargetName(const std::string& caption) {
    size_t arrow = caption.find(" -> ");
    return arrow == std::string::npos ? caption : caption.substr(0, arrow);
}

RemoteOpen OpenActionFor(const RemoteItem& item) {
    switch (item.Icon) {
    case RemoteIcon::Folder:
        return {RemoteOpenAction::EnterFolder, item.Caption};
    case RemoteIcon::File:
        return {RemoteOpenAction::QueueDownload, {}};
    case RemoteIcon::Link:
        if (!item.Caption.empty() && item.Caption[0] != '.')
            return {RemoteOpenAction::EnterFolder, LinkTargetName(item.Caption)};
        break;
    }
    return {};
}
