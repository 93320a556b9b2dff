#pragma once
#include <cstddef>
#include <string>

// A local file held open by descriptor and closed when the object goes: what
// both engines read an upload from and write a download to. Failures come
// back as errno values, for each engine to report in its own words.
class TLocalFile {
public:
    TLocalFile() = default;
    ~TLocalFile() { Close(); }
    TLocalFile(const TLocalFile&) = delete;
    TLocalFile& operator=(const TLocalFile&) = delete;

    // Opens path with flags (a created file gets mode, less the umask) and
    // moves to offset; 0 on success, else the errno, with nothing left open.
    int Open(const std::string& path, int flags, long long offset = 0, int mode = 0666);
    // The same for a descriptor opened elsewhere (fd < 0: the open failed
    // with errno), which this object then owns.
    int Adopt(int fd, long long offset = 0);

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // The bytes read, 0 at the end of the file, -1 with errno on an error.
    long long Read(char* buffer, std::size_t size);
    // 0 once every byte is written, else the errno.
    int Write(const char* data, std::size_t size);
    void Close();

private:
    int fd_ = -1;
};
