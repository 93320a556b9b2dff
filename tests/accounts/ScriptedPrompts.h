#pragma once
#include "base/LogColour.h"
#include "base/Prompts.h"

#include <deque>
#include <string>
#include <vector>

// Answers questions from a script and remembers what was asked.
class ScriptedPrompts : public Prompts {
public:
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<std::string>> textAnswers;
    std::vector<std::string> asked;
    std::vector<std::string> informed;

    bool Confirm(const std::string&, const std::string& text) override {
        asked.push_back(text);
        if (confirmAnswers.empty())
            return false;
        bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> AskText(const std::string&, const std::string& prompt,
                                       const std::string&) override {
        asked.push_back(prompt);
        if (textAnswers.empty())
            return std::nullopt;
        auto answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
    void Inform(const std::string&, const std::string& text) override { informed.push_back(text); }
};

// Collects log lines.
struct LogLine {
    int level;
    std::string text;
    TColor colour;
};
struct LogCapture {
    std::vector<LogLine> lines;
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
};
