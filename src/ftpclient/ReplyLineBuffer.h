#pragma once
#include <optional>
#include <string>

// The control connection's receive buffer: bytes come in as the socket hands
// them over, complete reply lines go out. A line split over two reads stays
// here until its end arrives. A line that would overflow the buffer is cut
// at the buffer's size and handed out in pieces, so a server sending an
// endless line can never stall the client.
class ReplyLineBuffer {
public:
    static constexpr int kCapacity = 4095;

    // Room left for the next read.
    int Room() const { return kCapacity - static_cast<int>(data_.size()); }
    int Length() const { return static_cast<int>(data_.size()); }
    void Append(const char* bytes, int len) { data_.append(bytes, static_cast<std::size_t>(len)); }
    void Clear() {
        data_.clear();
        midLine_ = false;
        lastWasTail_ = false;
    }

    // Takes the next complete line, without its CR/LF. With acceptLF a bare LF
    // ends a line, otherwise only CR LF does. A full buffer without a line end
    // is handed out whole.
    std::optional<std::string> TakeLine(bool acceptLF);

    // True when the line TakeLine returned last is not the start of a line
    // but the rest of one that was cut: it can never be a reply line.
    bool LastWasTail() const { return lastWasTail_; }

private:
    std::string data_;
    bool midLine_ = false; // the last piece handed out was cut, not ended
    bool lastWasTail_ = false;
};
