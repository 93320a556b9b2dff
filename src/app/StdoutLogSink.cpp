#include "app/StdoutLogSink.h"

#include "base/FileIo.h"

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
    // A closed standard output must not stop the program: a failed write is
    // dropped.
    (void)WriteAll(fd_, out);
}
