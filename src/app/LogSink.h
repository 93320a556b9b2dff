#pragma once
#include "base/LogColour.h"

#include <string>

// Where screen lines of the logs go: the two window panes, or standard
// output without a window. A sink sees each line after masking, time stamp
// and the verbosity filter; log is 1 (client) or 2 (server).
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void Write(int log, const std::string& line, TColor colour) = 0;
};
