#pragma once
#include "ftpclient/FtpClientTypes.h"

#include <cstdint>
#include <functional>
#include <string>

// How one operation of the session's transfer API ended.
struct TransferResult {
    TFtpRequest Request = ftpNone; // the request that ended it
    int Error = 0;                 // 0, the failing reply code, a socket error word, or
                                   // kTransferNotStarted
    std::int64_t Count = 0;        // bytes the transfer itself moved
    std::int64_t ResumeBase = 0;   // bytes already there when it started
    std::string Reply;             // the last reply line
    std::string ErrorMessage;      // why it failed
    std::string ReplyPath;         // the directory of a Cwd/Pwd/Mkd reply
    int ReplyCode = 0;             // the code of the last reply
    std::int64_t Size = -1;        // the size a SIZE reply gave, -1 unknown
};

// The request could not be started (not connected, another request running).
inline constexpr int kTransferNotStarted = -1;
// A local file or folder could not be read or made (the message says which).
inline constexpr int kLocalFileFailed = -2;

using TransferDone = std::function<void(const TransferResult&)>;
