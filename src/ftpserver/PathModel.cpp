#include "ftpserver/PathModel.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/Replies.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

std::vector<std::string> SplitComponents(const std::string& path) {
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

std::string ParentOf(const std::string& path) {
    auto pos = path.find_last_of('/');
    if (pos == std::string::npos || pos == 0)
        return "/";
    return path.substr(0, pos);
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

std::string WithoutTrailingSlash(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

} // namespace

std::string ClientName(const std::string& raw) {
    std::string out = raw;
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::string ApplyVirtMap(const TVirtMapTable& table, const std::string& name) {
    for (const auto& entry : table) {
        if (entry.DirPath.empty() || entry.VirtMap.empty())
            continue;
        const std::string virt = WithoutTrailingSlash(ClientName(entry.VirtMap));
        // "/pub" matches "/pub", "/pub/" and "/pub/x", never "/public".
        if (!StartsWithNoCase(name, virt))
            continue;
        if (virt != "/" && name.size() > virt.size() && name[virt.size()] != '/')
            continue;
        std::string rest = name.substr(virt.size());
        std::string local = WithoutTrailingSlash(entry.DirPath);
        if (!rest.empty() && rest.front() != '/' && local != "/")
            rest = "/" + rest;
        if (local == "/" && !rest.empty() && rest.front() == '/')
            return rest;
        return rest.empty() ? WithTrailingSlash(local) : local + rest;
    }
    return name;
}

std::string ShowVirtMap(const TVirtMapTable& table, const std::string& path) {
    for (const auto& entry : table) {
        if (entry.DirPath.empty())
            continue;
        const std::string local = WithTrailingSlash(entry.DirPath);
        if (path.compare(0, local.size(), local) == 0)
            return WithTrailingSlash(entry.VirtMap) + path.substr(local.size());
        if (WithTrailingSlash(path) == local)
            return WithTrailingSlash(entry.VirtMap);
    }
    return path;
}

std::string BuildFilePath(const std::string& directory, const std::string& name) {
    const std::string n = ClientName(name);
    if (!n.empty() && n.front() == '/')
        return n;
    return WithTrailingSlash(directory) + n;
}

std::string ResolveVirtualName(const TVirtMapTable& table, const std::string& directory,
                               const std::string& name) {
    const std::string n = ClientName(name);
    if (n.empty() || n.front() == '/')
        return ApplyVirtMap(table, n);
    // Relative to the folder the client sees: "pub" from "/" is "/pub".
    const std::string seen = WithTrailingSlash(ShowVirtMap(table, directory)) + n;
    const std::string mapped = ApplyVirtMap(table, seen);
    return mapped != seen ? mapped : n;
}

std::string MapClientPath(const TVirtMapTable& table, const std::string& directory,
                          const std::string& params) {
    return BuildFilePath(directory, ResolveVirtualName(table, directory, params));
}

std::string LexicalPath(const std::string& path) {
    std::string resolved = "/";
    for (const std::string& part : SplitComponents(path)) {
        if (part == ".")
            continue;
        if (part == "..")
            resolved = ParentOf(resolved);
        else
            resolved = Join(resolved, part);
    }
    return resolved;
}

std::string CanonicalPath(const std::string& path, bool followFinal) {
    const std::vector<std::string> parts = SplitComponents(path);
    std::string resolved = "/";
    bool existing = true; // the resolved prefix exists on disk
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == ".")
            continue;
        if (part == "..") {
            resolved = ParentOf(resolved);
            continue;
        }
        const std::string candidate = Join(resolved, part);
        const bool last = i + 1 == parts.size();
        struct stat st {};
        if (!existing || ::lstat(candidate.c_str(), &st) != 0) {
            existing = false;
            resolved = candidate;
            continue;
        }
        if (S_ISLNK(st.st_mode) && (!last || followFinal)) {
            char buf[PATH_MAX];
            if (::realpath(candidate.c_str(), buf) != nullptr) {
                resolved = buf;
            } else {
                // A dangling link leads nowhere that exists: nothing below
                // it can be reached either, so keep the name as it is.
                existing = false;
                resolved = candidate;
            }
        } else {
            resolved = candidate;
        }
    }
    return resolved;
}

std::string SetDirectoryPath(const std::string& current, const std::string& arg) {
    const std::string a = ClientName(arg);
    if (a.empty() || a == "." || a == "./")
        return current;
    if (a == ".." || a == "../")
        return WithTrailingSlash(ParentOf(WithoutTrailingSlash(current)));
    // SECURITY: dot steps inside a longer path are refused outright; the
    // canonical form below is the second line of defence.
    const std::vector<std::string> parts = SplitComponents(a);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        if (parts[i] == "." || parts[i] == "..")
            throw FtpServerException(replies::kDotNotation);
    const std::string raw = a.front() == '/' ? a : WithTrailingSlash(current) + a;
    return WithTrailingSlash(CanonicalPath(raw, true));
}
