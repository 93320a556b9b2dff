#include "ftpserver/DirectoryListing.h"
#include "ftpserver/ListingProducer.h"
#include "ftpserver/PathModel.h"
#include "ftpserver/Replies.h"

#include <cstdio>
#include <ctime>

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsHidden(const std::string& name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

} // namespace

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

std::string FormatListLine(const std::string& name, const struct stat& st,
                           const std::string& linkTarget, int currentYear) {
    if (IsHidden(name))
        return {};
    std::string rights = "-rw-rw-rw-";
    std::string shown = name;
    if (S_ISDIR(st.st_mode))
        rights[0] = 'd';
    if (S_ISLNK(st.st_mode)) {
        rights[0] = 'l';
        shown = name + " -> " + linkTarget;
    }
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
        rights[2] = rights[5] = rights[8] = '-';
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR))
        rights[3] = rights[6] = rights[9] = 'x';

    std::tm tm{};
    const std::time_t mtime = st.st_mtime;
    ::localtime_r(&mtime, &tm);
    char size[32];
    std::snprintf(size, sizeof size, "%11lld ", static_cast<long long>(st.st_size));
    char day[16];
    std::snprintf(day, sizeof day, "%s %2.2d ", kMonths[tm.tm_mon], tm.tm_mday);
    char when[16];
    if (tm.tm_year + 1900 != currentYear)
        std::snprintf(when, sizeof when, "%5d ", tm.tm_year + 1900);
    else
        std::snprintf(when, sizeof when, "%2.2d:%2.2d ", tm.tm_hour, tm.tm_min);
    return rights + replies::kListOwnerGroup + size + day + when + shown + "\r\n";
}

std::string FormatPermaLinkLine(const std::string& linkName, const std::string& target) {
    return std::string(replies::kPermaLinkPrefix) + linkName + " -> " + target + "\r\n";
}

bool IsNamePattern(const std::string& text) {
    return text.find_first_of("*?[") != std::string::npos;
}

std::string BuildDirectoryList(const std::string& path, bool detailed, const TPermaLinkTable& links,
                               const TVirtMapTable& maps, const TListingScope& scope) {
    TListingProducer producer(path, detailed, links, maps, scope, VirtualChildren(maps, path));
    std::string out;
    while (!producer.Produce(out)) {
    }
    return out;
}

std::string FormatMdtmTime(const struct stat& st) {
    std::tm tm{};
    const std::time_t mtime = st.st_mtim.tv_sec;
    ::gmtime_r(&mtime, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d.%03d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(st.st_mtim.tv_nsec / 1000000));
    return buf;
}
