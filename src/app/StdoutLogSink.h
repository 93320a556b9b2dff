#pragma once
#include "app/LogSink.h"

#include <unistd.h>

// Writes log lines to a file descriptor (standard output by default), one
// per line. On a terminal each line carries its colour as an ANSI escape
// (black, the terminal's own text colour, carries none); into a pipe or a
// file the lines go plain. Control characters inside a line are written as
// "\xNN", so every entry stays one line of text.
class StdoutLogSink : public LogSink {
public:
    // logs: 1 client log only, 2 server log only, 3 both.
    explicit StdoutLogSink(int fd = STDOUT_FILENO, int logs = 3);
    void Write(int log, const std::string& line, TColor colour) override;
    bool UsesColour() const { return colour_; }

private:
    int fd_;
    int logs_;
    bool colour_;
};

// The line with each control character (other than tab) as "\xNN".
std::string VisibleControls(const std::string& line);

// The ANSI escape that sets a 24-bit text colour, and the one that resets it.
std::string AnsiColour(TColor colour);
inline constexpr const char* kAnsiReset = "\x1b[0m";
