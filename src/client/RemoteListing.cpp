#include "client/RemoteListing.h"

#include "client/FileRowOrder.h"

#include <algorithm>
#include <array>
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
        item.SizeText = line.Span(*sizeAt, i - 1);
        item.DateText = line.Span(i, i + dateFields - 1);
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
    item.SizeText = folder ? std::string() : size;
    item.DateText = line.Span(0, 1);
    return true;
}

// The fields of one line and the values read from them, with one reading
// of the clock for a whole listing.
bool ParseLineAt(const std::string& text, std::int64_t now, RemoteItem& item) {
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
    parsed.Size = ListingSizeValue(parsed.SizeText);
    parsed.Modified = ListingTimeValue(parsed.DateText, now);
    item = std::move(parsed);
    return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t Seconds(std::int64_t year, int month, int day, int hour, int minute, int second = 0) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

int MonthOf(const std::string& name) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    const auto found = std::find(std::begin(kMonths), std::end(kMonths), Lower(name));
    return found == std::end(kMonths) ? 0 : static_cast<int>(found - std::begin(kMonths)) + 1;
}

// A number of digits only, or nothing.
std::optional<int> Number(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [next, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || next != end || !IsDigitChar(text[0]))
        return std::nullopt;
    return value;
}

// "14:05", "9:05", "14:05:59" with an optional "AM"/"PM" (DOS): hour,
// minute and second.
std::optional<std::array<int, 3>> ClockOf(std::string text) {
    text = Lower(text);
    int add = -1;
    if (text.ends_with("am") || text.ends_with("pm")) {
        add = text.ends_with("pm") ? 12 : 0;
        text.resize(text.size() - 2);
    }
    std::array<int, 3> parts{0, 0, 0};
    std::istringstream in(text);
    std::string part;
    int count = 0;
    while (std::getline(in, part, ':')) {
        const auto n = Number(part);
        if (!n || count == 3)
            return std::nullopt;
        parts[static_cast<std::size_t>(count++)] = *n;
    }
    if (count < 2)
        return std::nullopt;
    if (add >= 0) {
        if (parts[0] < 1 || parts[0] > 12)
            return std::nullopt;
        parts[0] = parts[0] % 12 + add;
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 60)
        return std::nullopt;
    return parts;
}

bool ValidDay(std::int64_t year, int month, int day) {
    return year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

} // namespace

bool ParseListingLine(const std::string& text, TServerKind /*kind*/, RemoteItem& item) {
    return ParseLineAt(text, WallClockNow(), item);
}

std::vector<RemoteItem> ParseListing(const std::string& text, TServerKind /*kind*/) {
    const std::int64_t now = WallClockNow();
    std::vector<RemoteItem> items;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        RemoteItem item;
        if (ParseLineAt(line, now, item))
            items.push_back(std::move(item));
    }
    return items;
}

std::int64_t ListingSizeValue(const std::string& text) {
    // DOS listings group thousands with commas ("1,234,567"); a device's
    // numbers ("8,0", "1,   3") are no size.
    std::string digits;
    std::istringstream groups(text);
    std::string group;
    for (bool first = true; std::getline(groups, group, ','); first = false) {
        const bool fits = first ? !group.empty() && group.size() <= 3 : group.size() == 3;
        if (!AllDigits(group) || (text.find(',') != std::string::npos && !fits))
            return 0;
        digits += group;
    }
    if (digits.empty() || text.back() == ',')
        return 0;
    std::int64_t value = 0;
    const char* end = digits.data() + digits.size();
    auto [next, ec] = std::from_chars(digits.data(), end, value);
    return ec == std::errc() && next == end ? value : 0;
}

std::int64_t WallClockNow() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return Seconds(t.tm_year + 1900LL, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

std::int64_t ListingTimeValue(const std::string& text, std::int64_t nowWallClock) {
    std::istringstream in(text);
    std::string first, second, third;
    in >> first >> second >> third;
    if (const int month = MonthOf(first); month != 0) {
        // "Mar 07 14:05" (within the last year) or "Jan 31  2023".
        const auto day = Number(second);
        if (!day || third.empty())
            return kNoTime;
        if (third.find(':') == std::string::npos) {
            const auto year = Number(third);
            return year && ValidDay(*year, month, *day) ? Seconds(*year, month, *day, 0, 0)
                                                        : kNoTime;
        }
        const auto clock = ClockOf(third);
        if (!clock)
            return kNoTime;
        std::int64_t year = 1970 + nowWallClock / (86400LL * 366);
        // The year whose date is the latest one not after tomorrow (a
        // server's clock may run a little ahead).
        while (Seconds(year, 1, 1, 0, 0) <= nowWallClock)
            ++year;
        for (;; --year) {
            if (!ValidDay(year, month, *day))
                return kNoTime;
            const std::int64_t at = Seconds(year, month, *day, (*clock)[0], (*clock)[1]);
            if (at <= nowWallClock + 86400)
                return at;
        }
    }
    // "2024-01-31 12:00" or DOS "01-31-24  10:15PM" / "01-31-2024 22:15".
    const auto clock = ClockOf(second);
    if (!clock || !third.empty())
        return kNoTime;
    std::istringstream date(first);
    std::string a, b, c;
    std::getline(date, a, '-');
    std::getline(date, b, '-');
    std::getline(date, c);
    const auto x = Number(a), y = Number(b), z = Number(c);
    if (!x || !y || !z)
        return kNoTime;
    std::int64_t year = 0;
    int month = 0, day = 0;
    if (a.size() == 4) {
        year = *x, month = *y, day = *z;
    } else {
        month = *x, day = *y, year = *z;
        // Two-digit DOS years: 70 to 99 are 1900s, the rest 2000s.
        if (c.size() == 2)
            year += year < 70 ? 2000 : 1900;
    }
    return ValidDay(year, month, day) ? Seconds(year, month, day, (*clock)[0], (*clock)[1])
                                      : kNoTime;
}

void SortRemoteItems(std::vector<RemoteItem>& items, int column, bool descending) {
    SortFileRows(items, column, descending, [](const RemoteItem& item) {
        return FileRowKey{item.Caption, item.Size, item.Modified};
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
