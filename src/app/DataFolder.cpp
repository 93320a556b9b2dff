#include "app/DataFolder.h"

#include "app/AppTexts.h"
#include "app/XdgPaths.h"
#include "base/PathText.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates every missing folder of path, owner-only like the data it will hold.
bool MakeFolders(const std::string& path, std::string& error) {
    std::string sofar;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t slash = path.find('/', pos + 1);
        sofar = path.substr(0, slash == std::string::npos ? path.size() : slash);
        pos = slash == std::string::npos ? path.size() : slash;
        if (sofar.empty() || sofar == "/")
            continue;
        struct stat st {};
        if (::stat(sofar.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                error = std::strerror(ENOTDIR);
                return false;
            }
            continue;
        }
        if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
            error = std::strerror(errno);
            return false;
        }
    }
    return true;
}

std::optional<long> ParsePid(const std::string& text) {
    long pid = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && pid < 100000000)
        pid = pid * 10 + (text[i++] - '0');
    if (i == 0 || pid <= 0)
        return std::nullopt;
    return pid;
}

std::optional<long> ReadPidFrom(int fd) {
    char buf[32] = {};
    ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0)
        return std::nullopt;
    return ParsePid(std::string(buf, static_cast<std::size_t>(n)));
}

} // namespace

DataFolderResult ResolveDataFolder(const std::optional<std::string>& dataDirOption) {
    DataFolderResult r;
    std::string folder;
    if (dataDirOption) {
        folder = *dataDirOption;
        if (folder.empty() || folder[0] != '/')
            folder = CurrentFolder() + folder;
    } else {
        const std::string base = XdgDataHome();
        if (base.empty()) {
            r.error = apptexts::kDataFolderNoHome;
            return r;
        }
        folder = base + apptexts::kDataFolderSubdir;
    }
    folder = WithTrailingSlash(folder);
    std::string why;
    if (!MakeFolders(folder, why)) {
        r.error = std::string(apptexts::kDataFolderCannotCreate) + folder + ": " + why;
        return r;
    }
    r.path = folder;
    return r;
}

DataFolderLock::~DataFolderLock() {
    Release();
}

bool DataFolderLock::Acquire(const std::string& folder) {
    Release();
    error_.clear();
    takenOverFrom_.reset();
    const std::string path = folder + apptexts::kLockFileName;
    // A holder that releases between our open and our lock has unlinked the
    // file we opened: try again on the new one.
    for (int attempt = 0; attempt < 10; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            error_ = std::string(apptexts::kLockCannotOpen) + path + ": " + std::strerror(errno);
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            if (err == EWOULDBLOCK) {
                const std::optional<long> owner = ReadPidFrom(fd);
                error_ =
                    std::string(apptexts::kLockInUsePrefix) + folder +
                    apptexts::kLockInUseByProcess +
                    (owner ? std::to_string(*owner) : std::string(apptexts::kLockUnknownProcess)) +
                    apptexts::kLockInUseSuffix;
            } else {
                error_ = std::string(apptexts::kLockCannotOpen) + path + ": " + std::strerror(err);
            }
            ::close(fd);
            return false;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 ||
            held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        takenOverFrom_ = ReadPidFrom(fd);
        const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
        if (::ftruncate(fd, 0) != 0 ||
            ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
            error_ = std::string(apptexts::kLockCannotOpen) + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        fd_ = fd;
        path_ = path;
        return true;
    }
    error_ = std::string(apptexts::kLockCannotOpen) + path + ": " + std::strerror(EAGAIN);
    return false;
}

void DataFolderLock::Release() {
    if (fd_ < 0)
        return;
    // Unlink while still holding the lock, so no one locks a name we are removing.
    struct stat held {
    }, named{};
    if (::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev)
        ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

std::optional<long> ReadLockOwner(const std::string& folder) {
    const std::string path = folder + apptexts::kLockFileName;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::optional<long> pid = ReadPidFrom(fd);
    ::close(fd);
    return pid;
}
