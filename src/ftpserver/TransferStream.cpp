#include "ftpserver/TransferStream.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/NoLinkPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::string SystemErrorText(int error) {
    char buf[256];
    return ::strerror_r(error, buf, sizeof buf);
}

namespace {

// Opens path at offset; the descriptor, or an exception with the system's
// reason. A judged path is reached without following any link.
int OpenAt(const std::string& path, int flags, long long offset, bool judged) {
    const int fd = judged ? OpenNoLinks(path, flags) : ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        throw FtpServerException(SystemErrorText(errno));
    if (offset > 0 && ::lseek(fd, offset, SEEK_SET) < 0) {
        const int err = errno;
        ::close(fd);
        throw FtpServerException(SystemErrorText(err));
    }
    return fd;
}

} // namespace

TTransferStream::~TTransferStream() {
    Close();
}

void TTransferStream::OpenRead(const std::string& path, long long offset, bool judged) {
    Close();
    fd_ = OpenAt(path, O_RDONLY | O_CLOEXEC, offset, judged);
}

void TTransferStream::OpenWrite(const std::string& path, long long offset, bool truncate) {
    Close();
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    if (truncate && offset <= 0)
        flags |= O_TRUNC;
    fd_ = OpenAt(path, flags, offset, true);
}

void TTransferStream::SetMemory(std::string text) {
    Close();
    memory_ = true;
    text_ = std::move(text);
    memPos_ = 0;
}

long long TTransferStream::Read(char* buffer, long long len) {
    if (memory_) {
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(len), text_.size() - memPos_);
        std::memcpy(buffer, text_.data() + memPos_, n);
        memPos_ += n;
        return static_cast<long long>(n);
    }
    if (fd_ < 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, static_cast<std::size_t>(len));
        if (n >= 0)
            return n;
        if (errno != EINTR)
            throw FtpServerException(SystemErrorText(errno));
    }
}

void TTransferStream::Write(const char* data, long long len) {
    while (len > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<std::size_t>(len));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FtpServerException(SystemErrorText(errno));
        }
        data += n;
        len -= n;
    }
}

void TTransferStream::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    memory_ = false;
    text_.clear();
    memPos_ = 0;
}
