#include "accounts/AccessList.h"

#include <cctype>

namespace accounts {

std::uint8_t& RightFlag(AccessEntry& entry, Right right) {
    switch (right) {
    case Right::Read:
        return entry.Read;
    case Right::List:
        return entry.List;
    case Right::Write:
        return entry.Write;
    case Right::Rename:
        return entry.Rename;
    case Right::Delete:
        return entry.Delete;
    case Right::Inherit:
        return entry.Inherit;
    case Right::Create:
        return entry.Create;
    }
    return entry.Read;
}

bool HasRight(const AccessEntry& entry, Right right) {
    return RightFlag(const_cast<AccessEntry&>(entry), right) != 0;
}

std::optional<Right> ParseRight(std::string_view name) {
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "inheritable")
        return Right::Inherit;
    for (Right r : kAllRights) {
        std::string candidate = RightName(r);
        for (auto& c : candidate)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (candidate == lower)
            return r;
    }
    return std::nullopt;
}

const char* RightName(Right right) {
    switch (right) {
    case Right::Read:
        return "Read";
    case Right::List:
        return "List";
    case Right::Write:
        return "Write";
    case Right::Rename:
        return "Rename";
    case Right::Delete:
        return "Delete";
    case Right::Inherit:
        return "Inherit";
    case Right::Create:
        return "Create";
    }
    return "";
}

std::string RightsText(const AccessEntry& entry) {
    static const char letters[] = "RLWNDIC";
    std::string text;
    for (int i = 0; i < 7; ++i)
        text += HasRight(entry, kAllRights[i]) ? letters[i] : '-';
    return text;
}

int AddAccessEntry(AccessEntry (&access)[kAccessEntries], const std::string& path) {
    for (int i = 0; i < kAccessEntries; ++i) {
        if (!access[i].Used()) {
            access[i] = AccessEntry{};
            access[i].Path.Set(path);
            return i + 1;
        }
    }
    return 0;
}

bool RemoveAccessEntry(AccessEntry (&access)[kAccessEntries], int place) {
    if (place < 1 || place > kAccessEntries || !access[place - 1].Used())
        return false;
    int last = place - 1;
    for (int i = place - 1; i + 1 < kAccessEntries && access[i + 1].Used(); ++i) {
        access[i] = access[i + 1];
        last = i + 1;
    }
    access[last] = AccessEntry{};
    return true;
}

int FindAccessEntry(const AccessEntry (&access)[kAccessEntries], const std::string& path) {
    for (int i = 0; i < kAccessEntries; ++i)
        if (access[i].Used() && access[i].Path.Equals(path))
            return i + 1;
    return 0;
}

} // namespace accounts
