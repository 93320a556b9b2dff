#include "RemoteListing.h"

#include <algorithm>
#include <cctype>
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

// The first count blank-separated fields (runs of blanks count as one
// separator); fewer when the line ends early.
std::vector<Field> LeadingFields(const std::string& line, int count) {
    std::vector<Field> fields;
    size_t pos = 0;
    while (static_cast<int>(fields.size()) < count) {
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
} // namespace

bool ParseListingLine(const std::string& line, TServerKind kind, RemoteItem& item) {
    if (line.size() > 1 && line.find("not found", 1) != std::string::npos)
        return false;
    if (line.compare(0, 5, "total") == 0)
        return false;
    // Permission, link count, owner, [group,] size.
    const int fieldsBeforeDate = kind == skNetWare ? 4 : 5;
    std::vector<Field> fields = LeadingFields(line, fieldsBeforeDate);
    if (static_cast<int>(fields.size()) < fieldsBeforeDate)
        return false;
    const Field& sizeField = fields.back();
    // The blank after the size, then 12 characters of date, then the name.
    size_t dateStart = sizeField.end + 1;
    if (dateStart >= line.size())
        return false;
    std::string name = dateStart + 12 < line.size() ? line.substr(dateStart + 12) : std::string();
    size_t firstNonBlank = name.find_first_not_of(' ');
    name.erase(0, firstNonBlank == std::string::npos ? name.size() : firstNonBlank);
    if (name.empty() || name == "." || name == "..")
        return false;
    char kindLetter = line[fields.front().begin];
    item.Icon = kindLetter == 'd'   ? RemoteIcon::Folder
                : kindLetter == 'l' ? RemoteIcon::Link
                                    : RemoteIcon::File;
    item.Caption = name;
    item.Size = line.substr(sizeField.begin, sizeField.end - sizeField.begin);
    item.Date = line.substr(dateStart, 12);
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

void SortRemoteItems(std::vector<RemoteItem>& items, int column) {
    auto key = [column](const RemoteItem& item) -> std::string {
        switch (column) {
        case 1:
            return Lower(item.Size);
        case 2:
            return Lower(item.Date);
        default:
            return Lower(item.Caption);
        }
    };
    std::stable_sort(items.begin(), items.end(),
                     [&](const RemoteItem& a, const RemoteItem& b) { return key(a) < key(b); });
}

std::string LinkTargetName(const std::string& caption) {
    size_t arrow = caption.find(" -> ");
    return arrow == std::string::npos ? caption : caption.substr(0, arrow);
}
