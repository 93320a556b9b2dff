#pragma once
// What a transfer reads from or writes to: a local file or, for listings,
// text held in memory.
#include "base/LocalFile.h"

#include <string>

class TTransferStream {
public:
    TTransferStream() = default;
    ~TTransferStream();
    TTransferStream(const TTransferStream&) = delete;
    TTransferStream& operator=(const TTransferStream&) = delete;

    // Opens a file for reading at offset; throws FtpServerException with the
    // system's text on failure. SECURITY: a judged path (a client's download)
    // is reached without following any symbolic link, so the file read is
    // the one the rights were judged for.
    void OpenRead(const std::string& path, long long offset, bool judged);
    // SECURITY: opens an upload target without following any symbolic link,
    // the final one included (see OpenNoLinks). Existing bytes are kept: the
    // writing starts at offset, and only a fresh upload from offset 0
    // (truncate) cuts the file.
    void OpenWrite(const std::string& path, long long offset, bool truncate);
    void SetMemory(std::string text);

    bool IsOpen() const { return file_.IsOpen() || memory_; }
    bool IsMemory() const { return memory_; }
    // Bytes read (0 at the end); throws on a read error.
    long long Read(char* buffer, long long len);
    // Writes everything; throws on a write error.
    void Write(const char* data, long long len);
    void Rewind() { memPos_ = 0; }
    int Fd() const { return file_.Fd(); }
    void Close();

private:
    TLocalFile file_;
    bool memory_ = false;
    std::string text_;
    std::size_t memPos_ = 0;
};

// The system's text for an errno value.
std::string SystemErrorText(int error);
