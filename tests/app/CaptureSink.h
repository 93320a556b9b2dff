#pragma once
#include "app/LogSink.h"

#include <string>
#include <vector>

// A log sink that keeps every screen line it is given.
struct Captured {
    int log;
    std::string line;
    TColor colour;
};

class CaptureSink : public LogSink {
public:
    void Write(int log, const std::string& line, TColor colour) override {
        lines.push_back({log, line, colour});
    }
    std::vector<std::string> Lines(int log) const {
        std::vector<std::string> out;
        for (const Captured& c : lines)
            if (c.log == log)
                out.push_back(c.line);
        return out;
    }
    std::vector<Captured> lines;
};
