#include "ftpserver/NoLinkPath.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/TransferStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

[[noreturn]] void Fail(int error) {
    throw FtpServerException(SystemErrorText(error));
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + "/") {
        if (c != '/') {
            part += c;
            continue;
        }
        if (!part.empty())
            parts.push_back(part);
        part.clear();
    }
    return parts;
}

} // namespace

TNoLinkEntry::TNoLinkEntry(const std::string& canonicalPath) {
    std::vector<std::string> parts = Components(canonicalPath);
    // SECURITY: a path that is not canonical was not what was judged.
    if (canonicalPath.empty() || canonicalPath.front() != '/')
        Fail(EINVAL);
    for (const auto& part : parts)
        if (part == "." || part == "..")
            Fail(EINVAL);
    if (!parts.empty()) {
        name_ = parts.back();
        parts.pop_back();
    }
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        Fail(errno);
    for (const auto& part : parts) {
        // SECURITY: O_NOFOLLOW with O_DIRECTORY refuses a link at every step,
        // so a link renamed into the judged path is never walked through.
        const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(fd);
        if (next < 0)
            Fail(error);
        struct stat st {};
        if (::fstat(next, &st) != 0 || !S_ISDIR(st.st_mode)) {
            ::close(next);
            Fail(ENOTDIR);
        }
        fd = next;
    }
    dir_ = fd;
}

TNoLinkEntry::~TNoLinkEntry() {
    if (dir_ >= 0)
        ::close(dir_);
}

int OpenNoLinks(const std::string& canonicalPath, int flags, mode_t mode) {
    TNoLinkEntry entry(canonicalPath);
    if (*entry.Name() == '\0')
        Fail(EISDIR);
    const int fd = ::openat(entry.Dir(), entry.Name(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        Fail(errno);
    return fd;
}
