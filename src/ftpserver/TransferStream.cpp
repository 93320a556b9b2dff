#include "ftpserver/TransferStream.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/NoLinkPath.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::string SystemErrorText(int error) {
    char buf[256];
    return ::strerror_r(error, buf, sizeof buf);
}

namespace {

// A failed open, seek, read or write, in the system's words.
void ThrowIfFailed(int error) {
    if (error != 0)
        throw FtpServerException(SystemErrorText(error));
}

} // namespace

TTransferStream::~TTransferStream() {
    Close();
}

void TTransferStream::OpenRead(const std::string& path, long long offset, bool judged) {
    Close();
    const int flags = O_RDONLY | O_CLOEXEC;
    ThrowIfFailed(judged ? file_.Adopt(OpenNoLinks(path, flags), offset)
                         : file_.Open(path, flags, offset));
}

void TTransferStream::OpenWrite(const std::string& path, long long offset, bool truncate) {
    Close();
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    if (truncate && offset <= 0)
        flags |= O_TRUNC;
    ThrowIfFailed(file_.Adopt(OpenNoLinks(path, flags), offset));
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
    const long long n = file_.Read(buffer, static_cast<std::size_t>(len));
    if (n < 0)
        ThrowIfFailed(errno);
    return n;
}

void TTransferStream::Write(const char* data, long long len) {
    ThrowIfFailed(file_.Write(data, static_cast<std::size_t>(len)));
}

void TTransferStream::Close() {
    file_.Close();
    memory_ = false;
    text_.clear();
    memPos_ = 0;
}
