#pragma once
#include <cstddef>

// Thin wrappers over read() and write() that retry after a signal, so no
// caller writes its own loop.

// Writes every byte; 0 on success, else the errno of the failure (ENOSPC
// when the system wrote nothing without saying why).
int WriteAll(int fd, const char* data, std::size_t size);

// Reads exactly size bytes; false at an early end of file or on an error.
bool ReadExactly(int fd, char* data, std::size_t size);
