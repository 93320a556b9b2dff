#pragma once
#include <stdexcept>
#include <string>

// Raised by the engine with one of the fixed texts of Replies.h; the
// dispatcher turns an escaping one into "501 " + message.
class FtpServerException : public std::runtime_error {
public:
    explicit FtpServerException(const std::string& message) : std::runtime_error(message) {}
};
