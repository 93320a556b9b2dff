#include "accounts/PathRights.h"

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
    if (n.empty() || n.back() != '/')
        n += '/';
    return n;
}

namespace {

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

std::string Parent(const std::string& dir) {
    auto pos = dir.find_last_of('/');
    if (pos == std::string::npos || pos == 0)
        return "/";
    return dir.substr(0, pos);
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

} // namespace

std::string CanonicalPath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    std::string resolved = "/";
    bool existing = true; // resolved names a real, canonical folder so far
    for (const auto& part : Components(p)) {
        if (part == ".")
            continue;
        if (part == "..") {
            resolved = Parent(resolved);
            continue;
        }
        std::string candidate = Join(resolved, part);
        if (existing) {
            // SECURITY: links are resolved by the kernel (realpath), so a link
            // anywhere in the existing part is judged by where it points.
            char buffer[PATH_MAX];
            if (::realpath(candidate.c_str(), buffer) != nullptr) {
                resolved = buffer;
                continue;
            }
            existing = false;
        }
        resolved = candidate;
    }
    return resolved;
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
        return {NormalizePath(Parent(c)), c == "/" ? std::string() : c.substr(c.find_last_of('/') + 1)};
    }
    return {NormalizePath(CanonicalPath(parent)), name};
}

bool RightsCheck(const std::vector<AccessEntry>& access, const std::string& dir, std::initializer_list<Right> rights) {
    const std::string n = NormalizePath(CanonicalPath(dir));
    for (const auto& entry : access) {
        if (!entry.Used())
            continue;
        bool all = std::all_of(rights.begin(), rights.end(), [&](Right r) { return HasRight(entry, r); });
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
