#include "app/StdoutLogSink.h"

#include "base/FileIo.h"

std::string AnsiColour(TColor c) {
    return "\x1b[38;2;" + std::to_string(c.r) + ";" + std::to_string(c.g) + ";" +
           std::to_string(c.b) + "m";
}

std::string VisibleControls(const std::string& line) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(line.size());
    for (unsigned char c : line) {
        if ((c < 0x20 && c != '\t') || c == 0x7f) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xf];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

StdoutLogSink::StdoutLogSink(int fd, int logs) : fd_(fd), logs_(logs), colour_(::isatty(fd) == 1) {}

void StdoutLogSink::Write(int log, const std::string& line, TColor colour) {
    if ((logs_ & log) == 0)
        return;
    // SECURITY: log lines carry what clients sent (user names, commands); a
    // control character in them must neither drive the terminal nor split or
    // garble a journal entry.
    const std::string text = VisibleControls(line);
    std::string out;
    if (colour_ && colour != colours::clBlack)
        out = AnsiColour(colour) + text + kAnsiReset + "\n";
    else
        out = text + "\n";
    // A closed standard output must not stop the program: a failed write is
    // dropped.
    (void)WriteAll(fd_, out);
}
