#include "base/StoredFile.h"

#include "base/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace stored_file {

namespace {

constexpr const char* kTemporaryMark = ".saving.";

StepHook& Hook() {
    static StepHook hook;
    return hook;
}

bool Continue(WriteStep step, const std::string& path) {
    return !Hook() || Hook()(step, path);
}

// The file a path stands for: a symbolic link is written through to its
// target rather than replaced.
std::string Target(const std::string& path) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string resolved = real;
        std::free(real);
        return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is only durable once the folder's entry is on disk as well.
void FlushFolder(const std::string& path) {
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

void SetStepHook(StepHook hook) {
    Hook() = std::move(hook);
}

std::string TemporaryNameFor(const std::string& path) {
    return path + kTemporaryMark + std::to_string(::getpid());
}

namespace {

// The write itself: mode is the mode of the new content.
int Write(const std::string& pathIn, const std::string& path, std::string_view bytes, mode_t mode) {
    const std::string temporary = TemporaryNameFor(path);
    // SECURITY: O_NOFOLLOW keeps a link planted under the temporary name from
    // redirecting the write.
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        return errno;
    ::fchmod(fd, mode);
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return error;
    };
    const std::size_t half = bytes.size() / 2;
    if (int error = WriteAll(fd, bytes.data(), half))
        return fail(error);
    if (!Continue(WriteStep::TempPartlyWritten, pathIn)) {
        ::close(fd);
        return ECANCELED;
    }
    if (int error = WriteAll(fd, bytes.data() + half, bytes.size() - half))
        return fail(error);
    if (!Continue(WriteStep::BeforeFlush, pathIn)) {
        ::close(fd);
        return ECANCELED;
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    if (!Continue(WriteStep::BeforeRename, pathIn))
        return ECANCELED;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    FlushFolder(path);
    return 0;
}

} // namespace

int WriteWhole(const std::string& pathIn, std::string_view bytes, mode_t newFileMode) {
    const std::string path = Target(pathIn);
    mode_t mode = newFileMode;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    return Write(pathIn, path, bytes, mode);
}

int WritePrivate(const std::string& pathIn, std::string_view bytes) {
    return Write(pathIn, Target(pathIn), bytes, kPrivateMode);
}

int ReadWhole(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    const int error = ReadToEnd(fd, bytes);
    ::close(fd);
    return error;
}

int CopyWhole(const std::string& source, const std::string& destination) {
    std::string bytes;
    if (int error = ReadWhole(source, bytes))
        return error;
    return WriteWhole(destination, bytes);
}

int CopyPrivate(const std::string& source, const std::string& destination) {
    std::string bytes;
    if (int error = ReadWhole(source, bytes))
        return error;
    return WritePrivate(destination, bytes);
}

void RemoveLeftovers(const std::string& pathIn) {
    const std::string path = Target(pathIn);
    const std::string folder = FolderOf(path);
    const std::size_t slash = path.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + kTemporaryMark;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string pidText = name.substr(prefix.size());
        char* end = nullptr;
        const long pid = std::strtol(pidText.c_str(), &end, 10);
        if (pidText.empty() || *end != '\0' || pid <= 0 || pid > INT_MAX)
            continue;
        // A writer that still runs may be about to rename its file.
        if (pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
            continue;
        stale.push_back(folder + "/" + name);
    }
    ::closedir(dir);
    for (const auto& file : stale)
        ::unlink(file.c_str());
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

} // namespace stored_file
