#include "ftpserver/MachineFacts.h"

#include <cctype>
#include <cstdio>

namespace {

struct FactName {
    TMlstFact fact;
    const char* name;
};
constexpr FactName kFacts[] = {
    {mfType, "type"}, {mfSize, "size"},     {mfModify, "modify"},
    {mfPerm, "perm"}, {mfUnique, "unique"},
};

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string MlstFeatureLine(unsigned selected) {
    std::string line = "MLST ";
    for (const auto& f : kFacts)
        line += std::string(f.name) + ((selected & f.fact) ? "*;" : ";");
    return line;
}

unsigned ParseMlstFacts(const std::string& text) {
    unsigned selected = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(';', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string name = Lower(text.substr(pos, end - pos));
        for (const auto& f : kFacts)
            if (name == f.name)
                selected |= f.fact;
        pos = end + 1;
    }
    return selected;
}

std::string MlstFactNames(unsigned selected) {
    std::string names;
    for (const auto& f : kFacts)
        if (selected & f.fact)
            names += std::string(f.name) + ";";
    return names;
}

// Letters in the order RFC 3659 lists them.
std::string FilePerm(unsigned r) {
    std::string perm;
    if (r & frWrite)
        perm += 'a';
    if (r & frDelete)
        perm += 'd';
    if (r & frRename)
        perm += 'f';
    if (r & frRead)
        perm += 'r';
    if (r & frWrite)
        perm += 'w';
    return perm;
}

std::string FolderPerm(unsigned parent, unsigned own) {
    std::string perm;
    if (own & frWrite)
        perm += 'c';
    if (parent & frDelete)
        perm += 'd';
    if (own & frEnter)
        perm += 'e';
    if (parent & frRename)
        perm += 'f';
    if (own & frList)
        perm += 'l';
    if (own & frMakeDir)
        perm += 'm';
    if (own & frDelete)
        perm += 'p';
    return perm;
}

std::string FactsText(const std::string& type, const struct stat& st, const std::string& perm,
                      unsigned selected) {
    std::string text;
    if (selected & mfType)
        text += "type=" + type + ";";
    if ((selected & mfSize) && !S_ISDIR(st.st_mode))
        text += "size=" + std::to_string(static_cast<long long>(st.st_size)) + ";";
    if (selected & mfModify)
        text += "modify=" + MachineTime(st.st_mtime) + ";";
    if (selected & mfPerm)
        text += "perm=" + perm + ";";
    if (selected & mfUnique) {
        char unique[48];
        std::snprintf(unique, sizeof unique, "%llxg%llx",
                      static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        text += std::string("unique=") + unique + ";";
    }
    return text + " ";
}

std::string MachineTime(std::time_t time) {
    std::tm utc{};
    if (::gmtime_r(&time, &utc) == nullptr)
        return "19700101000000";
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

bool ParseMachineTime(const std::string& text, std::time_t& time) {
    if (text.size() < 14)
        return false;
    for (std::size_t i = 0; i < 14; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    if (text.size() > 14) {
        if (text[14] != '.' || text.size() == 15 || text.size() > 18)
            return false;
        for (std::size_t i = 15; i < text.size(); ++i)
            if (!std::isdigit(static_cast<unsigned char>(text[i])))
                return false;
    }
    const auto num = [&](std::size_t pos, std::size_t len) {
        return std::stoi(text.substr(pos, len));
    };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(4, 2) - 1;
    tm.tm_mday = num(6, 2);
    tm.tm_hour = num(8, 2);
    tm.tm_min = num(10, 2);
    tm.tm_sec = num(12, 2);
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 60)
        return false;
    const int day = tm.tm_mday;
    time = ::timegm(&tm);
    // A day past the end of its month would roll into the next one.
    return time != static_cast<std::time_t>(-1) && tm.tm_mday == day;
}
