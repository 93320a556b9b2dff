#include "ftpserver/DirectoryListing.h"
#include "ftpserver/PathModel.h"
#include "ftpserver/Replies.h"

#include <dirent.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsHidden(const std::string& name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

std::string ReadLinkText(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string EntryLine(const std::string& dir, const std::string& name, bool detailed, int year) {
    if (!detailed)
        return name + "\r\n";
    const std::string full = dir == "/" ? "/" + name : dir + "/" + name;
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0)
        return {};
    const std::string target = S_ISLNK(st.st_mode) ? ReadLinkText(full) : std::string();
    return FormatListLine(name, st, target, year);
}

std::string BaseName(const std::string& path) {
    const auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

// A child folder of a way-only folder that leads to a grant: named by the
// owner and a real folder, never a link.
bool IsWayChild(const std::string& dir, const std::string& name,
                const std::vector<std::string>& wayNames) {
    if (std::find(wayNames.begin(), wayNames.end(), name) == wayNames.end())
        return false;
    const std::string full = dir == "/" ? "/" + name : dir + "/" + name;
    struct stat st {};
    return ::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DirName(const std::string& path) {
    const auto pos = path.find_last_of('/');
    if (pos == std::string::npos || pos == 0)
        return "/";
    return path.substr(0, pos);
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
    const int year = CurrentYear();
    const auto shown = [&](const std::string& name) {
        return scope.Pattern.empty() ||
               ::fnmatch(scope.Pattern.c_str(), name.c_str(), FNM_PERIOD) == 0;
    };
    // Nothing of that name: NLST sends no name, LIST says so.
    const auto notFound = [&]() -> std::string {
        if (!detailed)
            return {};
        const std::string searched =
            scope.Pattern.empty() ? path : WithTrailingSlash(path) + scope.Pattern;
        return searched + replies::kNotFoundSuffix + "\r\n";
    };
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return scope.WayOnly ? std::string() : notFound();
    std::string out;
    std::string listedDir; // the folder whose contents were listed, if any
    struct stat target {};
    if (S_ISDIR(st.st_mode) ||
        (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))) {
        listedDir = path;
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(path.c_str())) {
            while (const dirent* e = ::readdir(dir))
                names.emplace_back(e->d_name);
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            if (!shown(name))
                continue;
            // SECURITY: a folder passed through without rights shows only
            // the real folders on the way to a grant.
            if (scope.WayOnly && !IsWayChild(path, name, scope.WayNames))
                continue;
            out += EntryLine(path, name, detailed, year);
        }
    } else if (!scope.WayOnly) {
        out += EntryLine(DirName(path), BaseName(path), detailed, year);
    }
    if (scope.WayOnly)
        return out;

    for (const auto& link : links) {
        if (link.DirPath.empty() || !shown(link.LinkName))
            continue;
        if (!listedDir.empty() && WithTrailingSlash(link.DirPath) == WithTrailingSlash(listedDir))
            continue;
        out += detailed ? FormatPermaLinkLine(link.LinkName, ShowVirtMap(maps, link.DirPath))
                        : link.LinkName + "\r\n";
    }
    if (out.empty())
        return notFound();
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
