#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Thin wrappers over read() and write() that retry after a signal, so no
// caller writes its own loop.

// Writes every byte; 0 on success, else the errno of the failure (ENOSPC
// when the system wrote nothing without saying why).
int WriteAll(int fd, const char* data, std::size_t size);
inline int WriteAll(int fd, const std::string& data) {
    return WriteAll(fd, data.data(), data.size());
}

// Reads exactly size bytes; false at an early end of file or on an error.
bool ReadExactly(int fd, char* data, std::size_t size);

// One read: the bytes read, 0 at the end of the file, -1 with errno set on
// an error.
long long ReadSome(int fd, char* data, std::size_t size);

// Appends everything up to the end of the file to bytes; 0 on success, else
// the errno of the failure, or EFBIG as soon as bytes holds more than limit.
int ReadToEnd(int fd, std::string& bytes, std::size_t limit = SIZE_MAX);
