#include "ftpclient/ReplyLineBuffer.h"

std::optional<std::string> ReplyLineBuffer::TakeLine(bool acceptLF) {
    std::size_t end = std::string::npos;
    std::size_t skip = 0;
    if (acceptLF) {
        end = data_.find('\n');
        skip = 1;
    } else {
        end = data_.find("\r\n");
        skip = 2;
    }
    bool cut = false;
    if (end == std::string::npos) {
        if (Room() > 0)
            return std::nullopt;
        end = data_.size();
        skip = 0;
        cut = true;
    }
    std::string line = data_.substr(0, end);
    data_.erase(0, end + skip);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    lastWasTail_ = midLine_;
    midLine_ = cut;
    return line;
}
