#include "ftpserver/NoLinkPath.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/TransferStream.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

// The folder in one call where the system can refuse every link on the way
// itself: a descriptor, -1 with errno, or -2 where that call is missing.
int OpenFolderRefusingLinks(const std::vector<std::string>& parts) {
    std::string folder;
    for (const auto& part : parts)
        folder += "/" + part;
    if (folder.empty())
        folder = "/";
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, folder.c_str(), &how, sizeof how);
    if (fd >= 0)
        return static_cast<int>(fd);
    // Missing or filtered call, or a path longer than one call takes (the
    // walk goes a component at a time): the walk decides.
    if (errno == ENOSYS || errno == EPERM || errno == E2BIG || errno == ENAMETOOLONG)
        return -2;
    // A link on the way reads as the step-by-step walk reports it.
    if (errno == ELOOP)
        errno = ENOTDIR;
    return -1;
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
    const int folder = OpenFolderRefusingLinks(parts);
    if (folder == -1)
        Fail(errno);
    if (folder >= 0) {
        dir_ = folder;
        return;
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

bool StatNoLinks(const std::string& canonicalPath, struct stat& st) {
    if (canonicalPath == "/")
        return ::lstat("/", &st) == 0;
    try {
        TNoLinkEntry entry(canonicalPath);
        return ::fstatat(entry.Dir(), entry.Name(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    } catch (const FtpServerException&) {
        return false;
    }
}
