#include "accounts/PathRights.h"

#include "base/PathText.h"
#include "ftpserver/PathModel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace accounts {

std::string NormalizePath(const std::string& path) {
    std::string n = path;
    std::replace(n.begin(), n.end(), '\\', '/');
    return WithTrailingSlash(n);
}

namespace {

std::string Parent(const std::string& dir) {
    auto pos = dir.find_last_of('/');
    if (pos == std::string::npos || pos == 0)
        return "/";
    return dir.substr(0, pos);
}

} // namespace

std::string CanonicalPath(const std::string& path) {
    // SECURITY: the engine's canonical form, so rights are judged on exactly
    // the path the engine acts on (links resolved by the kernel).
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return ::CanonicalPath(p, true);
}

bool StillCanonical(const std::string& path) {
    return !path.empty() && NormalizePath(CanonicalPath(path)) == NormalizePath(path);
}

std::string DirectoryPart(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    auto pos = p.find_last_of('/');
    return pos == std::string::npos ? std::string() : p.substr(0, pos + 1);
}

std::pair<std::string, std::string> EntryLocation(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    auto pos = p.find_last_of('/');
    std::string name = pos == std::string::npos ? p : p.substr(pos + 1);
    std::string parent = pos == std::string::npos ? std::string("/") : p.substr(0, pos + 1);
    if (name.empty() || name == "." || name == "..") {
        // The entry is a folder named by a dot step: judge the folder it is.
        std::string c = CanonicalPath(p);
        return {NormalizePath(Parent(c)),
                c == "/" ? std::string() : c.substr(c.find_last_of('/') + 1)};
    }
    return {NormalizePath(CanonicalPath(parent)), name};
}

bool RightsCheck(const std::vector<AccessEntry>& access, const std::string& dir,
                 std::initializer_list<Right> rights) {
    const std::string n = NormalizePath(CanonicalPath(dir));
    for (const auto& entry : access) {
        if (!entry.Used())
            continue;
        bool all =
            std::all_of(rights.begin(), rights.end(), [&](Right r) { return HasRight(entry, r); });
        if (!all)
            continue;
        const std::string e = NormalizePath(CanonicalPath(entry.Path.Get()));
        if (n == e)
            return true;
        if (entry.Inherit && n.size() > e.size() && n.compare(0, e.size(), e) == 0)
            return true;
    }
    return false;
}

} // namespace accounts
