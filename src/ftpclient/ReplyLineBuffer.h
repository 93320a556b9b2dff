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
    void Clear() { data_.clear(); }

    // Takes the next complete line, without its CR/LF. With acceptLF a bare LF
    // ends a line, otherwise only CR LF does. A full buffer without a line end
    // is handed out whole.
    std::optional<std::string> TakeLine(bool acceptLF);

private:
    std::string data_;
};
