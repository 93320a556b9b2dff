#pragma once
#include "net/Prompts.h"

#include <deque>
#include <string>
#include <vector>

namespace testing_support {

// Answers questions from a script and records everything asked or shown.
// An unscripted confirmation answers No; an unscripted text prompt cancels.
class ScriptedPrompts : public Prompts {
public:
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<std::string>> textAnswers;
    std::vector<std::string> asked;    // titles and texts of questions, in order
    std::vector<std::string> messages; // texts of information boxes

    bool Confirm(const std::string& title, const std::string& text) override {
        asked.push_back(title + ": " + text);
        if (confirmAnswers.empty())
            return false;
        bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> AskText(const std::string& title, const std::string& prompt,
                                       const std::string&) override {
        asked.push_back(title + ": " + prompt);
        if (textAnswers.empty())
            return std::nullopt;
        auto answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
    void Inform(const std::string&, const std::string& text) override { messages.push_back(text); }
};

} // namespace testing_support
