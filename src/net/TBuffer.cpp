#include "net/TBuffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int size) {
    size_ = size <= 0 ? kDefaultSize : size;
    data_ = std::make_unique<char[]>(static_cast<size_t>(size_));
}

void TBuffer::SetSize(int newSize) {
    if (newSize <= 0)
        newSize = kDefaultSize;
    if (newSize == size_)
        return;
    auto area = std::make_unique<char[]>(static_cast<size_t>(newSize));
    if (writePos_ > 0) {
        // Keep the bytes written so far, as far as they fit the new size.
        int keep = std::min(writePos_, newSize);
        std::memcpy(area.get(), data_.get(), static_cast<size_t>(keep));
        writePos_ = keep;
        readPos_ = std::min(readPos_, writePos_);
    }
    data_ = std::move(area);
    size_ = newSize;
}

int TBuffer::Write(const void* data, int len) {
    int count = std::min(len, size_ - writePos_);
    if (count <= 0)
        return 0;
    std::memcpy(data_.get() + writePos_, data, static_cast<size_t>(count));
    writePos_ += count;
    return count;
}

const char* TBuffer::Peek(int& len) const {
    len = writePos_ - readPos_;
    return data_.get() + readPos_;
}

int TBuffer::Remove(int len) {
    int count = std::min(len, writePos_ - readPos_);
    if (count < 0)
        count = 0;
    readPos_ += count;
    if (readPos_ == writePos_)
        readPos_ = writePos_ = 0;
    return count;
}
