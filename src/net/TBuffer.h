#pragma once
#include <memory>

// One block of a socket's send queue: bytes are written at the end and read
// from the front; when everything written has been read both positions go
// back to 0 so the block can be filled again.
class TBuffer {
public:
    static constexpr int kDefaultSize = 1514;

    explicit TBuffer(int size = kDefaultSize);

    int Size() const { return size_; }
    // A new size keeps the unread bytes (they are copied to the new area).
    void SetSize(int newSize);
    // Copies as much of data as fits; returns the count (0 when full).
    int Write(const void* data, int len);
    // The unread bytes: their address, and their count through len.
    const char* Peek(int& len) const;
    // Drops up to len unread bytes; returns the count dropped.
    int Remove(int len);
    int Unread() const { return writePos_ - readPos_; }

private:
    std::unique_ptr<char[]> data_;
    int size_ = 0;
    int writePos_ = 0;
    int readPos_ = 0;
};
