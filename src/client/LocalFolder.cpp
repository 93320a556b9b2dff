#include "client/LocalFolder.h"

#include <cerrno>
#include <sys/stat.h>

std::string MakeNumberedFolder(const std::string& folder, const std::string& base) {
    std::string dir = folder;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    // mkdir itself tells whether the name is taken, so two programs making
    // a folder at once never get the same one.
    for (int n = 0; n < 10000; ++n) {
        const std::string path = dir + base + (n == 0 ? std::string() : std::to_string(n));
        if (::mkdir(path.c_str(), 0777) == 0)
            return path;
        if (errno != EEXIST)
            return {};
    }
    return {};
}
