#pragma once
#include "base/LogColour.h"

#include <string>
#include <vector>

namespace testing_support {

// Collects the lines a log writer is given, for tests to count.
struct LoggedLine {
    int level;
    std::string text;
    TColor colour;
};
struct LogCapture {
    std::vector<LoggedLine> lines;
    LogWriter Writer() {
        return [this](int level, const std::string& text, TColor colour) {
            lines.push_back({level, text, colour});
        };
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const auto& l : lines)
            n += l.text == text ? 1 : 0;
        return n;
    }
    int Count(const std::string& text, TColor colour) const {
        int n = 0;
        for (const auto& l : lines)
            n += l.text == text && l.colour == colour ? 1 : 0;
        return n;
    }
    int CountStarting(const std::string& prefix) const {
        int n = 0;
        for (const auto& l : lines)
            n += l.text.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
};

} // namespace testing_support
