#include "base/FileIo.h"

#include <cerrno>
#include <unistd.h>

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

bool ReadExactly(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const long long n = ReadSome(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long long ReadSome(int fd, char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

int ReadToEnd(int fd, std::string& bytes, std::size_t limit) {
    char block[65536];
    for (;;) {
        const long long n = ReadSome(fd, block, sizeof block);
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        bytes.append(block, static_cast<std::size_t>(n));
        if (bytes.size() > limit)
            return EFBIG;
    }
}
