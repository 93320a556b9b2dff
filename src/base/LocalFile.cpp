#include "base/LocalFile.h"

#include "base/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int TLocalFile::Open(const std::string& path, int flags, long long offset, int mode) {
    return Adopt(::open(path.c_str(), flags, static_cast<mode_t>(mode)), offset);
}

int TLocalFile::Adopt(int fd, long long offset) {
    const int openError = errno;
    Close();
    if (fd < 0)
        return openError;
    if (offset > 0 && ::lseek(fd, offset, SEEK_SET) < 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    fd_ = fd;
    return 0;
}

long long TLocalFile::Read(char* buffer, std::size_t size) {
    return fd_ < 0 ? 0 : ReadSome(fd_, buffer, size);
}

int TLocalFile::Write(const char* data, std::size_t size) {
    return fd_ < 0 ? EBADF : WriteAll(fd_, data, size);
}

void TLocalFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
