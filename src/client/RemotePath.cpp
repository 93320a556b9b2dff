#include "client/RemotePath.h"

#include <vector>

std::string AbsoluteRemotePath(const std::string& dir, const std::string& path) {
    std::vector<std::string> parts;
    auto add = [&](const std::string& text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t slash = text.find('/', start);
            if (slash == std::string::npos)
                slash = text.size();
            const std::string part = text.substr(start, slash - start);
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = slash + 1;
        }
    };
    if (path.empty() || path[0] != '/')
        add(dir);
    add(path);
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? std::string("/") : out;
}

bool IsSameOrAncestor(const std::string& folder, const std::string& path) {
    if (folder == "/" || folder == path)
        return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}
