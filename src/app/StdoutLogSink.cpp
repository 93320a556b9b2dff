#include "app/StdoutLogSink.h"

#include <cerrno>

std::string AnsiColour(TColor c) {
    return "\x1b[38;2;" + std::to_string(c.r) + ";" + std::to_string(c.g) + ";" +
           std::to_string(c.b) + "m";
}

StdoutLogSink::StdoutLogSink(int fd, int logs) : fd_(fd), logs_(logs), colour_(::isatty(fd) == 1) {}

void StdoutLogSink::Write(int log, const std::string& line, TColor colour) {
    if ((logs_ & log) == 0)
        return;
    std::string out;
    if (colour_ && colour != colours::clBlack)
        out = AnsiColour(colour) + line + kAnsiReset + "\n";
    else
        out = line + "\n";
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::write(fd_, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a closed standard output must not stop the program
        done += static_cast<std::size_t>(n);
    }
}
