#include "accounts/MessageFile.h"

#include "accounts/FileCopy.h"

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace accounts {

std::vector<std::string> MessageLines(const std::string& path, const std::string& prefix) {
    std::vector<std::string> lines;
    if (path.empty() || !FileExists(path))
        return lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // SECURITY: a stray CR or LF inside a line would end the reply early
        // and let the file inject reply lines of its own.
        for (auto& c : line)
            if (c == '\r' || c == '\0')
                c = ' ';
        lines.push_back(prefix + line);
    }
    return lines;
}

bool CreateMessageFile(const std::string& path) {
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace accounts
